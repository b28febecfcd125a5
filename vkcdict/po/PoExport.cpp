// vkcdict po-export DICT -o FILE.po [--template] [--context] [--lossy]
//
// Writes a dictionary as a gettext catalogue in UTF-8, one entry per record
// in the dictionary's order: the ENG text as msgid, the CHI text as msgstr
// (empty with --template), the remark as translator comments and the
// record's place as a "#:" reference. Texts convert as vkcdict/po/PoText.h says.
//
// A key held by two records cannot be two entries: without --context the
// records are combined as merge combines them (a conflict is reported and
// the first translation kept); with --context each of them gets its record
// number as msgctxt, which po-import reads back. A record with an empty ENG
// text always gets one, since msgid "" is the catalogue's header.
//
// Undefined GBK stops the export, reported for every record, and nothing is
// written; --lossy writes U+FFFD instead in CHI texts and remarks (an ENG text
// must convert exactly, or the key would change). An ENG or CHI text holding
// byte 0x04, which gettext reserves, stops it too, with status 2. The
// dictionary's name is written as UTF-8 without control bytes (PoName).
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dict/GbkCodec.h"
#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"
#include "vkcdict/po/PoFile.h"
#include "vkcdict/po/PoText.h"

namespace vkcdict {

namespace {

struct ExportOptions {
    std::string dict;
    std::string output;
    bool templateOnly = false;
    bool context = false;
    bool lossy = false;
    bool partial = false;
    bool allowNonGbk = false;
};

// gettext's date form, in UTC.
std::string PoDate() {
    const std::time_t now = std::time(nullptr);
    const std::tm* utc = std::gmtime(&now);
    char text[32];
    if (utc == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M+0000", utc) == 0) {
        return "1970-01-01 00:00+0000";
    }
    return text;
}

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void AppendHeader(const std::string& name, std::string* out) {
    const std::string date = PoDate();
    const std::string generator = std::string("vkcdict ") + VKC_VERSION;
    po::Entry header;
    header.id.present = true;
    header.str.emplace_back();
    header.str[0].present = true;
    header.str[0].value = "Project-Id-Version: " + name +
                          "\n"
                          "POT-Creation-Date: " +
                          date +
                          "\n"
                          "PO-Revision-Date: " +
                          date +
                          "\n"
                          "Last-Translator: \n"
                          "Language-Team: \n"
                          "Language: zh_CN\n"
                          "MIME-Version: 1.0\n"
                          "Content-Type: text/plain; charset=UTF-8\n"
                          "Content-Transfer-Encoding: 8bit\n"
                          "X-Generator: " +
                          generator + "\n";
    po::AppendEntry(header, out);
}

// The texts of one entry: a record's, or those of several records with one
// key combined.
struct Source {
    std::string_view chi;
    std::string_view remark;
    bool written = true;  // false for a record combined into an earlier one
};

// Combines the records that share a key, as merge does, into the first of
// them. Returns the number of conflicts.
uint64_t CombineTwins(const DictFile& f, std::vector<Source>* sources, Diagnostics& d) {
    const bool terminal = StderrIsTerminal();
    std::unordered_map<std::string_view, uint32_t> first;
    first.reserve(f.count());
    uint64_t conflicts = 0;
    for (uint32_t i = 0; i < f.count(); ++i) {
        const StringEntry& r = f.record(i);
        const std::string_view eng(r.eng, r.engLen);
        auto [it, added] = first.try_emplace(eng, i);
        if (added) continue;
        Source& kept = (*sources)[it->second];
        Source& twin = (*sources)[i];
        twin.written = false;
        if (kept.remark.empty()) kept.remark = twin.remark;
        const std::string keptAt = f.Where(it->second);
        if (kept.chi.empty() || twin.chi.empty() || kept.chi == twin.chi) {
            if (kept.chi.empty()) kept.chi = twin.chi;
            d.Note(f.path, f.lines[i],
                   Tr("duplicate key {1} (first at {2}): merged",
                      {Quote(eng.data(), eng.size(), terminal), keptAt}));
            continue;
        }
        ++conflicts;
        d.Error(f.path, f.lines[i],
                Tr("conflict: {1} is translated {2} here and {3} at {4}; keeping that one "
                   "(--context keeps both)",
                   {Quote(eng.data(), eng.size(), terminal),
                    Quote(twin.chi.data(), twin.chi.size(), terminal),
                    Quote(kept.chi.data(), kept.chi.size(), terminal), keptAt}));
    }
    return conflicts;
}

// One kind of text of a record, as the export writes it.
struct TextKind {
    const char* section;  // as the dictionary names it
    po::Edges edges;
    bool replaceable;  // --lossy may replace its undefined GBK (not the key's)
};
constexpr TextKind kEngText{"ENG", po::Edges::kSymbols, false};
constexpr TextKind kChiText{"CHI", po::Edges::kSymbols, true};
constexpr TextKind kRemarkText{"Remark00", po::Edges::kBreaks, true};

// What keeps a text out of the PO file, as bits.
enum : unsigned { kInvalidGbk = 1, kNotCarried = 2 };

// Converts one text of record `i` into `*out`. Reports undefined GBK (left
// to --lossy in a replaceable text) and, when `asEntry` (the text becomes a
// msgid or msgstr), gettext's context separator, which no conversion carries.
// Returns what was reported.
unsigned Convert(const DictFile& f, uint32_t i, const TextKind& kind, std::string_view text,
                 bool asEntry, bool lossy, std::string* out, size_t* replaced, Diagnostics& d) {
    const std::string record = std::to_string(i);
    unsigned problems = 0;
    const size_t separator = asEntry ? text.find(po::kContextSeparator) : std::string_view::npos;
    if (separator != std::string_view::npos) {
        d.Error(f.path, f.lines[i],
                Tr("record {1}: the {2} text holds the control byte \\x04 at byte {3}, which "
                   "gettext reserves to join msgctxt and msgid: a PO file cannot hold it",
                   {record, kind.section, std::to_string(separator)}));
        problems |= kNotCarried;
    }
    gbk::ConversionError error{};
    if (po::ToPoText(text, kind.edges, lossy && kind.replaceable, out, &error, replaced)) {
        return problems;
    }
    const std::string at = std::to_string(error.offset);
    const std::string bytes = HexBytes(text.data() + error.offset, error.length);
    d.Error(f.path, f.lines[i],
            kind.replaceable
                ? Tr("record {1}: invalid GBK in the {2} text at byte {3}: {4} (--lossy replaces "
                     "it)",
                     {record, kind.section, at, bytes})
                : Tr("record {1}: invalid GBK in the {2} text at byte {3}: {4} (ENG texts are "
                     "never replaced)",
                     {record, kind.section, at, bytes}));
    return problems | kInvalidGbk;
}

// A file name for a PO file, which must be UTF-8 without control bytes: a
// name that is not UTF-8 is taken as GBK (the system's code page where
// dictionaries are made), bytes that are neither, and control bytes, as
// \xNN.
std::string PoName(const std::string& path) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(path.data());
    for (size_t i = 0; i < path.size();) {
        const size_t n = Utf8Step(bytes + i, path.size() - i);
        if (n == 0) return ShowName(gbk::ToDisplay(path.data(), path.size()));
        i += n;
    }
    return ShowName(path);
}

// Splits a converted remark into comment lines.
void CommentLines(const std::string& remark, std::vector<std::string>* lines) {
    lines->clear();
    if (remark.empty()) return;
    for (size_t at = 0;;) {
        const size_t end = remark.find('\n', at);
        lines->push_back(remark.substr(at, end == std::string::npos ? end : end - at));
        if (end == std::string::npos) return;
        at = end + 1;
    }
}

int Export(const ExportOptions& o) {
    Diagnostics d;
    if (!OutputIsNoInput(o.output, {o.dict}, d)) return kFailed;
    DictFile f;
    if (!OpenDictionary(o.dict, PolicyFor(o.partial), d, &f, WritingPolicy(o.allowNonGbk))) {
        return kFailed;
    }

    std::vector<Source> sources(f.count());
    for (uint32_t i = 0; i < f.count(); ++i) {
        const StringEntry& r = f.record(i);
        sources[i] = {std::string_view(r.chi, r.chiLen), std::string_view(r.remark, r.remarkLen)};
    }
    std::vector<bool> twin(f.count(), false);  // shares its key with another record
    uint64_t conflicts = 0;
    if (o.context) {
        std::unordered_map<std::string_view, uint32_t> seen;
        for (uint32_t i = 0; i < f.count(); ++i) {
            auto [it, added] =
                seen.try_emplace(std::string_view(f.record(i).eng, f.record(i).engLen), i);
            if (!added) twin[i] = twin[it->second] = true;
        }
    } else {
        conflicts = CombineTwins(f, &sources, d);
    }

    SafeOutput out;  // discarded unless committed
    if (!out.Open(o.output, d)) return kFailed;
    std::string po;
    AppendHeader(PoName(FileName(o.dict)), &po);
    const std::string reference = PoName(o.dict) + ":";
    po::Entry entry;
    entry.id.present = true;
    entry.str.emplace_back();
    entry.str[0].present = true;
    std::string remark;
    size_t replaced = 0;
    uint64_t invalid = 0;     // records with undefined GBK
    uint64_t notCarried = 0;  // records with a text PO cannot hold
    uint64_t written = 0;
    for (uint32_t i = 0; i < f.count(); ++i) {
        if (!sources[i].written) continue;
        const StringEntry& r = f.record(i);
        const std::string_view eng(r.eng, r.engLen);
        unsigned problems =
            Convert(f, i, kEngText, eng, true, o.lossy, &entry.id.value, &replaced, d);
        // A template's msgstr stays empty: its CHI text is not written.
        problems |= Convert(f, i, kChiText, sources[i].chi, !o.templateOnly, o.lossy,
                            &entry.str[0].value, &replaced, d);
        problems |=
            Convert(f, i, kRemarkText, sources[i].remark, false, o.lossy, &remark, &replaced, d);
        invalid += (problems & kInvalidGbk) != 0;
        notCarried += (problems & kNotCarried) != 0;
        if (invalid != 0 || notCarried != 0) continue;  // nothing will be written: only look on
        if (o.templateOnly) entry.str[0].value.clear();
        CommentLines(remark, &entry.comments);
        entry.references.assign(1, reference + std::to_string(f.lines[i]));
        entry.context.present = twin[i] || eng.empty();
        entry.context.value = entry.context.present ? std::to_string(i) : std::string();
        po += '\n';
        po::AppendEntry(entry, &po);
        ++written;
        if (po.size() >= (1u << 20)) {
            out.Write(po);
            po.clear();
        }
    }
    if (invalid != 0 || notCarried != 0) {
        std::string problems;
        if (notCarried != 0) {
            problems += Tr("{1} with a text PO cannot hold", {CountOf(notCarried, "record")});
        }
        if (invalid != 0 && notCarried != 0) problems += Tr(", ");
        if (invalid != 0) problems += Tr("{1} with invalid GBK", {CountOf(invalid, "record")});
        d.Summary(Tr("vkcdict po-export: {1}; nothing written", {problems}));
        // A byte that PO cannot hold is no matter of --lossy: the dictionary
        // must change.
        return notCarried != 0 ? kFailed : kFound;
    }

    out.Write(po);
    if (!out.Commit(d)) return kFailed;
    std::string summary =
        Tr("vkcdict po-export: {1} read, {2} written to {3}",
           {CountOf(f.count(), "record"), CountOf(written, "entry", "entries"), o.output});
    if (conflicts != 0) summary += Tr(", ") + CountOf(conflicts, "conflict");
    if (replaced != 0) {
        summary += Tr(", ") + Tr("{1} replaced", {CountOf(replaced, "undefined sequence")});
    }
    d.Summary(summary);
    return d.findings() != 0 ? kFound : kDone;
}

}  // namespace

void AddPoExportCommand(Command& command) {
    auto options = std::make_shared<ExportOptions>();
    command.Purpose("Write a dictionary as a gettext PO file in UTF-8");
    command.Argument("DICT", &options->dict, "dictionary text file").Required();
    command.Option("-o,--output", &options->output, "the PO file to write")
        .TypeName("FILE")
        .Required();
    command.Flag("--template", &options->templateOnly,
                 "leave every msgstr empty (a .pot template)");
    command.Flag("--context", &options->context,
                 "give records that share a key their record number as msgctxt");
    command.Flag("--lossy", &options->lossy,
                 "write U+FFFD for undefined GBK in CHI texts and remarks");
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    command.Action([options] { return Export(*options); });
}

}  // namespace vkcdict
