// What happens to the texts of scripts under substitution, counted per script
// and in total: texts found, texts translated, texts left as they are, and
// distinct untranslated texts (those extract would make records of). stats
// prints the tally on stdout, subst as its summary on stderr.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "vkcdict/files/ScriptTexts.h"

namespace vkcdict {

struct Tally {
    std::string name;
    uint64_t texts = 0;
    uint64_t translated = 0;
    std::unordered_set<std::string> untranslated;

    void Count(const ScriptText& text);
    // Adds another script's counts (the distinct texts as a union).
    void Add(const Tally& other);
    uint64_t left() const { return texts - translated; }
};

// One line per script, then the total ("total" as its name): in words with
// percentages, or as CSV with a header line.
void PrintTallies(const std::vector<Tally>& scripts, bool csv, FILE* out);

}  // namespace vkcdict
