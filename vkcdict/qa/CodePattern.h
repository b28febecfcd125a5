// The patterns of `vkcdict qa --code`: a small regular-expression engine
// that never backtracks. A pattern is compiled into a program of at most
// kMaxInstructions instructions; a search runs every alternative side by
// side, one text byte at a time (a Pike VM), so it takes time proportional
// to the text length times the program size, memory proportional to the
// program size, and no recursion that grows with the text.
//
// Accepted syntax (a subset of ECMAScript's, with the same meaning but for
// loop iterations that match empty, see below):
//   literal bytes (] and } among them); . (any byte but \n and \r);
//   escapes \d \D \w \W \s \S (ASCII classes: digits, letters digits and _,
//     blank \t \n \v \f \r), \b \B (word boundary or not), \t \n \r \f \v,
//     \0 (not followed by a digit), \xHH, and \ before ASCII punctuation or
//     a blank for that byte itself;
//   classes [...] and [^...] of bytes, ranges a-z (both ends single bytes,
//     in order, and on the same side of 0x80) and the class escapes; inside
//     them \b is the backspace byte and - is literal first or last;
//   ^ and $ (start and end of the whole text, never of a line);
//   groups (...) and (?:...); alternation |;
//   quantifiers * + ? {n} {n,} {n,m} (counts up to kMaxCount), each lazy
//     with a ? after it.
// Refused, with a reason: backreferences, lookahead and lookbehind, any other
// escape or (?...) form, POSIX [:...:] classes, a quantifier with nothing to
// repeat or after another quantifier or an assertion, a { that starts no
// quantifier, empty classes, a pattern over kMaxPatternBytes bytes, group
// nesting deeper than kMaxNesting, counted repetition that makes the
// program larger than kMaxInstructions, and an unbounded loop over a group
// that can match empty inside another such loop (((a?)*b?)*), where
// backtracking matchers disagree with each other.
//
// Matching is on bytes. At a starting position the preferred match is the
// one a backtracking matcher finds first (greedy quantifiers try one more
// iteration first, lazy ones one fewer; the left alternative first). An
// iteration of an unbounded loop (*, +, {n,}) that matches empty ends the
// loop, as in std::regex (ECMAScript would try the body's other ways
// first), and the optional copies of {n,m} are tried one inside the other.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vkcdict {

class CodePattern {
public:
    static constexpr size_t kMaxPatternBytes = 1000;
    static constexpr size_t kMaxInstructions = 10000;
    static constexpr int kMaxNesting = 20;
    static constexpr int kMaxCount = 1000;

    // Compiles `pattern`, replacing what this held. On refusal returns false
    // and sets *error to the reason, with the place it applies to, counted
    // from 1 ("backreferences are not supported (at byte 4)" for "(a)\1");
    // this then matches nothing.
    bool Compile(std::string_view pattern, std::string* error);

    // The program's instruction count (0 before a successful Compile).
    size_t size() const { return program_.size(); }

private:
    friend class CodeSearcher;
    class Compiler;

    enum Op : uint8_t {
        kByte,      // the text byte equals `arg`; then pc + 1
        kSet,       // the text byte is in sets_[y]; then pc + 1
        kJump,      // to x
        kSplit,     // to x, else (lower priority) to y
        kAssert,    // the Assertion `arg` holds here; then pc + 1
        kLoopBack,  // end of a loop body of depth `arg`: to x when the
                    // iteration consumed a byte, else out of the loop, to y
        kMatch,
    };
    enum Assertion : uint8_t { kTextBegin, kTextEnd, kWordBoundary, kNotWordBoundary };
    struct Instruction {
        Op op;
        uint8_t arg;
        uint32_t x;
        uint32_t y;
    };

    std::vector<Instruction> program_;
    std::vector<std::bitset<256>> sets_;
    // How many loops whose body may match empty enclose each instruction;
    // a thread's state is its instruction and how many of those loops have
    // consumed a byte in their current iteration.
    std::vector<uint8_t> depth_;
    // The first state number of each instruction, and the number of states.
    std::vector<uint32_t> firstState_;
    uint32_t states_ = 0;
};

// Searches texts with one pattern. It holds the search's working memory
// (proportional to the pattern's program), so keep one per pattern and
// reuse it. `pattern` must outlive it and stay unchanged.
class CodeSearcher {
public:
    explicit CodeSearcher(const CodePattern& pattern);

    // The leftmost non-empty match that starts at or after `from`, and of
    // those at that start the preferred one: true with its place in
    // *at and *length (> 0). ^ and \b see the text before `from` too.
    // Searching again from *at + *length yields the next match. Each
    // search reads on only while a thread preferred to the match found so
    // far lives, so finding every match of a text costs time linear in it,
    // unless the pattern prefers alternatives that read far past the
    // matches it ends up taking (x.*y|x), which are read again per match:
    // steps() lets the caller bound that.
    // REQUIRES: from <= text.size().
    bool Find(std::string_view text, size_t from, size_t* at, size_t* length);
    // Text positions the searches have stepped through since the last
    // ResetSteps(): a caller bounds the work of finding every match with it.
    uint64_t steps() const { return steps_; }
    void ResetSteps() { steps_ = 0; }

private:
    struct Thread {
        uint32_t pc;
        uint8_t consumed;  // loops of its depth that consumed (see depth_)
        size_t start;
    };

    void Add(std::vector<Thread>* list, uint32_t pc, uint8_t consumed, size_t start,
             std::string_view text, size_t at);
    bool Holds(uint8_t assertion, std::string_view text, size_t at) const;

    const CodePattern* pattern_;
    std::vector<uint64_t> seen_;  // per state: the step that reached it last
    uint64_t step_ = 0;
    uint64_t steps_ = 0;
    std::vector<Thread> current_;
    std::vector<Thread> next_;
    std::vector<std::pair<uint32_t, uint8_t>> stack_;
};

}  // namespace vkcdict
