// vkcdict po-import FILE.po... -o DICT [--base DICT] [--fuzzy] [--lossy]
//
// Writes the entries of gettext catalogues (UTF-8) as a dictionary text
// file: msgid the ENG text, msgstr the CHI text, translator comments the
// remark, all converted to GBK as vkcdict/po/PoText.h says. A msgctxt is the
// record number that po-export gave a key held by several records. A
// catalogue whose header declares GBK, GB2312 or GB18030 holds GBK bytes
// already: they are taken as they are, each checked to be GBK characters.
//   - The header, obsolete entries and "#:" / "#." comments are not read.
//   - Fuzzy translations are left out (the record keeps an empty CHI text)
//     and counted, as msgfmt leaves them out; --fuzzy takes them.
//   - A plural entry, a character GBK lacks (unless --lossy, which writes
//     '?'; in a GBK catalogue, bytes that are no GBK character, --lossy or
//     not), or a text that would not load back stop the import: every one is
//     reported with FILE.po:LINE and nothing is written. An import that
//     replaced characters is written, counts them and exits 1.
//   - Entries of one key in several files combine as merge combines records.
// Without --base the records are written sorted by key (records of one key
// by msgctxt). With --base the base dictionary is rewritten with its header,
// remarks and order: a non-empty translation from the catalogues replaces a
// record's CHI text, keys that the base lacks are added at their sorted
// places, and base records that no entry names are reported.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/DictWriter.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"
#include "vkcdict/po/PoFile.h"
#include "vkcdict/po/PoText.h"

namespace vkcdict {

namespace {

struct ImportOptions {
    std::vector<std::string> files;
    std::string output;
    std::string base;
    bool fuzzy = false;
    bool lossy = false;
    bool partial = false;
    bool allowNonGbk = false;
};

constexpr uint64_t kNoContext = UINT64_MAX;

struct Imported {
    std::string eng, chi, remark;
    uint64_t context = kNoContext;
    std::string where;  // FILE.po:LINE of its msgid
    uint64_t line = 0;
    bool used = false;  // taken into a base record
};

// The imported records and the counts of what was left out.
class Catalogue {
public:
    Catalogue(const ImportOptions& options, Diagnostics& d)
        : options_(options), d_(d), terminal_(StderrIsTerminal()) {}

    // False when the file cannot be read or parsed.
    bool Read(const std::string& path) {
        WorkingOn working(path);
        std::string bytes, reason;
        if (!ReadInput(path, &bytes, &reason)) {
            d_.Error(path, 0, ReadFailure(reason));
            return false;
        }
        path_ = &path;
        charset_ = po::Charset::kUtf8;  // until a header says otherwise
        po::ParseError error{};
        if (!po::Parse(
                bytes, [this](const po::Entry& e) { return Take(e); }, &error)) {
            if (!error.message.empty()) d_.Error(path, error.line, error.message);
            return false;
        }
        return true;
    }

    std::vector<Imported>& records() { return records_; }
    uint64_t blocking() const { return blocking_; }
    uint64_t entries() const { return entries_; }
    uint64_t fuzzyLeftOut() const { return fuzzyLeftOut_; }
    uint64_t obsolete() const { return obsolete_; }
    uint64_t conflicts() const { return conflicts_; }
    size_t replaced() const { return replaced_; }

    // The record of `eng` with `context`, or null.
    Imported* Find(const std::string& eng, uint64_t context) {
        auto it = index_.find(Key(eng, context));
        return it == index_.end() ? nullptr : &records_[it->second];
    }

private:
    static std::string Key(const std::string& eng, uint64_t context) {
        return context == kNoContext ? eng : eng + '\0' + std::to_string(context);
    }

