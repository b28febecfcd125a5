// vkcdict qa DICT... [--glossary FILE]... [--script FILE]... [--code PATTERN]...
//     [--max-bytes N] [--max-ratio R] [--positional-printf] [--check ID,...]
//     [--skip ID,...] [--format text|json] [--partial] | --list-checks
//
// Loads every input first (any unreadable one ends the run with status 2),
// then passes once over the records with a translation, handing each to the
// checks that are on, and writes the findings in file and record order on
// stdout; the summary, with counts per check, goes to stderr.
#include "vkcdict/qa/Qa.h"

#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/i18n/Translate.h"
#include "vkcdict/qa/Glossary.h"
#include "vkcdict/qa/Scripts.h"

namespace vkcdict {

namespace {

// The checks that `options` turns on, as bits of QaChecks() places; false
// (reported) for an unknown ID.
bool ChosenChecks(const QaOptions& options, Diagnostics& d, uint64_t* on) {
    const std::vector<QaCheckInfo>& checks = QaChecks();
    auto bit = [&checks, &d](const std::string& id, uint64_t* bits) {
        for (size_t k = 0; k < checks.size(); ++k) {
            if (id == checks[k].id) {
                *bits |= uint64_t{1} << k;
                return true;
            }
        }
        d.Error("", 0, Tr("qa: unknown check \"{1}\" (vkcdict qa --list-checks lists them)", {id}));
        return false;
    };
    *on = 0;
    for (size_t k = 0; k < checks.size(); ++k) {
        if (options.check.empty() && checks[k].byDefault) *on |= uint64_t{1} << k;
    }
    for (const std::string& id : options.check) {
        if (!bit(id, on)) return false;
    }
    uint64_t skip = 0;
    for (const std::string& id : options.skip) {
        if (!bit(id, &skip)) return false;
    }
    *on &= ~skip;
    return true;
}

// Opens a dictionary or glossary; one the loader does not load whole is
// refused unless `partial`.
bool Open(const std::string& path, bool partial, Diagnostics& d, DictFile* file) {
    return OpenDictionary(path, PolicyFor(partial), d, file);
}

int ListChecks(FILE* out) {
    for (const QaCheckInfo& check : QaChecks()) {
        std::fprintf(out, "%-18s %s\n", check.id, Tr(check.description));
    }
    return std::fflush(out) == 0 ? kDone : kFailed;
}

}  // namespace

int RunQa(const QaOptions& options, FILE* out, Diagnostics& d) {
    if (options.listChecks) return ListChecks(out);
    if (options.files.empty()) {
        d.Error("", 0, Tr("qa: no dictionary given"));
        return kFailed;
    }
    uint64_t on = 0;
    if (!ChosenChecks(options, d, &on)) return kFailed;

    QaSettings settings;
    settings.maxBytes = options.maxBytes;
    settings.maxRatio = options.maxRatio;
    settings.positionalPrintf = options.positionalPrintf;
    settings.codes.resize(options.codes.size());
    for (size_t k = 0; k < options.codes.size(); ++k) {
        std::string error;
        if (!settings.codes[k].Compile(options.codes[k], &error)) {
            d.Error("", 0, Tr("qa: --code \"{1}\" cannot be used: {2}", {options.codes[k], error}));
            return kFailed;
        }
    }
    std::vector<DictFile> files(options.files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!Open(options.files[i], options.partial, d, &files[i])) return kFailed;
    }
    GlossaryIndex glossary;
    for (const std::string& path : options.glossaries) {
        DictFile file;
        if (!Open(path, options.partial, d, &file)) return kFailed;
        glossary.Add(file, d);
    }
    if (!options.glossaries.empty()) settings.glossary = &glossary;
    ScriptDelimiters scripts;
    for (const std::string& path : options.scripts) {
        WorkingOn working(path);
        std::string error;
        if (!scripts.Add(path, &error)) {
            d.Error(path, 0, ReadFailure(error));
            return kFailed;
        }
    }
    if (!options.scripts.empty()) settings.scripts = &scripts;

    const std::vector<QaCheckInfo>& table = QaChecks();
    std::vector<std::pair<uint32_t, std::unique_ptr<QaCheck>>> checks;
    for (uint32_t k = 0; k < table.size(); ++k) {
        if ((on >> k) & 1) checks.emplace_back(k, table[k].make(settings));
    }

