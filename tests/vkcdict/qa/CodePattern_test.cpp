// --code patterns: every match compared with std::regex's on random small
// patterns and texts (and on chosen ones), patterns that make a backtracking
// matcher run for ages or overflow its stack, and the refused forms.
#include "vkcdict/qa/CodePattern.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace vkcdicttest {
namespace {

using vkcdict::CodePattern;
using vkcdict::CodeSearcher;
using Matches = std::vector<std::pair<size_t, size_t>>;  // (at, length)

Matches Find(const CodePattern& pattern, const std::string& text) {
    CodeSearcher searcher(pattern);
    Matches found;
    size_t at = 0;
    size_t n = 0;
    for (size_t from = 0; searcher.Find(text, from, &at, &n); from = at + n) {
        found.emplace_back(at, n);
        if (n == 0 || at + n > text.size()) break;  // reported by the caller
    }
    return found;
}

// The plain reference: from the end of the last match, the first non-empty
// match std::regex finds, the text before it visible to ^ and \b.
Matches Reference(const std::regex& regex, const std::string& text) {
    Matches found;
    for (size_t from = 0; from <= text.size();) {
        auto flags = std::regex_constants::match_not_null;
        if (from > 0) flags |= std::regex_constants::match_prev_avail;
        std::smatch m;
        if (!std::regex_search(text.cbegin() + static_cast<std::ptrdiff_t>(from), text.cend(), m,
                               regex, flags)) {
            break;
        }
        const size_t at = from + static_cast<size_t>(m.position(0));
        found.emplace_back(at, static_cast<size_t>(m.length(0)));
        from = at + static_cast<size_t>(m.length(0));
    }
    return found;
}

// Random patterns of the accepted syntax, small enough for std::regex's
// backtracking: a quantified group holds no quantified group.
class PatternMaker {
public:
    explicit PatternMaker(uint32_t seed) : random_(seed) {}

    std::string Pattern() { return Disjunction(2, false); }

    std::string Text() {
        static const char kBytes[] = "ab1_ -\n\r\xC1";
        std::string text;
        for (size_t n = Below(9); n > 0; --n) text += kBytes[Below(sizeof kBytes - 1)];
        return text;
    }

private:
    size_t Below(size_t n) { return random_() % n; }
    template <size_t N>
    const char* Pick(const char* const (&choices)[N]) {
        return choices[Below(N)];
    }

    std::string Disjunction(int depth, bool repeated) {
        std::string s = Alternative(depth, repeated);
        while (Below(4) == 0) s += "|" + Alternative(depth, repeated);
        return s;
    }
    std::string Alternative(int depth, bool repeated) {
        std::string s;
        for (size_t n = Below(4); n > 0; --n) s += Term(depth, repeated);
        return s;
    }
    std::string Term(int depth, bool repeated) {
        if (Below(8) == 0) return Pick({"^", "$", "\\b", "\\B"});
        const bool group = depth > 0 && Below(3) == 0;
        const bool quantified = Below(2) == 0 && !(group && repeated);
        std::string s =
            group ? Pick({"(", "(?:"}) + Disjunction(depth - 1, repeated || quantified) + ")"
                  : Atom();
        if (quantified) {
            s += Pick({"*", "+", "?", "{2}", "{0,2}", "{1,}", "{1,3}", "{0}", "{0,}"});
            if (Below(3) == 0) s += "?";
        }
        return s;
    }
    std::string Atom() {
        switch (Below(4)) {
            case 0:
            case 1:
                return std::string(1, "ab1_ -]}"[Below(8)]);
            case 2:
                return Pick({".", "\\d", "\\w", "\\s", "\\D", "\\W", "\\S", "\\.", "\\-", "\\x61",
                             "\\xC1", "\\n", "\\*", "\\t", "(?:\\0)"});
            default: {
                std::string s = Below(3) == 0 ? "[^" : "[";
                for (size_t n = 1 + Below(3); n > 0; --n) {
                    s += Pick({"a", "b", "1", "_", " ", "a-b", "0-9", "\\d", "\\w", "\\s", "\\W",
                               "\\n", "\\]", "\\x80-\\xFF", "["});
                }
                return s + (Below(5) == 0 ? "-]" : "]");
            }
        }
    }