    bool Take(const po::Entry& e) {
        if (e.IsHeader()) return Header(e);
        if (e.obsolete) {
            ++obsolete_;
            return true;
        }
        ++entries_;
        if (e.idPlural.present) {
            Block(e.line, Tr("plural forms cannot be stored in a dictionary"));
            return true;
        }
        Imported r;
        r.where = *path_ + ":" + std::to_string(e.line);
        r.line = e.line;
        if (e.context.present && !ContextNumber(e.context.value, &r.context)) {
            Block(e.line, Tr("msgctxt {1} is not a record number that po-export wrote",
                             {Quote(e.context.value, false)}));
            return true;
        }
        bool ok = Convert(e.id, false, &r.eng);
        const bool take = !e.Fuzzy() || options_.fuzzy;
        if (!take && !e.str[0].value.empty()) ++fuzzyLeftOut_;
        if (take) ok = Convert(e.str[0], options_.lossy, &r.chi) && ok;
        ok = ConvertComments(e, &r.remark) && ok;
        ok = Storable(e, r) && ok;
        if (ok) Add(std::move(r));
        return true;
    }

    bool Header(const po::Entry& e) {
        std::string name;
        charset_ = po::HeaderCharset(e, &name);
        if (charset_ != po::Charset::kOther) return true;
        d_.Error(*path_, e.line,
                 Tr("the catalogue is in {1}; only UTF-8 and GBK (also as GB2312 or GB18030) are "
                    "read (msgconv -t UTF-8 converts it)",
                    {name}));
        return false;
    }

    static bool ContextNumber(const std::string& text, uint64_t* number) {
        if (text.empty() || text.size() > 10) return false;
        *number = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return false;
            *number = *number * 10 + static_cast<uint64_t>(c - '0');
        }
        return true;
    }

    void Block(uint64_t line, const std::string& message) {
        ++blocking_;
        d_.Error(*path_, line, message);
    }

    // The bytes as \xNN each.
    // Reports a text's first sequence that is no GBK character, in a
    // catalogue of the GBK family.
    void ReportGbk(const std::string& text, const gbk::ConversionError& error, uint64_t line) {
        uint32_t codePoint = 0;
        const std::string_view rest = std::string_view(text).substr(error.offset);
        if (charset_ == po::Charset::kGb18030 && po::Gb18030FourByte(rest, &codePoint)) {
            // Its bytes, and its code point when reckoned: "\x94\x39\xFC\x36 (U+1F600)".
            std::string character = HexBytes(rest.data(), 4);
            if (codePoint != 0) {
                char code[16];
                std::snprintf(code, sizeof code, " (U+%04X)", static_cast<unsigned>(codePoint));
                character += code;
            }
            Block(line, Tr("a GB18030 four-byte character, which GBK lacks: {1}", {character}));
            return;
        }
        Block(line,
              Tr("bytes that are no GBK character: {1}", {HexBytes(rest.data(), error.length)}));
    }

    // Reports a text's first character that cannot be converted.
    void ReportConversion(const std::string& text, const gbk::ConversionError& error,
                          uint64_t line) {
        if (charset_ != po::Charset::kUtf8) {
            ReportGbk(text, error, line);
            return;
        }
        if (error.codePoint == 0xFFFFFFFF) {
            Block(line,
                  Tr("invalid UTF-8: {1}", {HexBytes(text.data() + error.offset, error.length)}));
            return;
        }
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(error.codePoint));
        const std::string character = text.substr(error.offset, error.length);
        Block(line, options_.lossy
                        ? Tr("the character \"{1}\" ({2}) has no GBK code", {character, code})
                        : Tr("the character \"{1}\" ({2}) has no GBK code (--lossy writes '?')",
                             {character, code}));
    }

    // A catalogue's text as GBK dictionary text, by its charset.
    bool FromCatalogue(const std::string& text, bool lossy, std::string* out,
                       gbk::ConversionError* error) {
        return charset_ == po::Charset::kUtf8 ? po::FromPoText(text, lossy, out, error, &replaced_)
                                              : po::FromGbkPoText(text, out, error);
    }

    bool Convert(const po::Text& text, bool lossy, std::string* out) {
        gbk::ConversionError error{};
        if (FromCatalogue(text.value, lossy, out, &error)) return true;
        ReportConversion(text.value, error, text.LineOf(error.offset));
        return false;
    }

