// Fuzz target: editing a dictionary, among lookups, loads, saves and matching.
//
// The input is decoded as a run of operations on one dictionary: AddStringA,
// InsertBlankEntry, the three set operations (with texts from the input or
// from the dictionary's own pool), lookups, loads of generated text files and
// images (sorted or not) and of raw text, saves and loads of what was saved,
// reloads and MatchNextA calls. A mirror of the records, kept here on plain
// strings, says what each operation must leave. After every operation the
// dictionary must equal the mirror and keep its invariants: records point
// into the pool and their texts neither overlap nor reach the append region;
// lengths match the texts; the records ascend strictly while only AddStringA
// and loads of sorted files have changed them; the matcher is idle after
// every edit and load, and otherwise idle or inside one record's texts.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "tests/Samples.h"

namespace {

using fuzz::Input;
using fuzz::TextAt;
using fuzz::TextOf;
using samples::Record;

// One text of a record as the mirror holds it. A blank text (a field of a
// record that InsertBlankEntry made, not set since) points at the pool's
// first byte with length 0, whatever the pool begins with.
struct Field {
    std::string text;
    bool blank = false;
};

struct Mirrored {
    Field eng;
    Field chi;
    Field remark;
};

// The three fields, in the dictionary and in the mirror, by number.
char* StringEntry::*const kPointers[3] = {&StringEntry::eng, &StringEntry::chi,
                                          &StringEntry::remark};
uint32_t StringEntry::*const kLengths[3] = {&StringEntry::engLen, &StringEntry::chiLen,
                                            &StringEntry::remarkLen};
Field Mirrored::*const kFields[3] = {&Mirrored::eng, &Mirrored::chi, &Mirrored::remark};

// A text argument: its bytes as the call sees them, and the pointer passed.
struct Argument {
    std::string value;
    const char* pointer = nullptr;  // null for a null argument
};

// A dictionary file this run wrote and what loading it must give.
struct KnownFile {
    std::vector<Mirrored> records;
    bool ordered = true;
    bool faithful = true;  // no text holds a marker: it loads back as written
};

std::vector<Mirrored> MirrorOf(const std::vector<Record>& records) {
    std::vector<Mirrored> mirror;
    for (const Record& r : records) {
        mirror.push_back(Mirrored{{r.eng, false}, {r.chi, false}, {r.remark, false}});
    }
    return mirror;
}

bool Faithful(const std::vector<Mirrored>& records) {
    for (const Mirrored& r : records) {
        for (Field Mirrored::*f : kFields) {
            if (fuzz::HoldsMarker((r.*f).text)) return false;
        }
    }
    return true;
}

class Editor {
public:
    explicit Editor(Input& in) : in_(in) {}
    ~Editor() {
        for (const std::string& file : files_) fuzz::RemoveFile(file);
    }
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    void Step() {
        arguments_.clear();
        const uint32_t operation = in_.Below(13);
        switch (operation) {
            case 0:
                Add();
                break;
            case 1:
                InsertBlank();
                break;
            case 2:
            case 3:
            case 4:
                Set(static_cast<int>(operation - 2));
                break;
            case 5:
                Lookup();
                break;
            case 6:
                LoadGenerated();
                break;
            case 7:
                LoadRaw();
                break;
            case 8:
                LoadImage();
                break;
            case 9:
                Save();
                break;
            case 10:
                LoadSaved();
                break;
            case 11:
                Reload();
                break;
            default:
                Match();
                break;
        }
        Check();
    }

private:
    // ---- Operations

    void Add() {
        Argument eng = TakeArgument(true);
        Argument chi = TakeArgument(true);
        Argument remark = TakeArgument(true);
        resetsMatcher_ = true;
        if (eng.pointer == nullptr) {
            FUZZ_CHECK(d_.AddStringA(nullptr, chi.pointer, remark.pointer) == nullptr);
            return;  // and nothing changed, as Check finds
        }
        const std::string key = fuzz::Trim(eng.value);
        const std::string chiText = chi.pointer != nullptr ? chi.value : eng.value;
        const std::string remarkText = remark.pointer != nullptr ? remark.value : eng.value;
        const uint32_t before = d_.count;
        const uint32_t dataSize = d_.dataSize;

        StringEntry* r = d_.AddStringA(eng.pointer, chi.pointer, remark.pointer);
        FUZZ_CHECK(r != nullptr && r >= d_.entries && r < d_.entries + d_.count);
        const size_t at = static_cast<size_t>(r - d_.entries);
        FUZZ_CHECK(TextAt(r->eng) == key);
        if (ordered_) {
            size_t below = 0;
            while (below < mirror_.size() && mirror_[below].eng.text < key) ++below;
            const bool present = below < mirror_.size() && mirror_[below].eng.text == key;
            FUZZ_CHECK(at == below && d_.count == before + (present ? 0 : 1));
        }
        if (d_.count == before) {
            FUZZ_CHECK(d_.dataSize == dataSize);  // found: nothing added
        } else {
            FUZZ_CHECK(d_.count == before + 1);
            FUZZ_CHECK(d_.dataSize == d_.poolUsed);
            mirror_.insert(mirror_.begin() + at,
                           Mirrored{{key, false}, {chiText, false}, {remarkText, false}});
        }
        if (ordered_) fuzz::CheckLookup(d_, eng.value.c_str());
    }

