// Running a compiled --code pattern: a Pike VM. The threads of one text
// position are kept in priority order (threads of earlier starting positions
// first, as a leftmost match wins), each program state at most once, so a
// step costs at most the program's number of states. A thread that reaches
// the end of the program with a non-empty match ends the threads after it;
// the search goes on while threads before it may still find a preferred
// match.
#include <algorithm>

#include "vkcdict/qa/CodePattern.h"

namespace vkcdict {

namespace {

bool IsWord(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

constexpr uint8_t kConsumedAll = 0xFF;

}  // namespace

CodeSearcher::CodeSearcher(const CodePattern& pattern)
    : pattern_(&pattern), seen_(pattern.states_, 0) {
    current_.reserve(pattern.states_);
    next_.reserve(pattern.states_);
}

bool CodeSearcher::Holds(uint8_t assertion, std::string_view text, size_t at) const {
    switch (assertion) {
        case CodePattern::kTextBegin:
            return at == 0;
        case CodePattern::kTextEnd:
            return at == text.size();
        default: {
            const bool left = at > 0 && IsWord(text[at - 1]);
            const bool right = at < text.size() && IsWord(text[at]);
            return (left != right) == (assertion == CodePattern::kWordBoundary);
        }
    }
}

// Adds the thread at `pc` to `list`, or rather the threads it becomes by
// following jumps, splits and assertions in priority order (an explicit
// stack, so the depth does not grow with the program); states the list
// already has (marked with step_) are left out.
void CodeSearcher::Add(std::vector<Thread>* list, uint32_t pc, uint8_t consumed, size_t start,
                       std::string_view text, size_t at) {
    const CodePattern& p = *pattern_;
    stack_.clear();
    stack_.emplace_back(pc, consumed);
    while (!stack_.empty()) {
        pc = stack_.back().first;
        // Loops deeper than this instruction's have ended; only its own
        // enclosing loops tell states apart.
        consumed = std::min(stack_.back().second, p.depth_[pc]);
        stack_.pop_back();
        const uint32_t state = p.firstState_[pc] + consumed;
        if (seen_[state] == step_) continue;
        seen_[state] = step_;
        const CodePattern::Instruction& i = p.program_[pc];
        switch (i.op) {
            case CodePattern::kJump:
                stack_.emplace_back(i.x, consumed);
                break;
            case CodePattern::kSplit:
                stack_.emplace_back(i.y, consumed);
                stack_.emplace_back(i.x, consumed);
                break;
            case CodePattern::kAssert:
                if (Holds(i.arg, text, at)) stack_.emplace_back(pc + 1, consumed);
                break;
            case CodePattern::kLoopBack:
                // An iteration that consumed nothing ends its loop.
                stack_.emplace_back(consumed >= i.arg ? i.x : i.y, consumed);
                break;
            default:  // kByte, kSet, kMatch: wait for the next step
                list->push_back({pc, consumed, start});
                break;
        }
    }
}

bool CodeSearcher::Find(std::string_view text, size_t from, size_t* at, size_t* length) {
    const CodePattern& p = *pattern_;
    if (p.program_.empty() || from > text.size()) return false;
    bool found = false;
    current_.clear();
    ++step_;  // marks the states of current_
    for (size_t here = from;; ++here) {
        ++steps_;
        if (!found) Add(&current_, 0, 0, here, text, here);
        next_.clear();
        ++step_;  // marks those of next_
        for (const Thread& t : current_) {
            const CodePattern::Instruction& i = p.program_[t.pc];
            if (i.op == CodePattern::kMatch) {
                if (here == t.start) continue;  // empty: the next thread may do better
                found = true;
                *at = t.start;
                *length = here - t.start;
                break;  // the threads after this one are less preferred
            }
            if (here == text.size()) continue;
            const unsigned char byte = static_cast<unsigned char>(text[here]);
            if (i.op == CodePattern::kByte ? byte == i.arg : p.sets_[i.y].test(byte)) {
                Add(&next_, t.pc + 1, kConsumedAll, t.start, text, here + 1);
            }
        }
        current_.swap(next_);
        if (here == text.size() || (found && current_.empty())) return found;
    }
}

}  // namespace vkcdict
