// vkcdict subst DICT SCRIPT... (-o OUT | -d DIR | --in-place [--backup SUFFIX]) [--image]
//
// Loads the dictionary once and rewrites each script by exactly the rule of
// vkcsubst (vkcdict/files/ScriptTexts.h): the same bytes. "-" reads a script from
// stdin or writes to stdout. Each output is written safely (vkcdict/files/Output.h);
// a script that cannot be read or written is reported and the others go on.
// On a terminal a progress bar runs across the scripts; the summary, as stats
// prints it, ends the run on stderr.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fileio/AtomicFile.h"
#include "vkcdict/Commands.h"
#include "vkcdict/Tally.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/FileFormatHints.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/files/LoadedDict.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

namespace fs = std::filesystem;

// A regular file that `path` itself names (no link, folder or device).
bool IsPlainFile(const std::string& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() == fs::file_type::regular;
}

struct SubstOptions {
    std::string dict;
    std::vector<std::string> scripts;
    std::string output;
    std::string directory;
    bool inPlace = false;
    std::string backup;
    bool backupGiven = false;
    bool image = false;
    bool partial = false;
    bool allowNonGbk = false;
};

// Where each script's output goes; false, reported, when the choice of
// outputs is not usable.
bool PlanOutputs(const SubstOptions& o, Diagnostics& d, std::vector<std::string>* targets) {
    const int modes = !o.output.empty() + !o.directory.empty() + o.inPlace;
    if (modes != 1) {
        d.Error("", 0, Tr("subst: give exactly one of -o OUT, -d DIR and --in-place"));
        return false;
    }
    if (!o.backup.empty() && !o.inPlace) {
        d.Error("", 0, Tr("subst: --backup goes with --in-place"));
        return false;
    }
    if (!o.output.empty() && o.scripts.size() != 1) {
        d.Error("", 0, Tr("subst: -o takes one script; use -d DIR or --in-place for several"));
        return false;
    }
    if (o.backupGiven && o.backup.empty()) {
        d.Error("", 0,
                Tr("subst: --backup needs a suffix (an empty one would name the script itself)"));
        return false;
    }
    std::vector<std::string> inputs = o.scripts;
    inputs.push_back(o.dict);
    // A script given twice would be translated twice, and with --backup its
    // original overwritten by the first translation.
    for (size_t i = 0; i < o.scripts.size(); ++i) {
        if (o.scripts[i] == "-") continue;
        for (size_t k = 0; k < i; ++k) {
            if (o.scripts[k] != "-" && fileio::SameFile(o.scripts[k], o.scripts[i])) {
                d.Error(o.scripts[i], 0, Tr("given twice (also as {1})", {o.scripts[k]}));
                return false;
            }
        }
        if (o.inPlace && fileio::SameFile(o.scripts[i], o.dict)) {
            d.Error(o.scripts[i], 0, Tr("refusing to translate the dictionary in place"));
            return false;
        }
    }
    for (const std::string& script : o.scripts) {
        if (script == "-" && o.output.empty()) {
            d.Error("", 0, Tr("subst: a script from stdin (-) needs -o"));
            return false;
        }
        if (!o.output.empty()) {
            targets->push_back(o.output);
        } else if (o.inPlace) {
            targets->push_back(script);
            if (!o.backup.empty() && !OutputIsNoInput(script + o.backup, inputs, d)) return false;
        } else {
            targets->push_back((fs::path(o.directory) / fs::path(script).filename()).string());
            for (size_t k = 0; k + 1 < targets->size(); ++k) {
                if (fileio::SameFile((*targets)[k], targets->back())) {
                    d.Error(targets->back(), 0,
                            Tr("two scripts would be written here ({1} and {2})",
                               {o.scripts[k], script}));
                    return false;
                }
            }
        }
        if (!o.inPlace && !OutputIsNoInput(targets->back(), inputs, d)) return false;
    }
    if (!o.directory.empty()) {
        std::error_code error;
        fs::create_directories(o.directory, error);
        if (error) {
            d.Error(o.directory, 0, Tr("cannot create the folder: {1}", {error.message()}));
            return false;
        }
    }
    return true;
}

void ShowProgress(size_t done, size_t total, const std::string& name) {
    constexpr size_t kWidth = 30;
    const size_t filled = total == 0 ? kWidth : done * kWidth / total;
    std::string bar = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "] " +
                      std::to_string(done) + "/" + std::to_string(total) + " " +
                      ShowName(name).substr(0, 40);
    bar += std::string(bar.size() < 90 ? 90 - bar.size() : 0, ' ');
    std::fputs(bar.c_str(), stderr);
    std::fflush(stderr);
}

void ClearProgress() {
    std::fputs(("\r" + std::string(90, ' ') + "\r").c_str(), stderr);
}

