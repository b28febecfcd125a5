#include "vkcdict/files/DictFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "dict/RecordLines.h"
#include "dict/TextFormat.h"
#include "platform/Win32.h"
#include "vkcdict/files/DictWriter.h"
#include "vkcdict/files/FileFormatHints.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

using textformat::Marker;

constexpr uint64_t kNone = ~uint64_t{0};

// The bytes a parse sees: the file up to its first NUL, and, when it has none,
// the CR LF the loader appends. The appended bytes live in a short tail of
// their own, so the file is never copied.
class Visible {
public:
    Visible(std::string_view bytes, bool lineBreakAppended) : main_(bytes) {
        if (!lineBreakAppended) return;
        tailStart_ = main_.size() > kTailKeep ? main_.size() - kTailKeep : 0;
        tail_.assign(main_.substr(tailStart_));
        tail_ += "\r\n";
    }

    // The first occurrence of `marker` starting at or after `from`, or kNone.
    uint64_t Find(uint64_t from, const Marker& marker) const {
        const uint64_t hit = Search(main_, from, marker);
        if (hit != kNone || tail_.empty()) return hit;
        // Only a match that reaches into the appended bytes is left; it begins
        // in the tail copy.
        const uint64_t inTail = Search(tail_, from > tailStart_ ? from - tailStart_ : 0, marker);
        return inTail == kNone ? kNone : tailStart_ + inTail;
    }

    // True when `marker` begins at `at`.
    bool At(uint64_t at, const Marker& marker) const {
        if (at + marker.length <= main_.size()) {
            return std::memcmp(main_.data() + at, marker.bytes, marker.length) == 0;
        }
        // Reaching into the appended bytes: at lies inside the tail copy.
        if (tail_.empty() || at < tailStart_ || at - tailStart_ + marker.length > tail_.size()) {
            return false;
        }
        return std::memcmp(tail_.data() + (at - tailStart_), marker.bytes, marker.length) == 0;
    }

private:
    static constexpr size_t kTailKeep = 64;  // longer than any marker

    static uint64_t Search(std::string_view bytes, uint64_t from, const Marker& marker) {
        if (from >= bytes.size()) return kNone;
#ifdef __GLIBC__
        const void* hit =
            memmem(bytes.data() + from, bytes.size() - from, marker.bytes, marker.length);
        return hit == nullptr ? kNone : static_cast<const char*>(hit) - bytes.data();
#else
        const size_t at = bytes.find(std::string_view(marker.bytes, marker.length), from);
        return at == std::string_view::npos ? kNone : at;
#endif
    }

    std::string_view main_;
    std::string tail_;
    uint64_t tailStart_ = 0;
};

const Marker* const kSectionMarkers[6] = {
    &textformat::kEngStart, &textformat::kEngEnd,      &textformat::kChiStart,
    &textformat::kChiEnd,   &textformat::kRemarkStart, &textformat::kRemarkEnd,
};

// True when the bytes from `from` to `to` hold the head of a record: a
// record marker, the rest of its line, and the ENG start line.
bool HoldsRecordHead(const Visible& bytes, uint64_t from, uint64_t to) {
    using textformat::kRecord;
    for (uint64_t at = bytes.Find(from, kRecord); at != kNone && at < to;
         at = bytes.Find(at + kRecord.length, kRecord)) {
        const uint64_t lineEnd = bytes.Find(at + kRecord.length, textformat::kTextEnd);
        if (lineEnd == kNone) return false;
        const uint64_t eng = lineEnd + textformat::kTextEnd.length;
        if (bytes.At(eng, textformat::kEngStart) && eng + textformat::kEngStart.length <= to) {
            return true;
        }
    }
    return false;
}