    bool ConvertComments(const po::Entry& e, std::string* out) {
        std::string joined;
        for (size_t k = 0; k < e.comments.size(); ++k) {
            if (k > 0) joined += '\n';
            joined += e.comments[k];
        }
        gbk::ConversionError error{};
        if (FromCatalogue(joined, options_.lossy, out, &error)) return true;
        const size_t line = static_cast<size_t>(
            std::count(joined.begin(), joined.begin() + static_cast<long>(error.offset), '\n'));
        ReportConversion(joined, error, e.commentLines[line]);
        return false;
    }

    bool Storable(const po::Entry& e, const Imported& r) {
        const char* section = !vkcdict::Storable(r.eng, kEngSection)         ? "ENG"
                              : !vkcdict::Storable(r.chi, kChiSection)       ? "CHI"
                              : !vkcdict::Storable(r.remark, kRemarkSection) ? "Remark00"
                                                                             : nullptr;
        if (section == nullptr) return true;
        Block(e.line, Tr("the {1} text holds a NUL byte or a marker line and would not load back",
                         {section}));
        return false;
    }

    // A key seen before combines as merge combines records.
    void Add(Imported&& r) {
        auto [it, added] = index_.try_emplace(Key(r.eng, r.context), records_.size());
        if (added) {
            records_.push_back(std::move(r));
            return;
        }
        Imported& kept = records_[it->second];
        if (kept.remark.empty()) kept.remark = std::move(r.remark);
        if (kept.chi.empty() || r.chi.empty() || kept.chi == r.chi) {
            if (kept.chi.empty()) kept.chi = std::move(r.chi);
            return;
        }
        ++conflicts_;
        d_.Error(*path_, r.line,
                 Tr("conflict: {1} is translated {2} here and {3} at {4}; keeping that one",
                    {Quote(r.eng, terminal_), Quote(r.chi, terminal_), Quote(kept.chi, terminal_),
                     kept.where}));
    }

    const ImportOptions& options_;
    Diagnostics& d_;
    bool terminal_;
    const std::string* path_ = nullptr;
    po::Charset charset_ = po::Charset::kUtf8;  // of the catalogue being read
    std::vector<Imported> records_;
    std::unordered_map<std::string, size_t> index_;
    uint64_t blocking_ = 0, entries_ = 0, fuzzyLeftOut_ = 0, obsolete_ = 0, conflicts_ = 0;
    size_t replaced_ = 0;
};

bool KeyLess(const Imported* a, const Imported* b) {
    return a->eng != b->eng ? a->eng < b->eng : a->context < b->context;
}

RecordText TextsOf(const Imported& r) {
    return {r.eng, r.chi, r.remark};
}

// The base's records with the catalogue's translations, and the records it
// lacks at their sorted places. Returns the number of base records no entry
// names.
uint64_t IntoBase(const DictFile& base, Catalogue& catalogue, std::vector<RecordText>* records,
                  Diagnostics& d) {
    const bool terminal = StderrIsTerminal();
    std::vector<RecordText> kept;
    kept.reserve(base.count());
    uint64_t unnamed = 0;
    for (uint32_t i = 0; i < base.count(); ++i) {
        RecordText text = vkcdict::TextsOf(base.record(i));
        const std::string eng(text.eng);
        Imported* r = catalogue.Find(eng, i);
        if (r == nullptr) r = catalogue.Find(eng, kNoContext);
        if (r == nullptr) {
            ++unnamed;
            d.Warning(
                base.path, base.lines[i],
                Tr("no PO entry for {1}: its record is kept as it is", {Quote(eng, terminal)}));
        } else {
            r->used = true;
            if (!r->chi.empty()) text.chi = r->chi;
        }
        kept.push_back(text);
    }
    std::vector<const Imported*> added;
    for (const Imported& r : catalogue.records()) {
        if (!r.used) added.push_back(&r);
    }
    std::stable_sort(added.begin(), added.end(), KeyLess);
    records->reserve(kept.size() + added.size());
    size_t next = 0;
    for (const RecordText& text : kept) {
        while (next < added.size() && added[next]->eng < text.eng) {
            records->push_back(TextsOf(*added[next++]));
        }
        records->push_back(text);
    }
    while (next < added.size()) records->push_back(TextsOf(*added[next++]));
    return unnamed;
}

