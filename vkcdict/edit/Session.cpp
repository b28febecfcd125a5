#include "vkcdict/edit/Session.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "dict/RecordLines.h"
#include "dict/ScriptScanner.h"
#include "fileio/AtomicFile.h"
#include "vkcdict/edit/PageText.h"
#include "vkcdict/files/DictWriter.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/files/ScriptTexts.h"
#include "vkcdict/i18n/SystemText.h"
#include "vkcdict/i18n/Translate.h"
#include "vkcdict/qa/Glossary.h"
#include "vkcdict/qa/RecordChecks.h"
#include "vkcdict/qa/Scripts.h"
#include "vkcdict/qa/Text.h"

namespace vkcdict::edit {

namespace {

constexpr size_t kOccurrencesPerText = 20;
constexpr size_t kShownLineBytes = 400;

// The file's bytes, as pieces in order: the pool holds them but for the CR
// that each text's NUL replaces. `piece(data, size)` returns false to stop.
template <class Piece>
bool ForEachPiece(const VKCStringDict& dict, Piece piece) {
    const char* from = dict.pool;
    for (uint32_t i = 0; i < dict.count; ++i) {
        const StringEntry& e = dict.entries[i];
        for (const char* end : {e.eng + e.engLen, e.chi + e.chiLen, e.remark + e.remarkLen}) {
            if (!piece(from, static_cast<size_t>(end - from)) || !piece("\r", 1)) return false;
            from = end + 1;
        }
    }
    return piece(from, static_cast<size_t>(dict.pool + dict.dataSize - from));
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// True when `text` holds `needle` (ASCII letters lowered) where a character
// starts, ASCII case ignored.
bool HoldsFolded(std::string_view text, std::string_view needle) {
    if (needle.empty()) return true;
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c | 0x20 : c; };
    const unsigned char first = static_cast<unsigned char>(needle[0]);
    for (size_t at = 0; at + needle.size() <= text.size(); at += CharAt(text, at)) {
        if (lower(static_cast<unsigned char>(text[at])) != first) continue;
        size_t k = 1;
        while (k < needle.size() && lower(static_cast<unsigned char>(text[at + k])) ==
                                        static_cast<unsigned char>(needle[k])) {
            ++k;
        }
        if (k == needle.size()) return true;
    }
    return false;
}

// A marker line that a text must not hold: any line starting with the
// markers' common word, which the loader could take for a marker.
bool HoldsMarkerLine(std::string_view text) {
    constexpr std::string_view kWord = "mirok_res_";
    for (size_t at = text.find(kWord); at != std::string_view::npos;
         at = text.find(kWord, at + 1)) {
        if (at == 0 || text[at - 1] == '\n') return true;
    }
    return false;
}

// The file's number on its device (POSIX), so that a file put in its place
// (git, most editors) differs whatever its time; 0 on Windows.
uint64_t FileNumber(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return 0;
#else
    struct stat facts;
    return ::stat(path.c_str(), &facts) == 0 ? static_cast<uint64_t>(facts.st_ino) : 0;
#endif
}

}  // namespace

Session::Session() = default;
Session::~Session() = default;

bool Session::Open(const SessionOptions& options, Diagnostics& d) {
    options_ = options;
    settings_ = QaSettings();
    settings_.maxBytes = options.maxBytes;
    settings_.maxRatio = options.maxRatio;
    settings_.codes.resize(options.codes.size());
    for (size_t k = 0; k < options.codes.size(); ++k) {
        std::string error;
        if (!settings_.codes[k].Compile(options.codes[k], &error)) {
            d.Error("", 0,
                    Tr("edit: --code \"{1}\" cannot be used: {2}", {options.codes[k], error}));
            return false;
        }
    }
    DictFile file;
    if (!OpenDictionary(options.path, LoadPolicy::kWhole, d, &file, EncodingPolicy::kRefuse)) {
        // What kept it from opening is reported; a file that loads in part
        // gets told why the editor does not take the part.
        if (file.dict == nullptr || file.size == 0 || file.complete || file.notGbk) return false;
        d.Error(options.path, 0,
                Tr("not opened for editing: saving it would lose what the loader does not load "
                   "(vkcdict check {1} tells what is wrong)",
                   {options.path}));
        return false;
    }
    std::string error;
    if (!Adopt(std::move(file), false, &error)) {
        d.Error(options.path, 0, error);
        return false;
    }
    if (!options.glossaries.empty()) {
        glossary_ = std::make_unique<GlossaryIndex>();
        for (const std::string& path : options.glossaries) {
            DictFile g;
            if (!OpenDictionary(path, LoadPolicy::kWhole, d, &g)) return false;
            glossary_->Add(g, d);
        }
        settings_.glossary = glossary_.get();
    }
    if (!options.scripts.empty()) {
        delimiters_ = std::make_unique<ScriptDelimiters>();
        for (const std::string& path : options.scripts) {
            WorkingOn working(path);
            if (!delimiters_->Add(path, &error)) {
                d.Error(path, 0, ReadFailure(error));
                return false;
            }
            FileBlock block;
            bool tooLong = false;
            if (!ReadBlock(path, size_t{1} << 31, &block, &tooLong, &error) || tooLong) {
                d.Error(path, 0, tooLong ? Tr("too large to show its lines") : ReadFailure(error));
                return false;
            }
            const std::string_view bytes = block.view();
            ScriptWalk walk(nullptr, bytes);
            ScriptText t;
            while (walk.Next(&t)) {
                if (!t.lookedUp) continue;
                std::vector<Occurrence>& found = occurrences_[std::string(t.key)];
                if (found.size() >= kOccurrencesPerText) continue;
                const size_t at =
                    static_cast<size_t>(reinterpret_cast<const char*>(t.text.begin) - bytes.data());
                const size_t start =
                    bytes.rfind('\n', at) == std::string_view::npos ? 0 : bytes.rfind('\n', at) + 1;
                size_t end = bytes.find('\n', at);
                if (end == std::string_view::npos) end = bytes.size();
                std::string line(bytes.substr(start, std::min(end - start, kShownLineBytes)));
                if (!line.empty() && line.back() == '\r') line.pop_back();
                found.push_back({path, walk.LineOf(t.text.begin), std::move(line)});
            }
        }
        settings_.scripts = delimiters_.get();
    }
    Stamp();
    run_ = std::make_unique<RecordChecks>(settings_, &files_);
    versions_.assign(count(), nextVersion_++);
    changed_.assign(count(), 0);
    CheckAll();
    return true;
}

bool Session::Adopt(DictFile file, bool forPage, std::string* error) {
    using Words = std::string (*)(const char*, std::initializer_list<std::string_view>);
    const Words Tr = forPage ? Words(page::Tr) : Words(vkcdict::Tr);
    if (!file.complete || file.count() == 0) {
        *error =
            Tr("it does not load whole (vkcdict check {1} tells what is wrong)", {options_.path});
        return false;
    }
    if (!file.closed) {
        *error =
            Tr("not opened for editing: no closing line \"{1}\" after the last record, "
               "so the file may have been cut short (vkcdict check {2} tells more)",
               {"mirok_res_All_End", options_.path});
        return false;
    }
    file.path = options_.path;
    if (files_.empty()) files_.emplace_back();
    files_[0] = std::move(file);
    return true;
}

std::string_view Session::Text(uint32_t i, Section section) const {
    const StringEntry& e = files_[0].record(i);
    switch (section) {
        case Section::kEng:
            return std::string_view(e.eng, e.engLen);
        case Section::kChi:
            return std::string_view(e.chi, e.chiLen);
        case Section::kRemark:
            break;
    }
    return std::string_view(e.remark, e.remarkLen);
}

void Session::CheckOne(uint32_t i) {
    uint32_t bits = 0;
    for (const QaFinding& f : run_->Check(RecordOf(files_[0], 0, i))) bits |= 1u << f.check;
    checks_[i] = (checks_[i] & 0xFFFF0000u) | bits;
}

void Session::CompareAll() {
    for (const auto& [i, found] : compared_) {
        if (i < checks_.size()) checks_[i] &= 0xFFFFu;
    }
    compared_.clear();
    for (QaFinding& f : run_->CompareAll()) {
        checks_[f.index] |= 1u << (16 + f.check);
        compared_[f.index].push_back(std::move(f));
    }
}

void Session::Count() {
    translated_ = 0;
    withFindings_ = 0;
    perCheck_.assign(QaChecks().size(), 0);
    for (uint32_t i = 0; i < count(); ++i) {
        translated_ += files_[0].record(i).chiLen != 0;
        const uint32_t bits = findingChecks(i);
        const uint32_t both = (bits & 0xFFFFu) | (bits >> 16);
        withFindings_ += both != 0;
        for (uint32_t k = 0; k < perCheck_.size(); ++k) perCheck_[k] += (both >> k) & 1;
    }
}

void Session::CheckAll() {
    checks_.assign(count(), 0);
    for (uint32_t i = 0; i < count(); ++i) CheckOne(i);
    CompareAll();
    Count();
    cached_ = false;
}

std::vector<QaFinding> Session::FindingsOf(uint32_t i) {
    std::vector<QaFinding> found = run_->Check(RecordOf(files_[0], 0, i));
    const auto compared = compared_.find(i);
    if (compared != compared_.end()) {
        found.insert(found.end(), compared->second.begin(), compared->second.end());
        std::stable_sort(found.begin(), found.end(),
                         [](const QaFinding& a, const QaFinding& b) { return a.check < b.check; });
    }
    return found;
}

std::vector<QaFinding> Session::Preview(uint32_t i, std::string_view chi, std::string_view remark) {
    QaRecord r = RecordOf(files_[0], 0, i);
    r.chi = chi;
    r.remark = remark;
    r.skipped = remark.empty() ? 0 : SkippedChecks(remark);
    return run_->Check(r);
}

int64_t Session::BudgetOf(uint32_t i) const {
    const int64_t remark = RemarkBudget(Text(i, Section::kRemark));
    if (remark >= 0) return remark;
    if (options_.maxBytes != 0) return static_cast<int64_t>(options_.maxBytes);
    if (options_.maxRatio > 0) {
        return static_cast<int64_t>(options_.maxRatio *
                                    static_cast<double>(Text(i, Section::kEng).size()));
    }
    return -1;
}

const GlossaryIndex* Session::glossary() const {
    return glossary_.get();
}

std::vector<Occurrence> Session::OccurrencesOf(uint32_t i) const {
    const auto it = occurrences_.find(std::string(TrimBlanks(Text(i, Section::kEng))));
    return it == occurrences_.end() ? std::vector<Occurrence>() : it->second;
}

const std::vector<uint32_t>& Session::Matching(const Query& q) {
    if (cached_ && q.filter == cachedQuery_.filter && q.check == cachedQuery_.check &&
        q.text == cachedQuery_.text && q.section == cachedQuery_.section) {
        return matching_;
    }
    std::string folded = q.text;
    if (q.section == Section::kEng) {
        for (char& c : folded) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
        }
    }
    matching_.clear();
    for (uint32_t i = 0; i < count(); ++i) {
        const uint32_t bits = findingChecks(i);
        const uint32_t both = (bits & 0xFFFFu) | (bits >> 16);
        switch (q.filter) {
            case Query::kAll:
                break;
            case Query::kUntranslated:
                if (files_[0].record(i).chiLen != 0) continue;
                break;
            case Query::kFindings:
                if (q.check >= 0 ? ((both >> q.check) & 1) == 0 : both == 0) continue;
                break;
            case Query::kChanged:
                if (!changed_[i]) continue;
                break;
        }
        if (!folded.empty()) {
            const std::string_view text = Text(i, q.section);
            const bool hit = q.section == Section::kEng
                                 ? HoldsFolded(text, folded)
                                 : FindText(text, folded) != std::string_view::npos;
            if (!hit) continue;
        }
        matching_.push_back(i);
    }
    cached_ = true;
    cachedQuery_ = q;
    return matching_;
}