    void InsertBlank() {
        const uint32_t index = in_.Below(d_.count + 3);
        const uint32_t poolUsed = d_.pool != nullptr ? d_.poolUsed : 0;
        const uint32_t dataSize = d_.dataSize;
        FUZZ_CHECK(d_.InsertBlankEntry(index) == mirror_.size() + 1);
        FUZZ_CHECK(d_.poolUsed == poolUsed && d_.dataSize == dataSize);
        const size_t at = std::min<size_t>(index, mirror_.size());
        mirror_.insert(mirror_.begin() + at, Mirrored{{"", true}, {"", true}, {"", true}});
        ordered_ = false;
        resetsMatcher_ = true;
    }

    void Set(int field) {
        const uint32_t index = in_.Below(d_.count + 3);
        Argument text = TakeArgument(true);
        const uint32_t poolUsed = d_.poolUsed;
        const uint32_t dataSize = d_.dataSize;
        const size_t at = std::min<size_t>(index, mirror_.empty() ? 0 : mirror_.size() - 1);
        const uint32_t oldLength = mirror_.empty() ? 0 : d_.entries[at].*kLengths[field];
        const char* oldPointer = mirror_.empty() ? nullptr : d_.entries[at].*kPointers[field];

        int result = 0;
        switch (field) {
            case 0:
                result = d_.SetENGTextA(index, text.pointer);
                break;
            case 1:
                result = d_.SetCHITextA(index, text.pointer);
                break;
            default:
                result = d_.SetRemarkTextA(index, text.pointer);
                break;
        }
        resetsMatcher_ = true;
        if (mirror_.empty()) {
            FUZZ_CHECK(result == 0 && d_.poolUsed == poolUsed && d_.dataSize == dataSize);
            return;
        }
        FUZZ_CHECK(result == 1);
        const std::string& value = text.value;  // empty for a null text
        const char* now = d_.entries[at].*kPointers[field];
        if (value.size() < oldLength) {
            // Written over the old text: the pool is left as it was.
            FUZZ_CHECK(now == oldPointer && d_.poolUsed == poolUsed && d_.dataSize == dataSize);
        } else {
            FUZZ_CHECK(d_.dataSize == d_.poolUsed);
            FUZZ_CHECK(now + value.size() + 4 == d_.pool + d_.poolUsed);
        }
        mirror_[at].*kFields[field] = Field{value, false};
        if (field == 0) ordered_ = false;
    }

    void Lookup() {
        std::string key;
        if (!mirror_.empty() && in_.Flag()) {
            const Field& eng = mirror_[in_.Below(mirror_.size())].eng;
            key = std::string(in_.Below(3), ' ') + eng.text + std::string(in_.Below(3), ' ');
        } else {
            key = in_.Text(12);
        }
        fuzz::CheckLookup(d_, key.c_str());
        fuzz::CheckNumericLookups(d_, fuzz::NumericKey(key.c_str()));
    }

    // Records from the input, in ascending order or as they come.
    std::pair<std::vector<Record>, bool> Generate() {
        std::vector<Record> records(in_.Below(6));
        for (Record& r : records) r = {in_.Text(10), in_.Text(10), in_.Text(6)};
        // Sometimes enough records for the lookup index (32), from few bytes.
        if (in_.Flag()) {
            for (int i = 0; i < 40; ++i)
                records.push_back({in_.Text(2) + std::to_string(i), "c", ""});
        }
        const bool sorted = in_.Flag();
        if (sorted) {
            auto byEng = [](const Record& a, const Record& b) { return a.eng < b.eng; };
            auto sameEng = [](const Record& a, const Record& b) { return a.eng == b.eng; };
            std::stable_sort(records.begin(), records.end(), byEng);
            records.erase(std::unique(records.begin(), records.end(), sameEng), records.end());
        }
        return {records, sorted};
    }