    std::mt19937 random_;
};

// Compares the matches of `pattern` on `text` with std::regex's; false
// (reported) when they differ.
bool SameAsStd(const std::string& pattern, const std::regex& regex, const CodePattern& compiled,
               const std::string& text) {
    const Matches ours = Find(compiled, text);
    const Matches theirs = Reference(regex, text);
    EXPECT_EQ(ours, theirs) << "pattern " << testing::PrintToString(pattern) << " text "
                            << testing::PrintToString(text);
    return ours == theirs;
}

TEST(CodePattern, MatchesAsStdRegexDoes) {
    // Chosen: game codes, and loops whose body may match empty.
    const std::vector<std::pair<std::string, std::vector<std::string>>> chosen = {
        {"@[a-z]+@", {"@hero@ and @x@@", "@@ @A@"}},
        {"\\\\C\\[\\d+\\]|\\\\[nN]", {"\\C[12]x\\n\\C[]\\N"}},
        {"\\{[^}]*\\}|%[-0-9.]*[sd]", {"{0} {name}% %-5.2s %d {"}},
        {"<(/?)[a-z]+(?:=[^>]*)?>", {"<b>x</b><color=red>", "< b><>"}},
        {"\\bis\\b|\\Bs", {"this is it", "is"}},
        {"^a|b$|^$", {"ab", "a", "", "ba"}},
        {"(?:|a)*", {"aa", "ba"}},
        {"(?:a*|b)*", {"bb", "abab"}},
        {"(|a){0,2}", {"aa", "aaa"}},
        {"(?:a??b?)*", {"abab", "bba"}},
        {"(x*)*y", {"xxy", "xx", "y"}},
        {"(?:$|a)*", {"aa"}},
        {"(?:\\b|a)+", {"aa a"}},
        {"(a|ab)(c|bcd)(d*)", {"abcd", "abcdd"}},
        {"a{2,3}?|a", {"aaaaa"}},
        {"(?:a|b)*?b", {"aabab"}},
        {"[\\x80-\\xFF][\\x80-\\xFF]|.",
         {"a\xC1\xA1"
          "b\xA1"}},
    };
    for (const auto& [pattern, texts] : chosen) {
        CodePattern compiled;
        std::string error;
        ASSERT_TRUE(compiled.Compile(pattern, &error)) << pattern << ": " << error;
        const std::regex regex(pattern, std::regex::ECMAScript);
        for (const std::string& text : texts) SameAsStd(pattern, regex, compiled, text);
    }

    PatternMaker maker(20240611);
    int differing = 0;
    for (int k = 0; k < 2000 && differing < 10; ++k) {
        const std::string pattern = maker.Pattern();
        CodePattern compiled;
        std::string error;
        if (!compiled.Compile(pattern, &error)) {
            ADD_FAILURE() << "refused " << testing::PrintToString(pattern) << ": " << error;
            ++differing;
            continue;
        }
        const std::regex regex(pattern, std::regex::ECMAScript);
        for (int t = 0; t < 12; ++t) {
            if (!SameAsStd(pattern, regex, compiled, maker.Text())) {
                ++differing;
                break;
            }
        }
    }
}

// A match of one byte at each of the first `n` places.
Matches EachByte(size_t n) {
    Matches each;
    for (size_t at = 0; at < n; ++at) each.emplace_back(at, 1);
    return each;
}

// Each of these makes a backtracking matcher take exponential time or
// recurse once per text byte; here each finishes at once.
TEST(CodePattern, HostilePatternsFinish) {
    const std::string as(40, 'a');
    const std::string longText = std::string(60000, 'x') + "\"" + std::string(49999, 'x');
    const std::string words = "word " + std::string(3000, 'w') + " word!";
    struct Case {
        std::string pattern;
        std::string text;
        Matches expected;
    };
    const std::vector<Case> cases = {
        {"(a+)+$", as + "b", {}},
        {"(a+)+$", as, {{0, 40}}},
        {"(a|aa)*c", as, {}},
        {"(a|aa)*c", as + "c", {{0, 41}}},
        {"(x*)*y", std::string(5000, 'x'), {}},
        {"(?:a*)*b|a", as, EachByte(40)},
        {"(\\w+\\s?)*$", words, {}},
        {"(\\w+\\s?)*$", words.substr(0, words.size() - 1), {{0, words.size() - 1}}},
        {"a*", std::string(100000, 'a'), {{0, 100000}}},
        {"[^\"]*", longText, {{0, 60000}, {60001, 49999}}},
        {"(?:.|\\n)*?\"", longText, {{0, 60001}}},
        {"(.*a){12}", std::string(30, 'a') + "b", {{0, 30}}},
    };
    for (const Case& c : cases) {
        CodePattern compiled;
        std::string error;
        ASSERT_TRUE(compiled.Compile(c.pattern, &error)) << c.pattern << ": " << error;
        EXPECT_EQ(Find(compiled, c.text), c.expected) << c.pattern;
    }
}

TEST(CodePattern, RefusesWhatItCannotRunAsWritten) {
    const std::string nested20 = std::string(20, '(') + "a" + std::string(20, ')');
    struct Case {
        std::string pattern;
        const char* error;  // nullptr: accepted
    };
    const std::vector<Case> cases = {
        {"(a)\\1", "backreferences are not supported (at byte 4)"},
        {"a(?=b)", "lookahead is not supported"},
        {"(?<=a)b", "lookbehind is not supported"},
        {"(?<n>a)", "only (?: is supported"},
        {"[[:alpha:]]", "POSIX classes"},
        {"*a", "nothing to repeat"},
        {"{2}", "nothing to repeat"},
        {"a**", "cannot follow another quantifier"},
        {"^*", "assertion (^) cannot be repeated"},
        {"\\b+", "assertion (\\b) cannot be repeated"},
        {"a{2", "a { must start a count"},
        {"a{,2}", "a { must start a count"},
        {"a{3,2}", "m below n"},
        {"a{1000}", nullptr},
        {"a{1001}", "a count over 1000"},
        {"a{0,99999999999999999999}", "a count over 1000"},
        {"(a", "missing ) for this ("},
        {"a)", "unmatched )"},
        {"[a", "missing ] for this ["},
        {"[]", "an empty class"},
        {"[z-a]", "a range out of order"},
        {"[a-\\xFF]", "a range across 0x80"},
        {"[\\d-z]", "a range needs a single byte"},
        {"[\\B]", "\\B inside a class"},
        {"\\u0041", "the escape \\u is not supported"},
        {"\\q", "the escape \\q is not supported"},
        {"\\x4", "\\x needs two hex digits"},
        {"\\01", "\\0 followed by a digit"},
        {"\\\xC1\xA1", "a \\ before a control byte"},
        {"a\\", "a \\ at the end"},
        {"(?:(?:a?)*b?)*", "a repeated group that can match empty inside another one"},
        {"(?:a*b?)*", nullptr},
        {nested20, nullptr},
        {"(" + nested20 + ")", "groups nested deeper than 20"},
        {std::string(1000, 'a'), nullptr},
        {std::string(1001, 'a'), "the pattern is longer than 1000 bytes"},
        // With the final instruction, exactly the limit; then one over it.
        {"(?:a{1000}){9}a{999}", nullptr},
        {"(?:a{1000}){10}", "too large (over 10000 instructions)"},
        {"((a{10}|b){10}){1000}", "too large"},
        {"(((){100}){100}){100}", "too large"},
    };
    for (const Case& c : cases) {
        CodePattern compiled;
        std::string error = "unchanged";
        const bool ok = compiled.Compile(c.pattern, &error);
        if (c.error == nullptr) {
            EXPECT_TRUE(ok) << c.pattern.substr(0, 40) << ": " << error;
            continue;
        }
        EXPECT_FALSE(ok) << c.pattern.substr(0, 40);
        EXPECT_NE(error.find(c.error), std::string::npos)
            << c.pattern.substr(0, 40) << ": " << error;
        EXPECT_TRUE(Find(compiled, "a(ab)b").empty()) << c.pattern.substr(0, 40);
    }
}

}  // namespace
}  // namespace vkcdicttest
