#include "vkcdict/qa/CodeFinder.h"

#include "vkcdict/qa/Codes.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict {

CodeFinder::CodeFinder(const std::vector<CodePattern>& patterns) {
    for (const CodePattern& pattern : patterns) searchers_.emplace_back(pattern);
}

bool CodeFinder::Find(std::string_view text, std::vector<std::string_view>* codes) {
    FindCodes(text, codes);
    bool complete = true;
    for (CodeSearcher& searcher : searchers_) {
        complete = AddMatches(text, searcher, codes) && complete;
    }
    return complete;
}

bool CodeFinder::AddMatches(std::string_view text, CodeSearcher& searcher,
                            std::vector<std::string_view>* codes) {
    boundary_.assign(text.size() + 1, false);
    ForEachChar(text, [this](size_t at, size_t) { boundary_[at] = true; });
    boundary_[text.size()] = true;
    size_t at = 0;
    size_t n = 0;
    // One search is linear in the text, but a pattern may read the same
    // stretch again for every match.
    const uint64_t budget = kStepsPerByte * (text.size() + 1) + kFreeSteps;
    searcher.ResetSteps();
    for (size_t from = 0; searcher.Find(text, from, &at, &n); from = at + n) {
        if (boundary_[at] && boundary_[at + n]) codes->push_back(text.substr(at, n));
        if (searcher.steps() > budget) return false;
    }
    return true;
}

}  // namespace vkcdict