    const bool json = options.format == "json";
    QaReport report(&files, !json && IsTerminal(out), table.size(), !json);
    // Each record with a translation, as the checks see it.
    const auto forEachRecord = [&files](auto visit) {
        QaRecord r;
        for (uint32_t f = 0; f < files.size(); ++f) {
            const DictFile& file = files[f];
            for (uint32_t i = 0; i < file.count(); ++i) {
                const StringEntry& e = file.record(i);
                if (e.chiLen == 0) continue;
                r = {f,
                     i,
                     file.lines[i],
                     std::string_view(e.eng, e.engLen),
                     std::string_view(e.chi, e.chiLen),
                     std::string_view(e.remark, e.remarkLen),
                     0};
                if (e.remarkLen != 0) r.skipped = SkippedChecks(r.remark);
                visit(r);
            }
        }
    };
    // The checks that compare records see them first and report at once, so
    // that the pass can write every other finding as it is made, in order.
    bool compare = false;
    for (auto& [k, check] : checks) compare = compare || check->ComparesRecords();
    if (compare) {
        forEachRecord([&](const QaRecord& r) {
            for (auto& [k, check] : checks) {
                if (check->ComparesRecords()) check->Check(r, report);
            }
        });
        for (auto& [k, check] : checks) {
            report.SetCheck(k);
            if (check->ComparesRecords()) check->Finish(report);
        }
    }
    // A run may write a finding for every record: in large pieces, unless a
    // person reads them as they come. Nothing was written to `out` yet; the
    // buffer outlives every stream (the C library ignores a size without one).
    static char buffer[size_t{1} << 20];
    if (!IsTerminal(out)) std::setvbuf(out, buffer, _IOFBF, sizeof(buffer));
    report.Stream(json, out);
    uint64_t records = 0;
    forEachRecord([&](const QaRecord& r) {
        ++records;
        for (auto& [k, check] : checks) {
            report.SetCheck(k);
            if (check->ComparesRecords()) {
                report.WriteKept(r.file, r.index, k);
            } else {
                check->Check(r, report);
            }
        }
    });

    const bool written = std::fflush(out) == 0 && std::ferror(out) == 0;
    std::string summary = Tr("vkcdict qa: {1}, {2} checked, {3}",
                             {CountOf(files.size(), "file"), CountOf(records, "translated record"),
                              CountOf(report.total(), "finding")});
    // The counts per check follow, by check ID (never translated).
    std::string perCheck;
    for (size_t k = 0; k < table.size(); ++k) {
        if (report.count(k) != 0) {
            perCheck += (perCheck.empty() ? "" : ", ") + std::string(table[k].id) + " " +
                        std::to_string(report.count(k));
        }
    }
    d.Summary(perCheck.empty() ? summary : Tr("{1}: {2}", {summary, perCheck}));
    if (!written) {
        d.Error("", 0, Tr("qa: cannot write the findings"));
        return kFailed;
    }
    return report.total() == 0 ? kDone : kFound;
}

void AddQaCommand(Command& command) {
    auto options = std::make_shared<QaOptions>();
    command.Purpose(
        "Check translations: codes, numbers, glossary terms, length, punctuation and more");
    command.Arguments("DICT", &options->files, "dictionary text files");
    command
        .Options("--glossary", &options->glossaries,
                 "a dictionary text file of terms and their translations (repeatable)")
        .TypeName("FILE");
    command
        .Options("--script", &options->scripts,
                 "a game script that tells which delimiters each text stands between "
                 "(repeatable)")
        .TypeName("SCRIPT");
    command
        .Options("--code", &options->codes,
                 "a regular expression for the game's own codes: ECMAScript's literals, "
                 "escapes, classes, ^ $, groups, | and quantifiers, without "
                 "backreferences or lookaround (repeatable)")
        .TypeName("PATTERN");
    command.Count("--max-bytes", &options->maxBytes, "longest translation in bytes (0: no limit)")
        .TypeName("N");
    command
        .Ratio("--max-ratio", &options->maxRatio,
               "longest translation as a multiple of its ENG text's bytes (0: no limit)")
        .TypeName("R");
    command.Options("--check", &options->check, "run only these checks", true).TypeName("ID");
    command.Options("--skip", &options->skip, "leave these checks out", true).TypeName("ID");
    command.Option("--format", &options->format, "text (default) or json, one finding a line")
        .TypeName("FORMAT")
        .OneOf({"text", "json"});
    command.Flag("--positional-printf", &options->positionalPrintf,
                 "the game's printf takes numbered arguments (%1$s): codes compares printf "
                 "forms by the argument they take, so they may be reordered");
    command.Flag("--list-checks", &options->listChecks, "print each check's ID and purpose");
    AddPartialFlag(command, &options->partial);
    command.Action([options] {
        Diagnostics d;
        return RunQa(*options, stdout, d);
    });
}

}  // namespace vkcdict