uint32_t Session::RecordAtLine(uint64_t line) const {
    const std::vector<uint32_t>& lines = files_[0].lines;
    const auto after = std::upper_bound(lines.begin(), lines.end(), line);
    return after == lines.begin() ? 0 : static_cast<uint32_t>(after - lines.begin() - 1);
}

void Session::Stamp() {
    std::error_code error;
    stampSize_ = std::filesystem::file_size(options_.path, error);
    stampTime_ = std::filesystem::last_write_time(options_.path, error);
    stampNumber_ = FileNumber(options_.path);
    // A change within the same tick of the modification time keeps the
    // time, and a tick may be long: ext4 and NTFS tick in nanoseconds, but
    // the C runtime under MinGW reads whole seconds and FAT keeps two. So
    // while the last write is that recent, the bytes are compared as well.
    stampRecent_ = error || std::filesystem::file_time_type::clock::now() - stampTime_ <
                                std::chrono::seconds(3);
}

bool Session::DiskHoldsOurs(std::string* error) const {
    *error = page::Tr("the file changed on disk since it was loaded or last saved");
    std::error_code failed;
    if (std::filesystem::file_size(options_.path, failed) != stampSize_ ||
        std::filesystem::last_write_time(options_.path, failed) != stampTime_ || failed ||
        FileNumber(options_.path) != stampNumber_) {
        return false;
    }
    if (!stampRecent_) return true;
    FileBlock block;
    bool tooLong = false;
    std::string why;
    if (!ReadBlock(options_.path, MaxDictionaryBytes(), &block, &tooLong, &why)) {
        *error = page::Tr("the file cannot be read now: {1}", {SystemTextUtf8(why)});
        return false;
    }
    const VKCStringDict& dict = *files_[0].dict;
    size_t at = 0;
    const bool same = !tooLong && ForEachPiece(dict, [&](const char* data, size_t size) {
        if (at + size > block.size || std::memcmp(block.data.get() + at, data, size) != 0) {
            return false;
        }
        at += size;
        return true;
    });
    return same && at == block.size;
}

