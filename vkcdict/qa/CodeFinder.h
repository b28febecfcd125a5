// The codes of a text as the checks see them: the built-in forms of Codes.h
// and the matches of the game's own --code patterns, which count only when
// they start and end on character boundaries (never half a character).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "vkcdict/qa/CodePattern.h"

namespace vkcdict {

class CodeFinder {
public:
    // `patterns` must outlive the finder and stay unchanged.
    explicit CodeFinder(const std::vector<CodePattern>& patterns);

    // The codes of `text` as views into it, the built-in ones from left to
    // right, then each pattern's (they may overlap); `*codes` is replaced.
    // False when a pattern read the text over and over (it prefers
    // alternatives that run far past the matches it takes, as x.*y|x does):
    // past 32 steps a byte its matches are given up, so that no record takes
    // quadratic time, and `*codes` lacks them.
    bool Find(std::string_view text, std::vector<std::string_view>* codes);

private:
    bool AddMatches(std::string_view text, CodeSearcher& searcher,
                    std::vector<std::string_view>* codes);

    static constexpr uint64_t kStepsPerByte = 32;
    static constexpr uint64_t kFreeSteps = 1 << 16;

    std::vector<CodeSearcher> searchers_;  // one per pattern
    std::vector<bool> boundary_;
};

}  // namespace vkcdict
