// vkcdict po-export DICT -o FILE.po [--template] [--context] [--lossy]
//
// Writes a dictionary as a gettext catalogue in UTF-8, one entry per record
// in the dictionary's order: the ENG text as msgid, the CHI text as msgstr
// (empty with --template), the remark as translator comments and the
// record's place as a "#:" reference. Texts convert as vkcdict/PoText.h says.
//
// A key held by two records cannot be two entries: without --context the
// records are combined as merge combines them (a conflict is reported and
// the first translation kept); with --context each of them gets its record
// number as msgctxt, which po-import reads back. A record with an empty ENG
// text always gets one, since msgid "" is the catalogue's header.
//
// Undefined GBK stops the export, reported for every record, and nothing is
// written; --lossy writes U+FFFD instead in CHI texts and remarks (an ENG text
// must convert exactly, or the key would change).
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/DictFile.h"
#include "vkcdict/Display.h"
#include "vkcdict/Output.h"
#include "vkcdict/PoFile.h"
#include "vkcdict/PoText.h"

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

void AppendHeader(const std::string& dict, std::string* out) {
    const std::string date = PoDate();
    const std::string generator = std::string("vkcdict ") + VKC_VERSION;
    po::Entry header;
    header.id.present = true;
    header.str.emplace_back();
    header.str[0].present = true;
    header.str[0].value = "Project-Id-Version: " + FileName(dict) +
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
                   "duplicate key " + Quote(eng.data(), eng.size(), terminal) + " (first at " +
                       keptAt + "): merged");
            continue;
        }
        ++conflicts;
        d.Error(f.path, f.lines[i],
                "conflict: " + Quote(eng.data(), eng.size(), terminal) + " is translated " +
                    Quote(twin.chi.data(), twin.chi.size(), terminal) + " here and " +
                    Quote(kept.chi.data(), kept.chi.size(), terminal) + " at " + keptAt +
                    "; keeping that one (--context keeps both)");
    }
    return conflicts;
}

// Converts one text of record `i` into `*out`; reports undefined GBK.
bool Convert(const DictFile& f, uint32_t i, const char* section, std::string_view text,
             po::Edges edges, bool lossy, std::string* out, size_t* replaced, Diagnostics& d) {
    gbk::ConversionError error{};
    if (po::ToPoText(text, edges, lossy, out, &error, replaced)) return true;
    d.Error(f.path, f.lines[i],
            "record " + std::to_string(i) + ": invalid GBK in the " + section + " text at byte " +
                std::to_string(error.offset) + ": " +
                HexBytes(text.data() + error.offset, error.length) +
                (lossy ? " (ENG texts are never replaced)" : " (--lossy replaces it)"));
    return false;
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
    AppendHeader(o.dict, &po);
    po::Entry entry;
    entry.id.present = true;
    entry.str.emplace_back();
    entry.str[0].present = true;
    std::string remark;
    size_t replaced = 0;
    uint64_t invalid = 0;
    uint64_t written = 0;
    for (uint32_t i = 0; i < f.count(); ++i) {
        if (!sources[i].written) continue;
        const StringEntry& r = f.record(i);
        const std::string_view eng(r.eng, r.engLen);
        bool ok =
            Convert(f, i, "ENG", eng, po::Edges::kSymbols, false, &entry.id.value, &replaced, d);
        ok = Convert(f, i, "CHI", sources[i].chi, po::Edges::kSymbols, o.lossy, &entry.str[0].value,
                     &replaced, d) &&
             ok;
        ok = Convert(f, i, "Remark00", sources[i].remark, po::Edges::kBreaks, o.lossy, &remark,
                     &replaced, d) &&
             ok;
        if (!ok) {
            ++invalid;
            continue;
        }
        if (invalid != 0) continue;  // nothing will be written: only look for more
        if (o.templateOnly) entry.str[0].value.clear();
        CommentLines(remark, &entry.comments);
        entry.references.assign(1, o.dict + ":" + std::to_string(f.lines[i]));
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
    if (invalid != 0) {
        d.Summary("vkcdict po-export: " + Count(invalid, "record") +
                  " with invalid GBK; nothing written");
        return kFound;
    }

    out.Write(po);
    if (!out.Commit(d)) return kFailed;
    std::string summary = "vkcdict po-export: " + Count(f.count(), "record") + " read, " +
                          Count(written, "entry", "entries") + " written to " + o.output;
    if (conflicts != 0) summary += ", " + Count(conflicts, "conflict");
    if (replaced != 0) summary += ", " + Count(replaced, "undefined sequence") + " replaced";
    d.Summary(summary);
    return d.findings() != 0 ? kFound : kDone;
}

}  // namespace

}  // namespace vkcdict

void AddPoExportCommand(CLI::App& app) {
    using namespace vkcdict;
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command =
        app.add_subcommand("po-export", "Write a dictionary as a gettext PO file in UTF-8");
    command->add_option("DICT", options->dict, "dictionary text file")->required();
    command->add_option("-o,--output", options->output, "the PO file to write")
        ->type_name("FILE")
        ->required();
    command->add_flag("--template", options->templateOnly,
                      "leave every msgstr empty (a .pot template)");
    command->add_flag("--context", options->context,
                      "give records that share a key their record number as msgctxt");
    command->add_flag("--lossy", options->lossy,
                      "write U+FFFD for undefined GBK in CHI texts and remarks");
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    SetAction(command, [options] { return Export(*options); });
}