CommitResult Session::Commit(uint32_t i, uint32_t version, const std::string* chi,
                             const std::string* remark) {
    if (i >= count()) {
        return {CommitStatus::kRefused, page::Tr("there is no record {1}", {std::to_string(i)})};
    }
    if (versions_[i] != version) {
        return {CommitStatus::kStale,
                page::Tr("the record was changed meanwhile (in another tab)")};
    }
    const std::string_view oldChi = Text(i, Section::kChi);
    const std::string_view oldRemark = Text(i, Section::kRemark);
    struct Edit {
        const std::string* text;
        std::string_view old;
        int section;
    };
    for (const Edit& e :
         {Edit{chi, oldChi, kChiSection}, Edit{remark, oldRemark, kRemarkSection}}) {
        if (e.text == nullptr || *e.text == e.old) continue;
        const bool isChi = e.section == kChiSection;
        const std::string readOnly = ReadOnlyReason(e.old);
        if (!readOnly.empty()) {
            return {CommitStatus::kRefused,
                    isChi ? page::Tr("the CHI text is read-only: {1}", {readOnly})
                          : page::Tr("the remark text is read-only: {1}", {readOnly})};
        }
        if (HoldsMarkerLine(*e.text)) {
            return {CommitStatus::kRefused,
                    isChi
                        ? page::Tr("the CHI text would hold a marker line ({1})", {"mirok_res_..."})
                        : page::Tr("the remark text would hold a marker line ({1})",
                                   {"mirok_res_..."})};
        }
        if (!Storable(*e.text, e.section)) {
            return {CommitStatus::kRefused,
                    isChi ? page::Tr("the CHI text cannot be stored as it is")
                          : page::Tr("the remark text cannot be stored as it is")};
        }
    }
    const std::string_view newChi = chi != nullptr ? std::string_view(*chi) : oldChi;
    const std::string_view newRemark = remark != nullptr ? std::string_view(*remark) : oldRemark;
    if (newChi == oldChi && newRemark == oldRemark) return {CommitStatus::kSaved, ""};
    std::string error;
    if (!DiskHoldsOurs(&error)) return {CommitStatus::kChangedOnDisk, error};

    const VKCStringDict& dict = *files_[0].dict;
    const StringEntry& e = dict.entries[i];
    const uint64_t size =
        uint64_t{dict.dataSize} - e.chiLen - e.remarkLen + newChi.size() + newRemark.size();
    if (size > MaxDictionaryBytes()) {
        return {CommitStatus::kRefused,
                page::Tr("the file would grow past the loader's limit of {1} bytes",
                         {std::to_string(MaxDictionaryBytes())})};
    }
    // The new bytes go to the temporary file beside the dictionary: the old
    // ones, with the two texts replaced.
    fileio::AtomicFileOptions durable;
    durable.durable = true;
    fileio::AtomicFile out;
    if (!out.Open(options_.path, durable) || out.temporary().empty()) {
        return {CommitStatus::kFailed,
                out.error().empty()
                    ? page::Tr("cannot write the file: it is no regular file")
                    : page::Tr("cannot write the file: {1}", {SystemTextUtf8(out.error())})};
    }
    static char buffer[size_t{1} << 20];
    std::setvbuf(out.stream(), buffer, _IOFBF, sizeof(buffer));
#ifdef _WIN32
    // Windows lets no one open the temporary file while this stream writes
    // it: the bytes are gathered, loaded from memory, then written.
    std::string bytes;
    bytes.reserve(static_cast<size_t>(size) + 1);
    const auto put = [&bytes](const char* data, size_t n) {
        bytes.append(data, n);
        return true;
    };
#else
    const auto put = [&out](const char* data, size_t n) {
        return std::fwrite(data, 1, n, out.stream()) == n;
    };
#endif
    bool written = ForEachPiece(dict, [&](const char* data, size_t n) {
        // Each text ends a piece of its own; the edited ones are replaced.
        if (data + n == e.chi + e.chiLen && data <= e.chi) {
            return put(data, static_cast<size_t>(e.chi - data)) &&
                   put(newChi.data(), newChi.size());
        }
        if (data + n == e.remark + e.remarkLen && data <= e.remark) {
            return put(data, static_cast<size_t>(e.remark - data)) &&
                   put(newRemark.data(), newRemark.size());
        }
        return put(data, n);
    });
#ifdef _WIN32
    written = written && std::fwrite(bytes.data(), 1, bytes.size(), out.stream()) == bytes.size();
#endif
    written = written && std::fflush(out.stream()) == 0;

    // The same loader must find the same records in what was written, this
    // edit applied, before it replaces the file.
    DictFile next;
    next.dict = std::make_unique<VKCStringDict>();
    if (written) {
        recordlines::Noting noting(&next.lines);
#ifdef _WIN32
        next.loaded = next.dict->LoadFromTXTStringA(bytes.c_str()) != 0;
#else
        next.loaded = next.dict->LoadFromTXTFileA(LoaderName(out.temporary()).c_str()) != 0;
#endif
    }
    const VKCStringDict& loaded = *next.dict;
    bool same = next.loaded && loaded.count == dict.count && next.lines.size() == dict.count &&
                loaded.dataSize == size;
    const ptrdiff_t chiShift = static_cast<ptrdiff_t>(newChi.size()) - e.chiLen;
    const ptrdiff_t shift = chiShift + static_cast<ptrdiff_t>(newRemark.size()) - e.remarkLen;
    for (uint32_t j = 0; same && j < dict.count; ++j) {
        const StringEntry& was = dict.entries[j];
        const StringEntry& now = loaded.entries[j];
        const ptrdiff_t by = j < i ? 0 : shift;
        same = now.eng - loaded.pool == was.eng - dict.pool + (j == i ? 0 : by) &&
               now.engLen == was.engLen;
        if (j == i) {
            same = same && now.chi - loaded.pool == was.chi - dict.pool &&
                   std::string_view(now.chi, now.chiLen) == newChi &&
                   now.remark - loaded.pool == was.remark - dict.pool + chiShift &&
                   std::string_view(now.remark, now.remarkLen) == newRemark;
        } else {
            same = same && now.chi - loaded.pool == was.chi - dict.pool + by &&
                   now.chiLen == was.chiLen &&
                   now.remark - loaded.pool == was.remark - dict.pool + by &&
                   now.remarkLen == was.remarkLen;
        }
    }
    if (written && !same) {
        return {CommitStatus::kRefused,
                page::Tr("the file would load differently: the edited text holds bytes the "
                         "loader takes for markers")};
    }
    if (!written || !out.Commit()) {
        const std::string why = written ? SystemTextUtf8(out.error()) : page::Tr("a write failed");
        out.Discard();
        return {CommitStatus::kFailed, page::Tr("cannot write the file: {1}", {why})};
    }
    Stamp();
    next.complete = true;
    next.closed = files_[0].closed;
    next.size = size;
    next.header = files_[0].header;
    next.path = options_.path;
    files_[0] = std::move(next);
    versions_[i] = nextVersion_++;
    changed_[i] = 1;
    CheckOne(i);
    CompareAll();
    Count();
    cached_ = false;
    return {CommitStatus::kSaved, ""};
}

bool Session::Reload(std::string* error) {
    Diagnostics quiet(false, nullptr);
    DictFile file;
    if (!OpenDictionary(options_.path, LoadPolicy::kWhole, quiet, &file, EncodingPolicy::kRefuse)) {
        *error = page::Tr("the file no longer loads whole (vkcdict check {1} tells what is wrong)",
                          {options_.path});
        return false;
    }
    const uint32_t before = count();
    if (!Adopt(std::move(file), true, error)) return false;
    Stamp();
    versions_.assign(count(), nextVersion_++);
    if (count() != before) changed_.assign(count(), 0);
    CheckAll();
    return true;
}

}  // namespace vkcdict::edit