// The policies' answer for a dictionary whose problems are reported: go on
// with its records, or not when it looks like UTF-8 or UTF-16 (kRefuse) or
// did not load completely (kWhole).
bool Accept(const DictFile& file, LoadPolicy policy, EncodingPolicy encoding,
            Diagnostics& diagnostics) {
    if (file.notGbk && encoding == EncodingPolicy::kRefuse) {
        diagnostics.Error(file.path, 0,
                          Tr("not used: this command would write its texts garbled "
                             "(--allow-non-gbk writes them as they are)"));
        return false;
    }
    if (file.complete || policy == LoadPolicy::kReport) return true;
    const uint32_t records = file.count();
    if (policy == LoadPolicy::kPartial) {
        diagnostics.Warning(file.path, 0,
                            Tr("working on with the {1} that the loader loads (--partial)",
                               {CountOf(records, "record")}));
        return true;
    }
    diagnostics.Error(file.path, 0,
                      records == 0
                          ? std::string(Tr("not used: the loader loads no record from it"))
                          : Tr("not used: the loader does not load it completely (--partial "
                               "works on with the {1} it loads)",
                               {CountOf(records, "record")}));
    return false;
}

void ReportMarkerWordAtStart(std::string_view bytes, const std::string& path, Severity severity,
                             Diagnostics& diagnostics) {
    const std::string_view word(textformat::kRecord.bytes + 2, textformat::kRecord.length - 2);
    if (bytes.substr(0, word.size()) == word) {
        diagnostics.Report(path, 1, severity,
                           Tr("the record marker word at the very first byte has no line break "
                              "before it: the loader makes no record of it"));
    }
}

uint64_t CountMarkers(std::string_view bytes) {
    uint64_t n = 0;
    const Visible visible(bytes, false);
    for (uint64_t at = visible.Find(0, textformat::kRecord); at != kNone;
         at = visible.Find(at + textformat::kRecord.length, textformat::kRecord)) {
        ++n;
    }
    return n;
}

}  // namespace

MarkerWalk WalkMarkers(std::string_view file) {
    MarkerWalk walk;
    // The loader appends CR LF behind the file and stops at the first NUL.
    walk.nul = std::min<uint64_t>(file.find('\0'), file.size());
    const Visible bytes(file.substr(0, walk.nul), walk.nul == file.size());

    for (uint64_t at = bytes.Find(0, textformat::kRecord); at != kNone;
         at = bytes.Find(at + textformat::kRecord.length, textformat::kRecord)) {
        walk.markers.push_back(at);
    }
    uint64_t cursor = 0;
    for (size_t i = 0; i < walk.markers.size(); ++i) {
        const uint64_t marker = bytes.Find(cursor, textformat::kRecord);
        if (marker == kNone) break;
        uint64_t eng = 0;
        const size_t passedBefore = walk.passed.size();
        // The record markers from `from` to `to`, passed over for `start`.
        const auto passOver = [&walk](uint64_t from, uint64_t to, int start) {
            for (auto m = std::lower_bound(walk.markers.begin(), walk.markers.end(), from);
                 m != walk.markers.end() && *m < to; ++m) {
                walk.passed.push_back({*m, start});
            }
        };
        for (int s = 0; s < 3; ++s) {
            const Marker& start = *kSectionMarkers[2 * s];
            const Marker& end = *kSectionMarkers[2 * s + 1];
            // The ENG start marker is searched from the record marker, the
            // others from the cursor: a record lacking a section takes a
            // later record's.
            const uint64_t startAt = bytes.Find(s == 0 ? marker : cursor, start);
            uint64_t endAt = startAt == kNone ? kNone : bytes.Find(startAt, end);
            // A text that holds another record's head lacks its end marker
            // (a record marker may share the start marker's line break).
            if (endAt != kNone &&
                HoldsRecordHead(bytes, startAt + start.length - textformat::kTextEnd.length,
                                endAt)) {
                endAt = kNone;
            }
            if (endAt == kNone) {
                walk.passed.resize(passedBefore);
                walk.broken = true;
                walk.missing = 2 * s + (startAt == kNone ? 0 : 1);
                walk.at = startAt == kNone ? marker : startAt;
                walk.brokenMarker = marker;
                return walk;
            }
            passOver(s == 0 ? marker + 1 : cursor, startAt, 2 * s);
            passOver(startAt, endAt, -1);
            if (s == 0) eng = startAt + start.length;
            cursor = endAt + 1;
        }
        walk.records.push_back({marker, eng});
    }
    return walk;
}

