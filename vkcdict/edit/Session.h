// The editor's state: one dictionary file, loaded by the library's loader,
// and everything the page asks about it. The loaded dictionary is the state:
// its pool holds the file's bytes (each text's closing CR replaced by the
// NUL that ends the text), so the file is never held twice.
//
// A commit changes only the bytes of the texts it edits. Before the file is
// replaced, the new bytes are loaded by the same loader and must give the
// same records with the edit applied; the file
// on disk must still hold the bytes this session loaded or last wrote; and
// the record must still be at the version the page edited. The new file is
// written through the one safe-write mechanism, durably (fileio/AtomicFile.h),
// and its temporary file is loaded and compared before the rename: once
// Commit() returns kSaved, the file holds the edit.
//
// Not thread-safe: the server calls it from one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vkcdict/cli/Diagnostics.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/qa/Qa.h"

namespace vkcdict {
class GlossaryIndex;
class RecordChecks;
class ScriptDelimiters;
}  // namespace vkcdict

namespace vkcdict::edit {

struct SessionOptions {
    std::string path;
    std::vector<std::string> glossaries;
    std::vector<std::string> scripts;
    std::vector<std::string> codes;
    uint64_t maxBytes = 0;  // 0: no limit
    double maxRatio = 0;    // 0: no limit
};

// Where a record's ENG text stands in a script given with --script.
struct Occurrence {
    std::string file;
    uint64_t line;
    std::string text;  // the whole line, as the script holds it (bytes)
};

enum class Section { kEng, kChi, kRemark };

// Which records a list shows. A search looks for `text` (bytes, GBK) in one
// section, ASCII case ignored in ENG, matching on character boundaries.
struct Query {
    enum Filter { kAll, kUntranslated, kFindings, kChanged };
    Filter filter = kAll;
    int check = -1;  // with kFindings: only this check's (a QaChecks() place)
    std::string text;
    Section section = Section::kEng;
};

enum class CommitStatus {
    kSaved,          // the file holds the edit
    kStale,          // the record changed since the page's version
    kChangedOnDisk,  // the file is not what this session last saw
    kRefused,        // the edit would break the file, or touches a read-only text
    kFailed,         // the file could not be written; nothing changed
};

struct CommitResult {
    CommitStatus status;
    std::string error;  // why, for every status but kSaved
};

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the dictionary, glossaries and scripts. False, reported, when any
    // cannot be read, or the dictionary does not load whole, holds no record
    // or lacks its closing line (saving it would lose what the loader did
    // not see), or a --code pattern is refused.
    bool Open(const SessionOptions& options, Diagnostics& diagnostics);

    const std::string& path() const { return options_.path; }
    uint32_t count() const { return files_[0].count(); }
    std::string_view Text(uint32_t i, Section section) const;
    uint64_t LineOf(uint32_t i) const { return files_[0].lines[i]; }
    uint32_t version(uint32_t i) const { return versions_[i]; }
    bool changed(uint32_t i) const { return changed_[i] != 0; }
    // Bits of the QaChecks() places that found something about record i.
    uint32_t findingChecks(uint32_t i) const { return checks_[i]; }
    uint64_t translated() const { return translated_; }
    uint64_t withFindings() const { return withFindings_; }
    uint64_t findingsOf(uint32_t check) const { return perCheck_[check]; }

    // The findings about record i, as vkcdict qa words them (GBK), in
    // check order.
    std::vector<QaFinding> FindingsOf(uint32_t i);
    // The findings record i would have with these texts (GBK), unsaved; the
    // checks that compare records are left out.
    std::vector<QaFinding> Preview(uint32_t i, std::string_view chi, std::string_view remark);
    // The byte budget of record i: the remark's max=N, else --max-bytes, else
    // --max-ratio times its ENG bytes; -1 for none.
    int64_t BudgetOf(uint32_t i) const;
    const GlossaryIndex* glossary() const;
    std::vector<Occurrence> OccurrencesOf(uint32_t i) const;

    // The records `query` shows, in file order; valid until the next call
    // or commit.
    const std::vector<uint32_t>& Matching(const Query& query);
    // The record whose lines hold `line` of the file (the last record for a
    // line beyond it).
    uint32_t RecordAtLine(uint64_t line) const;

    // Sets record i's CHI and remark texts (GBK, CR LF line breaks; null:
    // unchanged) if the record is at `version` and the result is a file that
    // loads as the same records with this edit.
    CommitResult Commit(uint32_t i, uint32_t version, const std::string* chi,
                        const std::string* remark);
    // Loads the file again as it now stands on disk; every record gets a new
    // version. False with the reason when it no longer loads whole (the
    // session then keeps what it had).
    bool Reload(std::string* error);

private:
    // Takes `file` as the session's dictionary; false, with the reason in
    // the words of the page (`forPage`: UTF-8) or of the console, when it
    // cannot be edited.
    bool Adopt(DictFile file, bool forPage, std::string* error);
    void CheckAll();
    void CheckOne(uint32_t i);
    void CompareAll();
    void Count();
    // Notes the file's size and time as this session left it.
    void Stamp();
    // True when the file on disk is as this session left it: the same size,
    // time and file number, and, when the time is too recent to tell, the
    // same bytes.
    bool DiskHoldsOurs(std::string* error) const;

    SessionOptions options_;
    QaSettings settings_;
    std::vector<DictFile> files_;  // one: the dictionary; qa messages name its places
    std::unique_ptr<GlossaryIndex> glossary_;
    std::unique_ptr<ScriptDelimiters> delimiters_;
    std::unique_ptr<RecordChecks> run_;
    std::unordered_map<std::string, std::vector<Occurrence>> occurrences_;
    std::vector<uint32_t> versions_;
    std::vector<uint8_t> changed_;
    // Per record: bits of the checks that look at it alone (low half) and of
    // those that compare it with others (high half).
    std::vector<uint32_t> checks_;
    // Findings of the checks that compare records, by record.
    std::unordered_map<uint32_t, std::vector<QaFinding>> compared_;
    uint32_t nextVersion_ = 1;
    uintmax_t stampSize_ = 0;
    std::filesystem::file_time_type stampTime_;
    uint64_t stampNumber_ = 0;
    bool stampRecent_ = true;
    uint64_t translated_ = 0;
    uint64_t withFindings_ = 0;
    std::vector<uint64_t> perCheck_;
    // The last query's answer.
    bool cached_ = false;
    Query cachedQuery_;
    std::vector<uint32_t> matching_;
};

}  // namespace vkcdict::edit