// Keeps the script's bytes as `name` before it is rewritten in place. The
// backup is a new file, never written through a link that stands at its
// name. An existing backup is kept: it holds the oldest original (a run that
// was interrupted, or one before the dictionary changed), which this run's
// script, perhaps already translated, must not overwrite. False, reported,
// when the script must be left alone: no backup could be made, or something
// other than a plain file (a link, a folder) holds the name.
bool Backup(const std::string& script, const std::string& name, const std::string& bytes,
            Diagnostics& d) {
    SafeOutput copy;
    if (copy.Open(name, d, script, true)) {
        copy.Write(bytes);
        return copy.Commit(d);
    }
    if (!copy.exists()) return false;
    if (!IsPlainFile(name)) {
        d.Error(name, 0,
                Tr("the backup's name is taken by a link or something other than a file; {1} is "
                   "left as it was",
                   {script}));
        return false;
    }
    d.Warning(name, 0,
              Tr("the existing backup is kept (it holds an earlier original of {1}); this run's "
                 "script is not backed up",
                 {script}));
    return true;
}

bool Rewrite(VKCStringDict* dict, const std::string& script, const std::string& target,
             const std::string& backup, Diagnostics& d, Tally* tally) {
    WorkingOn working(script);
    std::string bytes;
    std::string error;
    if (!ReadInput(script, &bytes, &error)) {
        d.Error(script, 0, ReadFailure(error));
        return false;
    }
    if (!backup.empty() && !Backup(script, script + backup, bytes, d)) return false;
    SafeOutput out;
    if (!out.Open(target, d)) return false;
    WriteSubstitution(dict, bytes, out,
                      [tally](ScriptWalk&, const ScriptText& t) { tally->Count(t); });
    return out.Commit(d);
}

// Whether the regular file at `path` was read (up to the dictionary size
// limit), with whether it holds a record marker line in `*holds`.
bool ReadMarkerLine(const std::string& path, bool* holds) {
    FileBlock block;
    bool tooLong = false;
    std::string error;
    if (path == "-" || !ReadBlock(path, MaxDictionaryBytes(), &block, &tooLong, &error) ||
        tooLong) {
        return false;
    }
    *holds = HoldsRecordMarkerLine(block.view());
    return true;
}

// The command with the dictionary and the first script swapped, as the note
// on swapped arguments shows it.
std::string SwappedCommand(const SubstOptions& o) {
    std::string command = "vkcdict subst " + o.scripts[0] + " " + o.dict;
    for (size_t i = 1; i < o.scripts.size(); ++i) command += " " + o.scripts[i];
    if (!o.output.empty()) command += " -o " + o.output;
    if (!o.directory.empty()) command += " -d " + o.directory;
    if (o.inPlace) command += " --in-place";
    if (o.backupGiven) command += " --backup " + o.backup;
    if (o.partial) command += " --partial";
    if (o.allowNonGbk) command += " --allow-non-gbk";
    return command;
}

// A text dictionary that gave no record may be a script given first: says so
// when it holds no record marker line and the first script does.
void NoteSwappedArguments(const SubstOptions& o, Diagnostics& d) {
    bool dictHolds = true, scriptHolds = false;
    if (o.image || !ReadMarkerLine(o.dict, &dictHolds) || dictHolds ||
        !ReadMarkerLine(o.scripts[0], &scriptHolds) || !scriptHolds) {
        return;
    }
    d.Note(o.dict, 0,
           Tr("no line here begins with the record marker, but the first script holds record "
              "markers: the dictionary comes first, as in: {1}",
              {SwappedCommand(o)}));
}

int RunSubst(const SubstOptions& options) {
    Diagnostics d;
    std::vector<std::string> targets;
    if (!PlanOutputs(options, d, &targets)) return kFailed;
    LoadedDict dict;
    const bool opened = dict.Open(options.dict, options.image, PolicyFor(options.partial), d,
                                  WritingPolicy(options.allowNonGbk));
    if (!opened || dict.dict()->count == 0) NoteSwappedArguments(options, d);
    if (!opened) return kFailed;

    const bool progress = StderrIsTerminal();
    bool failed = false;
    std::vector<Tally> tallies;
    for (size_t i = 0; i < options.scripts.size(); ++i) {
        if (progress) ShowProgress(i, options.scripts.size(), options.scripts[i]);
        tallies.emplace_back();
        tallies.back().name = options.scripts[i];
        if (!Rewrite(dict.dict(), options.scripts[i], targets[i], options.backup, d,
                     &tallies.back())) {
            failed = true;
            tallies.pop_back();
        }
    }
    if (progress) ClearProgress();
    PrintTallies(tallies, false, stderr);
    return failed ? kFailed : kDone;
}

}  // namespace

void AddSubstCommand(Command& command) {
    auto options = std::make_shared<SubstOptions>();
    command.Purpose("Translate scripts as vkcsubst does, many at a time");
    command.Argument("DICT", &options->dict, "dictionary text file (or image)").Required();
    command.Arguments("SCRIPT", &options->scripts, "game scripts (- for stdin)").Required();
    command.Option("-o,--output", &options->output, "output of the one script (- for stdout)")
        .TypeName("FILE");
    command
        .Option("-d,--directory", &options->directory,
                "folder for the outputs, each named as its script")
        .TypeName("DIR");
    command.Flag("--in-place", &options->inPlace, "replace each script by its translation");
    command
        .Option("--backup", &options->backup,
                "with --in-place: keep each script as SCRIPT+SUFFIX first")
        .TypeName("SUFFIX")
        .OnEach([options](const std::string&) { options->backupGiven = true; });
    command.Flag("--image", &options->image,
                 "DICT is a binary image (never detected by its content)");
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    command.Action([options] { return RunSubst(*options); });
}

}  // namespace vkcdict