std::string MarkerName(int missing) {
    const Marker& marker = *kSectionMarkers[missing];
    return std::string(marker.bytes, marker.length - 2);
}

uint64_t LineCounter::LineOf(uint64_t offset) {
    offset = std::min<uint64_t>(offset, bytes_.size());
    if (offset < at_) {
        at_ = 0;
        line_ = 1;
    }
    line_ +=
        static_cast<uint64_t>(std::count(bytes_.begin() + static_cast<ptrdiff_t>(at_),
                                         bytes_.begin() + static_cast<ptrdiff_t>(offset), '\n'));
    at_ = offset;
    return line_;
}

uint64_t MaxDictionaryBytes() {
    return textformat::kMaxDataSize;
}

std::string LoaderName(const std::string& path) {
    std::string name = path;
#ifdef _WIN32
    // The loader takes a name without a backslash from the current folder.
    std::replace(name.begin(), name.end(), '/', '\\');
#endif
    return name;
}

std::string NameTooLong(const std::string& path) {
    constexpr size_t kLongest = sizeof(VKCStringDict::path) - 1;
    const std::string limit = std::to_string(kLongest);
    const size_t name = LoaderName(path).size();
    if (name > kLongest) {
        return Tr("the path is {1} bytes, longer than the {2} bytes a dictionary's name may have",
                  {std::to_string(name), limit});
    }
    // A shorter name was refused with the current folder and a separator in
    // front of it (a root such as C:\ brings its own separator).
    const DWORD size = GetCurrentDirectoryA(0, nullptr);  // the length and the NUL
    std::string folder(size, '\0');
    DWORD length = size == 0 ? 0 : GetCurrentDirectoryA(size, &folder[0]);
    if (length == 0 || length >= size) {
        return Tr("the current folder cannot be read, or is too long for the loader");
    }
    if (folder[length - 1] == '\\' || folder[length - 1] == '/') --length;
    return Tr(
        "the path is {1} bytes with the current folder in front, longer than the {2} "
        "bytes a dictionary's name may have",
        {std::to_string(length + 1 + name), limit});
}

namespace {

// Loads `path` with the library's loader into `file`, noting the line of each
// record's marker as the parse goes. False when the loader does not take the
// name (it leaves the dictionary's path empty then).
bool Load(const std::string& path, DictFile* file) {
    recordlines::Noting noting(&file->lines);
    file->loaded = file->dict->LoadFromTXTFileA(LoaderName(path).c_str()) != 0;
    return file->dict->path[0] != '\0';
}

// True when the load alone describes the file: it loaded, every record marker
// the parse saw began a record (none passed over, none in a broken record), and
// no NUL byte lies behind the records to hide any. The file's bytes are then
// the pool's, less the NUL that ends each text in place, and the parse noted
// every record's line: nothing is left to read or walk.
bool LoadedWhole(const DictFile& file) {
    const VKCStringDict& dict = *file.dict;
    if (!file.loaded || dict.count == 0 || dict.count != dict.entryCapacity ||
        file.lines.size() != dict.count) {
        return false;
    }
    // Behind the last text's own NUL, the pool holds the file's bytes as read.
    const StringEntry& last = dict.entries[dict.count - 1];
    const char* const behind = last.remark + last.remarkLen + 1;
    const char* const end = dict.pool + dict.dataSize;
    return behind <= end && std::memchr(behind, '\0', static_cast<size_t>(end - behind)) == nullptr;
}

// True when the loaded bytes behind the last record hold the closing line
// that the writer ends every file with: "mirok_res_All_End" at the start of
// a line, ending the file or followed by CR LF.
bool HasClosingLine(const VKCStringDict& dict) {
    if (dict.count == 0) return false;
    const StringEntry& last = dict.entries[dict.count - 1];
    const size_t behind = static_cast<size_t>(last.remark + last.remarkLen - dict.pool);
    const std::string_view bytes(dict.pool, dict.dataSize);
    constexpr std::string_view kWord = "\nmirok_res_All_End";
    for (size_t at = bytes.find(kWord, behind); at != std::string_view::npos;
         at = bytes.find(kWord, at + 1)) {
        const std::string_view rest = bytes.substr(at + kWord.size());
        if (rest.empty() || rest.substr(0, 2) == "\r\n") return true;
    }
    return false;
}

// The problems of a file that loads whole are only those its first bytes or its
// encoding show.
void ReportWholeLoad(DictFile* file, LoadPolicy policy, EncodingPolicy encodingPolicy,
                     Severity severity, Diagnostics& diagnostics) {
    const VKCStringDict& dict = *file->dict;
    const std::string_view bytes(dict.pool, dict.dataSize);
    file->size = dict.dataSize;
    file->header = WrittenHeader(bytes);
    const std::string encoding = EncodingHint(bytes, file->path, nullptr, bytes.size());
    if (!encoding.empty()) {
        file->notGbk = true;
        const bool error =
            policy == LoadPolicy::kReport || encodingPolicy == EncodingPolicy::kRefuse;
        diagnostics.Report(file->path, 0, error ? Severity::kError : Severity::kWarning, encoding);
    }
    ReportMarkerWordAtStart(bytes, file->path, severity, diagnostics);
    file->complete = true;
    file->closed = HasClosingLine(dict);
}

}  // namespace

