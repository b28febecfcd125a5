// What game scripts tell the delimiters check: between which delimiters
// each text stands, found by the substitution's own scanner (ScriptWalk) and
// keyed by the text as a lookup sees it (trimmed).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vkcdict {

class ScriptDelimiters {
public:
    static constexpr uint8_t kBracketed = 1;  // [text]
    static constexpr uint8_t kQuoted = 2;     // "text"

    // Adds the looked-up texts of the script at `path` ("-": standard
    // input), read in pieces. False with the reason in `*error` when it
    // cannot be read, as ReadInput says.
    bool Add(const std::string& path, std::string* error);
    // kBracketed and/or kQuoted for a key the scripts hold, else 0.
    uint8_t Of(std::string_view key) const;

private:
    std::unordered_map<std::string, uint8_t> kinds_;
};

}  // namespace vkcdict
