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
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

std::string RecordName(const DictFile& f, uint32_t i) {
    return Tr("record {1} (line {2})", {std::to_string(i), std::to_string(f.lines[i])});
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
            d.Error(
                f.path, f.lines[i],
                Tr("record {1} is out of place: its ENG text {2} sorts before that of {3}; "
                   "lookups need ascending keys (vkcdict sort puts them in order)",
                   {std::to_string(i), Quote(r.eng, r.engLen, terminal), RecordName(f, i - 1)}));
        }
        if (first[i] != i) {
            const StringEntry& twin = entries[first[i]];
            const bool same =
                std::string_view(twin.chi, twin.chiLen) == std::string_view(r.chi, r.chiLen);
            const std::string index = std::to_string(i);
            const std::string eng = Quote(r.eng, r.engLen, terminal);
            const std::string twinName = RecordName(f, first[i]);
            d.Error(f.path, f.lines[i],
                    same ? Tr("duplicate key: record {1} repeats the ENG text {2} of {3}; the "
                              "translations are the same",
                              {index, eng, twinName})
                         : Tr("duplicate key: record {1} repeats the ENG text {2} of {3}; the "
                              "translations differ",
                              {index, eng, twinName}));
        }
        const StringEntry* found = f.dict->FindStringA(r.eng);
        if (found == &r) continue;
        // "record N is never found: a lookup of TEXT returns WHAT", then why.
        const std::string index = std::to_string(i);
        const std::string text = Quote(r.eng, r.engLen, terminal);
        const std::string what = found == nullptr
                                     ? std::string(Tr("no record"))
                                     : RecordName(f, static_cast<uint32_t>(found - entries));
        std::string message;
        if (!eng.empty() && (eng.front() == ' ' || eng.back() == ' ')) {
            message =
                Tr("record {1} is never found: a lookup of {2} returns {3}: every lookup "
                   "trims the blanks at either end of its text",
                   {index, text, what});
        } else if (found != nullptr && std::string_view(found->eng, found->engLen) == eng) {
            message = Tr("record {1} is never found: a lookup of {2} returns {3}, its duplicate",
                         {index, text, what});
        } else if (!outOfPlace.empty()) {
            const uint32_t moved = nearestOutOfPlace(i);
            message = moved == i ? Tr("record {1} is never found: a lookup of {2} returns {3}: "
                                      "it is out of place",
                                      {index, text, what})
                                 : Tr("record {1} is never found: a lookup of {2} returns {3}: "
                                      "{4} is out of place",
                                      {index, text, what, RecordName(f, moved)});
        } else {
            message =
                Tr("record {1} is never found: a lookup of {2} returns {3}: the records are "
                   "not in ascending order of their ENG texts",
                   {index, text, what});
        }
        d.Error(f.path, f.lines[i], message);
    }
}

void CheckTexts(const DictFile& f, const CheckOptions& options, Diagnostics& d, bool terminal,
                uint64_t* untranslated) {
    for (uint32_t i = 0; i < f.count(); ++i) {
        const StringEntry& r = f.record(i);
        const std::string index = std::to_string(i);
        if (!scriptscan::IsLookedUp(r.engLen)) {
            d.Warning(
                f.path, f.lines[i],
                Tr("record {1}: ENG text of {2} bytes: the substitution never looks up "
                   "texts of {3} bytes or more",
                   {index, std::to_string(r.engLen), std::to_string(scriptscan::kLookupLimit)}));
        }
        if (r.chiLen == 0) {
            ++*untranslated;
            if (options.listUntranslated) {
                d.Note(f.path, f.lines[i],
                       Tr("record {1}: empty translation of {2}",
                          {index, Quote(r.eng, r.engLen, terminal)}));
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
            const std::string at = std::to_string(firstError.offset);
            const std::string bytes = HexBytes(r.chi + firstError.offset, firstError.length);
            d.Error(f.path, f.lines[i],
                    invalid == 1
                        ? Tr("record {1}: invalid GBK in the CHI text at byte {2}: {3}",
                             {index, at, bytes})
                        : Tr("record {1}: invalid GBK in the CHI text at byte {2}: {3} ({4})",
                             {index, at, bytes, CountOf(invalid - 1, "more sequence")}));
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
            const std::string character = Quote(r.chi + firstAt, 2, terminal);
            const std::string bytes = HexBytes(r.chi + firstAt, 2);
            const std::string at = std::to_string(firstAt);
            const std::string second(1, r.chi[firstAt + 1]);
            d.Warning(f.path, f.lines[i],
                      misread == 1
                          ? Tr("record {1}: the CHI text holds {2} ({3}) at byte {4}, whose "
                               "second byte is '{5}': script parsers that read bytes misread it",
                               {index, character, bytes, at, second})
                          : Tr("record {1}: the CHI text holds {2} ({3}) at byte {4} and {5}, "
                               "whose second byte is '{6}': script parsers that read bytes "
                               "misread it",
                               {index, character, bytes, at, CountOf(misread - 1, "more character"),
                                second}));
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
                      Tr("no closing line \"{1}\" after the last record: the file may have been "
                         "cut short, and records after the cut would be lost",
                         {"mirok_res_All_End"}));
        }
        CheckLookups(f, d, terminal);
        CheckTexts(f, options, d, terminal, &untranslated);
    }
    d.Summary(Tr("vkcdict check: {1}, {2} loaded, {3}, {4}, {5}",
                 {CountOf(options.files.size(), "file"), CountOf(records, "record"),
                  CountOf(d.errors(), "error"), CountOf(d.warnings(), "warning"),
                  CountOf(untranslated, "empty translation")}));
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
