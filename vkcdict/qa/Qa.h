// vkcdict qa: quality checks on the translations of dictionaries. Each check
// is a QaCheck of its own file, listed once in CheckList.h; the run makes
// one pass over the records of every dictionary, hands each record with a
// translation to every check that is on, and lets each check report after
// the pass what only the whole set shows (the same key translated twice).
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vkcdict/files/DictFile.h"
#include "vkcdict/qa/CodePattern.h"

namespace vkcdict {

class GlossaryIndex;
class ScriptDelimiters;

// One record as the checks see it. The views point into its dictionary,
// which outlives the run.
struct QaRecord {
    uint32_t file = 0;   // the dictionary's place on the command line
    uint32_t index = 0;  // the record's number in its dictionary
    uint64_t line = 0;   // the line of its record marker
    std::string_view eng;
    std::string_view chi;
    std::string_view remark;
    uint64_t skipped = 0;  // bit k: "qa-skip:" names check k in the remark
};

// What the checks may be asked to use. Null members are absent.
struct QaSettings {
    uint64_t maxBytes = 0;           // 0: no limit
    double maxRatio = 0;             // 0: no limit
    std::vector<CodePattern> codes;  // --code; the checks point into it
    bool positionalPrintf = false;   // the game's printf takes "%1$s"
    const GlossaryIndex* glossary = nullptr;
    const ScriptDelimiters* scripts = nullptr;
};

struct QaFinding {
    uint32_t file;
    uint32_t index;
    uint64_t line;
    uint32_t check;  // place in QaChecks()
    std::string message;
};

// Takes the findings of a run; a check reports through it. Findings are kept
// until Stream() is called, and written as they come from then on: the pass
// hands out records in order, so only the findings of checks that compare
// records (made before the pass) need keeping and sorting.
class QaReport {
public:
    // `terminal`: texts in messages are converted for a terminal (else
    // they stay bytes; JSON output converts whole messages when written).
    // `translated`: messages are in the user's language, for a person
    // reading the text lines; else in English, for a program (the JSON
    // lines, the editor's API), which then reads the same words in every
    // locale and can take a whole message for GBK with ASCII words.
    QaReport(const std::vector<DictFile>* files, bool terminal, size_t checks,
             bool translated = false)
        : files_(files), terminal_(terminal), translated_(translated), counts_(checks, 0) {}

    // A finding of the check that runs now about `record`, unless the
    // record's remark silences that check.
    void Add(const QaRecord& record, std::string message);
    // A message for Add(): `format` (marked for the catalogue, as Tr() is)
    // with its placeholders {1}, {2}, ... filled, translated or in English
    // as the report's reader wants it.
    std::string Tr(const char* format, std::initializer_list<std::string_view> args) const;
    // A text for a message: quoted, on one line, cut when long.
    std::string Show(std::string_view text) const;
    // "FILE:LINE" of a record, for messages that name another place.
    std::string Where(uint32_t file, uint32_t index) const;
    // The record as the pass handed it out, for checks that report after it.
    QaRecord RecordAt(uint32_t file, uint32_t index) const;

    void SetCheck(uint32_t check) { check_ = check; }
    // From now on findings are written to `out` (as text lines, "FILE:LINE:
    // warning: message [ID]", or as JSON objects, one a line) as they come;
    // the kept ones are put in file and record order, checks in table order,
    // for WriteKept().
    void Stream(bool json, FILE* out);
    // Writes the kept findings of `check` about the record (file, index).
    // Records must be asked for in order.
    void WriteKept(uint32_t file, uint32_t index, uint32_t check);
    // Hands over the kept findings (those added before Stream()), in the
    // order they were added, and keeps none.
    std::vector<QaFinding> TakeKept() {
        std::vector<QaFinding> kept;
        kept.swap(kept_);
        return kept;
    }
    // Findings so far, of one check and of all.
    uint64_t count(uint32_t check) const { return counts_[check]; }
    uint64_t total() const { return total_; }

private:
    void Write(const QaFinding& finding);

    const std::vector<DictFile>* files_;
    bool terminal_;
    bool translated_;
    uint32_t check_ = 0;
    std::vector<uint64_t> counts_;
    uint64_t total_ = 0;
    std::vector<QaFinding> kept_;
    size_t nextKept_ = 0;
    FILE* out_ = nullptr;  // set by Stream()
    bool json_ = false;
    std::string line_;  // the line being written
};

class QaCheck {
public:
    virtual ~QaCheck() = default;
    // Every record with a non-empty translation, once, in file order.
    virtual void Check(const QaRecord& record, QaReport& report) = 0;
    // True for a check that compares records with each other: it sees the
    // records before the other checks do and reports only in Finish(),
    // which is called after its last record.
    virtual bool ComparesRecords() const { return false; }
    virtual void Finish(QaReport&) {}
};

using QaFactory = std::unique_ptr<QaCheck> (*)(const QaSettings& settings);

struct QaCheckInfo {
    const char* id;
    bool byDefault;           // runs unless --check chooses
    const char* description;  // in English: Tr() it to show it
    QaFactory make;
};

// Every check, in the order of CheckList.h.
const std::vector<QaCheckInfo>& QaChecks();

// The "qa-skip:ID" mentions of a remark, as bits of QaChecks() places;
// several IDs may follow one "qa-skip:", separated by commas.
uint64_t SkippedChecks(std::string_view remark);

struct QaOptions {
    std::vector<std::string> files;
    std::vector<std::string> glossaries;
    std::vector<std::string> scripts;
    std::vector<std::string> codes;
    std::vector<std::string> check;
    std::vector<std::string> skip;
    uint64_t maxBytes = 0;
    double maxRatio = 0;
    std::string format = "text";
    bool listChecks = false;
    bool partial = false;
    bool positionalPrintf = false;
};

// Runs the checks: findings to `out`, load problems and the summary to
// `diagnostics`. Returns kDone, kFound with findings, kFailed for bad usage
// or an unreadable input.
int RunQa(const QaOptions& options, FILE* out, Diagnostics& diagnostics);

}  // namespace vkcdict