    void LoadGenerated() {
        auto [records, sorted] = Generate();
        const KnownFile known{MirrorOf(records), sorted, Faithful(MirrorOf(records))};
        const std::string text = samples::DictionaryText(records);
        uint32_t result;
        if (in_.Flag()) {
            result = d_.LoadFromTXTStringA(text.c_str());
            reload_ = ReloadSource::kNothing;
        } else {
            const std::string file = NewFile("generated", ".txt");
            fuzz::WriteFileBytes(file, text);
            result = d_.LoadFromTXTFileA(file.c_str());
            reload_ = ReloadSource::kKnown;
            reloadFile_ = known;
        }
        Loaded(result, known);
    }

    // Text of the input, or one of the dictionary's own texts (which the
    // load releases with the pool it replaces).
    void LoadRaw() {
        Argument text;
        if (d_.count > 0 && in_.Below(4) == 0) {
            text = PoolArgument();
        } else {
            arguments_.push_back(in_.Text(96));
            text.value = arguments_.back();
            text.pointer = arguments_.back().c_str();
        }
        const uint32_t result = d_.LoadFromTXTStringA(text.pointer);
        FUZZ_CHECK(result == 0 || result == d_.count);
        FUZZ_CHECK(d_.path[0] == '\0');
        reload_ = ReloadSource::kNothing;
        resetsMatcher_ = true;
        if (text.value.empty()) return;  // refused: the records stay as they were
        Resync();
    }

    // A generated image, whole or cut short. A cut image is refused, which
    // leaves no pool and no array for the edits that follow, unless the cut
    // spares every text; then it loads as records the mirror takes as they are.
    void LoadImage() {
        auto [records, sorted] = Generate();
        std::string image = samples::Image(records);
        const bool cut = in_.Below(4) == 0;
        if (cut) image.resize(in_.Below(static_cast<uint32_t>(image.size())));
        const std::string file = NewFile("image", ".bin");
        fuzz::WriteFileBytes(file, image);
        const uint32_t result = d_.LoadFromBINFileA(file.c_str());
        FUZZ_CHECK(file == d_.path);
        reload_ = ReloadSource::kUnknown;  // the image read as a text file
        resetsMatcher_ = true;
        if (!cut) {
            FUZZ_CHECK(result == records.size());
            mirror_ = MirrorOf(records);
            ordered_ = sorted;
        } else if (result == 0) {
            FUZZ_CHECK(d_.count == 0 && d_.entries == nullptr);
            mirror_.clear();
            ordered_ = true;
        } else {
            FUZZ_CHECK(result == records.size());
            Resync();
        }
    }

    void Save() {
        if (saved_.size() >= 8) return;
        const std::string file = NewFile("saved", ".txt");
        const int32_t written = d_.SaveToTXTFileA(file.c_str());
        FUZZ_CHECK(written >= 0 &&
                   static_cast<size_t>(written) == fuzz::ReadFileBytes(file).size());
        KnownFile known{mirror_, ordered_, Faithful(mirror_)};
        for (Mirrored& r : known.records) {
            for (Field Mirrored::*f : kFields) (r.*f).blank = false;  // saved as empty texts
        }
        saved_.emplace_back(file, known);
    }

    void LoadSaved() {
        if (saved_.empty()) return;
        const auto& [file, known] = saved_[in_.Below(saved_.size())];
        const uint32_t result = d_.LoadFromTXTFileA(file.c_str());
        reload_ = ReloadSource::kKnown;
        reloadFile_ = known;
        Loaded(result, known);
    }

    void Reload() {
        const uint32_t result = d_.ReloadTXTFileA();
        resetsMatcher_ = true;
        switch (reload_) {
            case ReloadSource::kNothing:
                // No file named: nothing loads, and nothing is left.
                FUZZ_CHECK(result == 0 && d_.pool == nullptr && d_.entries == nullptr);
                mirror_.clear();
                ordered_ = true;
                break;
            case ReloadSource::kKnown:
                Loaded(result, reloadFile_);
                break;
            case ReloadSource::kUnknown:
                FUZZ_CHECK(result == 0 || result == d_.count);
                Resync();
                break;
        }
    }

    void Match() {
        std::string piece;
        if (!mirror_.empty() && in_.Flag()) {
            const std::string eng = TextAt(d_.entries[in_.Below(d_.count)].eng);
            const size_t from = in_.Below(static_cast<uint32_t>(eng.size() + 1));
            piece = eng.substr(from, in_.Below(static_cast<uint32_t>(eng.size() - from + 1)));
        } else {
            piece = in_.Text(8);
        }
        const uint32_t capacity = in_.Below(32);
        char* out = new char[capacity > 0 ? capacity : 1];
        const int32_t result = d_.MatchNextA(piece.c_str(), out, capacity);
        FUZZ_CHECK(result >= 0 && result <= 2);
        if (result != 0) FUZZ_CHECK(std::memchr(out, '\0', capacity) != nullptr);
        delete[] out;
    }

