// vkcdict check DICT... [--list-untranslated] [--strict]
//
// Reports, per dictionary file, everything that keeps a record from doing its
// work: where the loader stops and which marker it misses, every record that
// a lookup of its own ENG text does not return (and what it returns instead),
// duplicate keys, invalid GBK, characters that naive script parsers misread,
// texts too long to be looked up, NUL bytes, oversized files and a missing
// closing line (a file cut short at a record's end). Empty
// translations are counted (listed on request). The summary goes last.
#include "vkcdict/Check.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dict/GbkChar.h"
#include "dict/GbkCodec.h"
#include "dict/ScriptScanner.h"
#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/DictFile.h"

namespace vkcdict {

namespace {

std::string RecordName(const DictFile& f, uint32_t i) {
    return "record " + std::to_string(i) + " (line " + std::to_string(f.lines[i]) + ")";
}

// For each record, the first record (in file order) with the same ENG text,
// or the record itself.
std::vector<uint32_t> FirstTwins(const DictFile& f) {
    auto eng = [&f](uint32_t i) { return std::string_view(f.record(i).eng, f.record(i).engLen); };
    std::vector<uint32_t> first(f.count());
    std::iota(first.begin(), first.end(), 0u);
    // Strictly ascending keys (the usual case) have no twins.
    uint32_t i = 1;
    while (i < f.count() && eng(i - 1) < eng(i)) ++i;
    if (i >= f.count()) return first;
    std::unordered_map<std::string_view, uint32_t> seen;
    seen.reserve(f.count());
    for (i = 0; i < f.count(); ++i) first[i] = seen.try_emplace(eng(i), i).first->second;
    return first;
}

// The records whose ENG text sorts before that of the record in front of
// them (a repeated text is a duplicate, not out of place), in file order.
std::vector<uint32_t> OutOfPlace(const DictFile& f) {
    std::vector<uint32_t> out;
    for (uint32_t i = 1; i < f.count(); ++i) {
        if (f.dict->CompareKey(f.record(i).eng, f.record(i - 1).eng) == 2) out.push_back(i);
    }
    return out;
}

void CheckLookups(DictFile& f, Diagnostics& d, bool terminal) {
    const std::vector<uint32_t> first = FirstTwins(f);
    const std::vector<uint32_t> outOfPlace = OutOfPlace(f);
    // A record that is never found for want of order is told the nearest
    // record out of place, the one to move.
    auto nearestOutOfPlace = [&outOfPlace](uint32_t i) {
        auto after = std::lower_bound(outOfPlace.begin(), outOfPlace.end(), i);
        if (after == outOfPlace.end()) return outOfPlace.back();
        if (after == outOfPlace.begin() || *after - i <= i - after[-1]) return *after;
        return after[-1];
    };
    const StringEntry* entries = f.dict->entries;
    size_t nextOutOfPlace = 0;
    for (uint32_t i = 0; i < f.count(); ++i) {
        const StringEntry& r = entries[i];
        const std::string_view eng(r.eng, r.engLen);
        if (nextOutOfPlace < outOfPlace.size() && outOfPlace[nextOutOfPlace] == i) {
            ++nextOutOfPlace;
            d.Error(f.path, f.lines[i],
                    "record " + std::to_string(i) + " is out of place: its ENG text " +
                        Quote(r.eng, r.engLen, terminal) + " sorts before that of " +
                        RecordName(f, i - 1) +
                        "; lookups need ascending keys (vkcdict sort puts them in order)");
        }
        if (first[i] != i) {
            const StringEntry& twin = entries[first[i]];
            const bool same =
                std::string_view(twin.chi, twin.chiLen) == std::string_view(r.chi, r.chiLen);
            d.Error(f.path, f.lines[i],
                    "duplicate key: record " + std::to_string(i) + " repeats the ENG text " +
                        Quote(r.eng, r.engLen, terminal) + " of " + RecordName(f, first[i]) +
                        "; the translations " + (same ? "are the same" : "differ"));
        }
        const StringEntry* found = f.dict->FindStringA(r.eng);
        if (found == &r) continue;
        std::string message = "record " + std::to_string(i) + " is never found: a lookup of " +
                              Quote(r.eng, r.engLen, terminal) + " returns ";
        message +=
            found == nullptr ? "no record" : RecordName(f, static_cast<uint32_t>(found - entries));
        if (!eng.empty() && (eng.front() == ' ' || eng.back() == ' ')) {
            message += ": every lookup trims the blanks at either end of its text";
        } else if (found != nullptr && std::string_view(found->eng, found->engLen) == eng) {
            message += ", its duplicate";
        } else if (!outOfPlace.empty()) {
            const uint32_t moved = nearestOutOfPlace(i);
            message += moved == i ? ": it is out of place"
                                  : ": " + RecordName(f, moved) + " is out of place";
        } else {
            message += ": the records are not in ascending order of their ENG texts";
        }
        d.Error(f.path, f.lines[i], message);
    }
}

void CheckTexts(const DictFile& f, const CheckOptions& options, Diagnostics& d, bool terminal,
                uint64_t* untranslated) {
    for (uint32_t i = 0; i < f.count(); ++i) {
        const StringEntry& r = f.record(i);
        const auto name = [i] { return "record " + std::to_string(i); };
        if (!scriptscan::IsLookedUp(r.engLen)) {
            d.Warning(f.path, f.lines[i],
                      name() + ": ENG text of " + std::to_string(r.engLen) +
                          " bytes: the substitution never looks up texts of " +
                          std::to_string(scriptscan::kLookupLimit) + " bytes or more");
        }
        if (r.chiLen == 0) {
            ++*untranslated;
            if (options.listUntranslated) {
                d.Note(f.path, f.lines[i],
                       name() + ": empty translation of " + Quote(r.eng, r.engLen, terminal));
            }
            continue;
        }
        const unsigned char* chi = reinterpret_cast<const unsigned char*>(r.chi);
        // A file that is not GBK at all was named once already.
        if (f.notGbk ||
            std::none_of(chi, chi + r.chiLen, [](unsigned char c) { return c >= 0x80; })) {
            continue;
        }

        // Invalid GBK: every undefined sequence, the first one shown.
        gbk::ConversionError firstError{};
        const size_t invalid = gbk::CountUndefined(r.chi, r.chiLen, &firstError);
        if (invalid != 0) {
            d.Error(f.path, f.lines[i],
                    name() + ": invalid GBK in the CHI text at byte " +
                        std::to_string(firstError.offset) + ": " +
                        HexBytes(r.chi + firstError.offset, firstError.length) +
                        (invalid > 1 ? " (" + CountOf(invalid - 1, "more sequence") + ")" : ""));
        }

        // Characters whose second byte a byte-wise parser takes for a delimiter.
        size_t misread = 0;
        size_t firstAt = 0;
        for (size_t at = 0; at < r.chiLen;) {
            const size_t step = gbk::CharLength(chi + at, r.chiLen - at);
            if (step == 2 && (chi[at + 1] == '[' || chi[at + 1] == ']' || chi[at + 1] == '\\')) {
                if (misread++ == 0) firstAt = at;
            }
            at += step;
        }
        if (misread != 0) {
            d.Warning(f.path, f.lines[i],
                      name() + ": the CHI text holds " + Quote(r.chi + firstAt, 2, terminal) +
                          " (" + HexBytes(r.chi + firstAt, 2) + ") at byte " +
                          std::to_string(firstAt) +
                          (misread > 1 ? " and " + CountOf(misread - 1, "more character") : "") +
                          ", whose second byte is '" + std::string(1, r.chi[firstAt + 1]) +
                          "': script parsers that read bytes misread it");
        }
    }
}

}  // namespace

int CheckFiles(const CheckOptions& options, Diagnostics& d) {
    const bool terminal = StderrIsTerminal();
    bool failed = false;
    uint64_t records = 0;
    uint64_t untranslated = 0;
    for (const std::string& path : options.files) {
        DictFile f;
        if (!OpenDictionary(path, LoadPolicy::kReport, d, &f)) {
            failed = true;
            continue;
        }
        records += f.count();
        if (f.complete && !f.closed) {
            d.Warning(f.path, 0,
                      "no closing line \"mirok_res_All_End\" after the last record: the file "
                      "may have been cut short, and records after the cut would be lost");
        }
        CheckLookups(f, d, terminal);
        CheckTexts(f, options, d, terminal, &untranslated);
    }
    d.Summary("vkcdict check: " + CountOf(options.files.size(), "file") + ", " +
              CountOf(records, "record") + " loaded, " + CountOf(d.errors(), "error") + ", " +
              CountOf(d.warnings(), "warning") + ", " + CountOf(untranslated, "empty translation"));
    if (failed) return kFailed;
    return d.findings() != 0 ? kFound : kDone;
}

void AddCheckCommand(Command& command) {
    auto options = std::make_shared<CheckOptions>();
    command.Purpose("Report broken records, records that lookups miss, duplicates and bad GBK");
    command.Arguments("DICT", &options->files, "dictionary text files").Required();
    command.Flag("--list-untranslated", &options->listUntranslated,
                 "list every record whose translation is empty");
    command.Flag("--strict", &options->strict, "count warnings as findings");
    command.Action([options] {
        Diagnostics d(options->strict);
        return CheckFiles(*options, d);
    });
}

}  // namespace vkcdict
