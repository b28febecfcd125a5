// The glossaries of the glossary check, indexed once for all their terms.
// A glossary is a dictionary text file: each record's ENG text (blanks at
// the ends trimmed) is a term, its CHI text the term's translation, empty
// for "leave untranslated".
//
// Terms are found as whole words, ASCII case ignored: a word is a run of
// ASCII letters, digits and '_' where characters start (never a trail
// byte); a term must begin with a word byte, and one ending with a word byte
// must not be followed by one. The index maps each term's first word, or its
// first two words with what stands between them, in lower case, to the terms
// that begin so; a text is looked up twice a word, whatever the number of
// terms, in a table of its own that hashes the key as it lowers it, without
// copying it. When several records give the same term
// (ASCII case ignored), the first one given counts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vkcdict/files/DictFile.h"

namespace vkcdict {

class GlossaryIndex {
public:
    struct Term {
        std::string eng;
        std::string chi;
        std::string where;  // "FILE:LINE" of its record
        bool endsInWord;    // its last character is a word byte
    };
    struct Match {
        uint32_t term;
        size_t at;  // where the term starts in the text
    };

    // Adds the records of a loaded glossary; terms that begin with no word
    // byte are reported to `diagnostics` as warnings and left out.
    void Add(const DictFile& glossary, Diagnostics& diagnostics);

    // The terms occurring in `text`, in order of position; `*matches` is
    // replaced.
    void Find(std::string_view text, std::vector<Match>* matches) const;

    const Term& term(uint32_t i) const { return terms_[i]; }
    size_t size() const { return terms_.size(); }

private:
    // Adds the terms under the key of `keyLength` bytes at `at`, whose hash
    // is `hash`, that occur there.
    void Look(std::string_view text, size_t at, size_t keyLength, uint64_t hash,
              std::vector<Match>* matches) const;
    // The terms filed under the key `text` (lowered as it is read; `hash` is
    // its hash), or null.
    const std::vector<uint32_t>* Candidates(std::string_view text, uint64_t hash) const;
    // The terms filed under `lowered`, filed anew when missing.
    std::vector<uint32_t>& File(const std::string& lowered);

    struct Key {
        std::string lowered;
        uint64_t hash;
        std::vector<uint32_t> terms;
    };
    std::vector<Term> terms_;
    std::vector<Key> keys_;
    // Open addressing: each slot holds a keys_ index + 1 (0 when free) and
    // the high half of that key's hash, so that a miss rarely reads a key; at
    // most half of the slots are taken.
    struct Slot {
        uint32_t key;
        uint32_t tag;
    };
    std::vector<Slot> slots_;
};

}  // namespace vkcdict