    // ---- Helpers

    // A text argument: null (when `mayBeNull` and the input says so), a text
    // of the input, or a text inside the dictionary's own pool (a record's
    // text, or its tail).
    Argument TakeArgument(bool mayBeNull) {
        Argument a;
        const uint32_t kind = in_.Below(mayBeNull ? 4 : 3);
        if (kind == 3) return a;
        if (kind == 2 && d_.count > 0) return PoolArgument();
        arguments_.push_back(in_.Text(12));
        a.value = arguments_.back();
        a.pointer = arguments_.back().c_str();
        return a;
    }

    // A record's text, or its tail, where it lies in the pool.
    // REQUIRES: the dictionary holds a record.
    Argument PoolArgument() {
        const StringEntry& r = d_.entries[in_.Below(d_.count)];
        const int field = static_cast<int>(in_.Below(3));
        Argument a;
        a.pointer = r.*kPointers[field] + in_.Below(r.*kLengths[field] + 1);
        a.value = TextAt(a.pointer);
        return a;
    }

    // A load of a file whose records are known.
    void Loaded(uint32_t result, const KnownFile& known) {
        resetsMatcher_ = true;
        if (!known.faithful) {
            FUZZ_CHECK(result == 0 || result == d_.count);
            Resync();
            return;
        }
        FUZZ_CHECK(result == known.records.size());
        mirror_ = known.records;
        ordered_ = known.ordered;
    }

    // Takes the records as loaded, whatever they are: nothing says what a
    // load of those bytes must give beyond the layout, which Check covers.
    void Resync() {
        mirror_.clear();
        for (uint32_t i = 0; i < d_.count; ++i) {
            Mirrored r;
            for (int f = 0; f < 3; ++f) {
                const StringEntry& e = d_.entries[i];
                r.*kFields[f] = Field{TextOf(e.*kPointers[f], e.*kLengths[f]), false};
            }
            mirror_.push_back(r);
        }
        ordered_ = false;
    }

    std::string NewFile(const char* stem, const char* extension) {
        std::string file = fuzz::ScratchFile(stem + std::to_string(files_.size()) + extension);
        fuzz::RemoveFile(file);
        files_.push_back(file);
        return file;
    }

    // ---- Invariants

    void Check() {
        fuzz::CheckLayout(d_);
        FUZZ_CHECK(d_.count == mirror_.size());
        std::vector<std::pair<const char*, const char*>> spans;  // each text with its NUL
        for (uint32_t i = 0; i < d_.count; ++i) {
            const StringEntry& e = d_.entries[i];
            for (int f = 0; f < 3; ++f) {
                const Field& want = mirror_[i].*kFields[f];
                const char* text = e.*kPointers[f];
                const uint32_t length = e.*kLengths[f];
                if (want.blank) {
                    FUZZ_CHECK(text == d_.pool && length == 0);
                    continue;
                }
                FUZZ_CHECK(TextOf(text, length) == want.text);
                FUZZ_CHECK(text[length] == '\0');  // the length is the text's
                // Below the append position: no later append can reach it.
                FUZZ_CHECK(text + length < d_.pool + d_.poolUsed);
                spans.emplace_back(text, text + length + 1);
            }
        }
        std::sort(spans.begin(), spans.end());
        for (size_t i = 1; i < spans.size(); ++i) FUZZ_CHECK(spans[i - 1].second <= spans[i].first);
        if (ordered_) FUZZ_CHECK(fuzz::StrictlyAscending(d_));
        if (resetsMatcher_) FUZZ_CHECK(fuzz::Idle(d_));
        resetsMatcher_ = false;
        fuzz::CheckCursors(d_);
    }

    enum class ReloadSource { kNothing, kKnown, kUnknown };

    Input& in_;
    VKCStringDict d_;
    std::vector<Mirrored> mirror_;
    // The records ascend strictly: only AddStringA and loads of sorted files
    // have changed them.
    bool ordered_ = true;
    bool resetsMatcher_ = false;
    // What ReloadTXTFileA finds at `path`: no file, a known file, or bytes
    // that only the loader can tell about.
    ReloadSource reload_ = ReloadSource::kNothing;
    KnownFile reloadFile_;
    std::vector<std::pair<std::string, KnownFile>> saved_;
    std::vector<std::string> files_;
    // Keeps the input's text arguments of one operation where they are (a
    // deque does not move its elements when it grows).
    std::deque<std::string> arguments_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    Editor editor(in);
    for (int step = 0; step < 48 && !in.empty(); ++step) editor.Step();
    return 0;
}