int Import(const ImportOptions& o) {
    Diagnostics d;
    std::vector<std::string> inputs = o.files;
    if (!o.base.empty()) inputs.push_back(o.base);
    if (!OutputIsNoInput(o.output, inputs, d)) return kFailed;
    Catalogue catalogue(o, d);
    for (const std::string& path : o.files) {
        if (!catalogue.Read(path)) return kFailed;
    }
    if (catalogue.blocking() != 0) {
        d.Summary(Tr("vkcdict po-import: {1} cannot be imported; nothing written",
                     {CountOf(catalogue.blocking(), "entry", "entries")}));
        return kFound;
    }

    DictFile base;
    std::string header;
    std::vector<RecordText> records;
    uint64_t unnamed = 0;
    if (!o.base.empty()) {
        if (!OpenDictionary(o.base, PolicyFor(o.partial), d, &base, WritingPolicy(o.allowNonGbk))) {
            return kFailed;
        }
        header = base.header;
        unnamed = IntoBase(base, catalogue, &records, d);
    } else {
        std::vector<const Imported*> sorted;
        sorted.reserve(catalogue.records().size());
        for (const Imported& r : catalogue.records()) sorted.push_back(&r);
        std::stable_sort(sorted.begin(), sorted.end(), KeyLess);
        records.reserve(sorted.size());
        for (const Imported* r : sorted) records.push_back(TextsOf(*r));
    }

    if (!WriteDictionary(o.output, header, records, d)) return kFailed;
    std::string summary = Tr("vkcdict po-import: {1} read, {2} written to {3}",
                             {CountOf(catalogue.entries(), "entry", "entries"),
                              CountOf(records.size(), "record"), o.output});
    const std::string comma = Tr(", ");
    if (catalogue.fuzzyLeftOut() != 0) {
        summary += comma + Tr("{1} left out (--fuzzy takes them)",
                              {CountOf(catalogue.fuzzyLeftOut(), "fuzzy translation")});
    }
    if (catalogue.obsolete() != 0) {
        summary +=
            comma + Tr("{1} ignored",
                       {CountOf(catalogue.obsolete(), "obsolete entry", "obsolete entries")});
    }
    if (catalogue.replaced() != 0) {
        summary += comma + Tr("{1} replaced by '?'", {CountOf(catalogue.replaced(), "character")});
    }
    if (catalogue.conflicts() != 0) summary += comma + CountOf(catalogue.conflicts(), "conflict");
    if (unnamed != 0) {
        summary += comma + Tr("{1} without an entry", {CountOf(unnamed, "base record")});
    }
    d.Summary(summary);
    // A lossy import is written as asked, but it is not the catalogue itself.
    return d.findings() != 0 || catalogue.replaced() != 0 ? kFound : kDone;
}

}  // namespace

void AddPoImportCommand(Command& command) {
    auto options = std::make_shared<ImportOptions>();
    command.Purpose("Write gettext PO files as a dictionary text file");
    command.Arguments("FILE", &options->files, "PO files in UTF-8 or GBK").Required();
    command.Option("-o,--output", &options->output, "the dictionary to write")
        .TypeName("FILE")
        .Required();
    command.Option("--base", &options->base, "put the translations into this dictionary's records")
        .TypeName("DICT");
    command.Flag("--fuzzy", &options->fuzzy, "take fuzzy translations too");
    command.Flag("--lossy", &options->lossy,
                 "write '?' for characters GBK lacks (in a UTF-8 catalogue)");
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    command.Action([options] { return Import(*options); });
}

}  // namespace vkcdict