bool OpenDictionary(const std::string& path, LoadPolicy policy, Diagnostics& diagnostics,
                    DictFile* file, EncodingPolicy encodingPolicy) {
    WorkingOn working(path);
    const Severity severity =
        policy == LoadPolicy::kPartial ? Severity::kWarning : Severity::kError;
    file->path = path;
    file->dict = std::make_unique<VKCStringDict>();
    file->lines.clear();
    file->loaded = false;
    file->complete = false;
    file->closed = false;
    file->notGbk = false;

    std::error_code notADirectory;
    if (std::filesystem::is_directory(path, notADirectory)) {
        diagnostics.Error(path, 0, Tr("is a directory"));
        return false;
    }
    // Only a regular file is loaded before it is read: a FIFO or a device is
    // refused by the reading below before the loader would open it.
    std::error_code notAFile;
    const bool loadedFirst = path != "-" && std::filesystem::is_regular_file(path, notAFile);
    if (loadedFirst) {
        if (!Load(path, file)) {
            diagnostics.Error(path, 0, NameTooLong(path));
            return false;
        }
        if (LoadedWhole(*file)) {
            ReportWholeLoad(file, policy, encodingPolicy, severity, diagnostics);
            return Accept(*file, policy, encodingPolicy, diagnostics);
        }
    }

    // Anything else is described by reading the file again and walking its
    // markers as the parse does, which the load must agree with.
    FileBlock block;
    bool tooLong = false;
    std::string error = Tr("a dictionary must be a file");
    if (path == "-" || !ReadBlock(path, MaxDictionaryBytes(), &block, &tooLong, &error)) {
        diagnostics.Error(path, 0, ReadFailure(error));
        return false;
    }
    file->size = block.size;
    if (tooLong) {
        diagnostics.Report(path, 0, severity,
                           Tr("file of {1} bytes: the loader refuses files over {2} bytes",
                              {std::to_string(block.size), std::to_string(MaxDictionaryBytes())}));
        return Accept(*file, policy, encodingPolicy, diagnostics);
    }
    const std::string_view bytes = block.view();
    file->header = WrittenHeader(bytes);
    if (bytes.empty()) {
        diagnostics.Report(path, 0, severity, Tr("empty file: the loader refuses it"));
        return Accept(*file, policy, encodingPolicy, diagnostics);
    }

    if (!loadedFirst && !Load(path, file)) {
        diagnostics.Error(path, 0, NameTooLong(path));
        return false;
    }
    const MarkerWalk walk = WalkMarkers(bytes);
    const VKCStringDict& dict = *file->dict;
    bool agree = walk.records.size() == dict.count && walk.broken == !file->loaded;
    for (uint32_t i = 0; agree && i < dict.count; ++i) {
        agree = static_cast<uint64_t>(dict.entries[i].eng - dict.pool) == walk.records[i].eng;
    }
    if (!agree && !walk.markers.empty()) {
        throw std::logic_error(
            Tr("{1}: the marker walk does not match the loader's records", {path}));
    }

    // A file in another encoding is named once, before what follows from it.
    bool utf16 = false;
    const std::string encoding = EncodingHint(bytes, path, &utf16);
    if (!encoding.empty()) {
        file->notGbk = true;
        const bool nothingLoaded = dict.count == 0;
        diagnostics.Report(path, 0,
                           encodingPolicy == EncodingPolicy::kRefuse        ? Severity::kError
                           : policy == LoadPolicy::kReport || nothingLoaded ? severity
                                                                            : Severity::kWarning,
                           encoding);
    }

    LineCounter lines(bytes);
    file->lines.clear();  // the walk's lines, which also name passed markers
    file->lines.reserve(walk.records.size());
    size_t nextRecord = 0;
    size_t nextPassed = 0;
    for (uint64_t marker : walk.markers) {
        if (walk.broken && marker >= walk.brokenMarker) break;
        if (nextRecord < walk.records.size() && walk.records[nextRecord].marker == marker) {
            file->lines.push_back(lines.LineOf(marker + 2));
            ++nextRecord;
            continue;
        }
        while (nextPassed < walk.passed.size() && walk.passed[nextPassed].marker < marker) {
            ++nextPassed;
        }
        const int start =
            nextPassed < walk.passed.size() && walk.passed[nextPassed].marker == marker
                ? walk.passed[nextPassed].start
                : -1;
        const std::string record = std::to_string(nextRecord - 1);
        const std::string line = std::to_string(file->lines.back());
        if (start < 0) {
            // A marker inside the texts of the record before it.
            diagnostics.Report(path, lines.LineOf(marker + 2), severity,
                               Tr("record marker passed over: it lies inside the texts of record "
                                  "{1} (line {2}), so the loader makes no record of it",
                                  {record, line}));
        } else {
            static const char* const kSections[3] = {"ENG", "CHI", "Remark00"};
            diagnostics.Report(
                path, lines.LineOf(marker + 2), severity,
                Tr("record marker passed over: record {1} (line {2}) has no \"{3}\" marker before "
                   "it, so the loader takes a later {4} section for that record and makes no "
                   "record of this one",
                   {record, line, MarkerName(start), kSections[start / 2]}));
        }
    }
    ReportMarkerWordAtStart(bytes, path, severity, diagnostics);
    if (walk.markers.empty() && walk.nul == bytes.size()) {
        const std::string lineBreaks = LineBreakHint(bytes, path);
        diagnostics.Report(
            path, 0, severity,
            lineBreaks.empty()
                ? std::string(Tr("no record marker (a line \"mirok_res_No.\" after a line "
                                 "break): the file holds no records"))
                : Tr("no record marker (a line \"mirok_res_No.\" after a line break): {1}",
                     {lineBreaks}));
    }
    if (walk.broken) {
        const uint64_t lost =
            walk.markers.end() -
            std::lower_bound(walk.markers.begin(), walk.markers.end(), walk.brokenMarker);
        diagnostics.Report(path, lines.LineOf(walk.missing % 2 == 0 ? walk.at + 2 : walk.at),
                           severity,
                           Tr("record {1} has no \"{2}\" marker after this line: the load stops "
                              "here, with the {3} before it and not the {4} from here on",
                              {std::to_string(walk.records.size()), MarkerName(walk.missing),
                               CountOf(walk.records.size(), "record"), CountOf(lost, "record")}));
    }
    uint64_t hidden = 0;
    if (walk.nul < bytes.size() && !utf16) {  // UTF-16's NUL bytes were named above
        hidden = CountMarkers(bytes.substr(walk.nul));
        diagnostics.Report(path, lines.LineOf(walk.nul), severity,
                           Tr("NUL byte at offset {1}: the loader sees nothing after it ({2} "
                              "not seen)",
                              {std::to_string(walk.nul), CountOf(hidden, "record marker")}));
    }
    file->complete = file->loaded && hidden == 0;
    file->closed = file->complete && HasClosingLine(dict);
    return Accept(*file, policy, encodingPolicy, diagnostics);
}

}  // namespace vkcdict
