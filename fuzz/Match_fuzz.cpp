// Fuzz target: piecewise matching.
//
// The input makes a dictionary in ascending order (by AddStringA, or by
// loading a sorted dictionary file) and then a run of MatchNextA calls: mostly
// pieces that continue the ENG text of the record being matched, cut at any
// byte and padded with blanks, and among them pieces of other texts, rejected
// calls and buffers of every size around the piece's. Each call is checked
// against a model of the match kept here on plain strings: the result, the
// bytes handed out, the cursors. Pieces must end on GBK character
// boundaries counted from the start of the CHI text, the call that brings
// the last piece must hand out exactly the rest, a call that hands out
// nothing must leave the buffer alone, and matching never changes a record.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "tests/Samples.h"

namespace {

using fuzz::Input;
using fuzz::TextAt;
using fuzz::TextOf;

struct Entry {
    std::string eng;
    std::string chi;
};

// The length of the character at `at` of a CHI text under the GBK rule: a
// lead byte 0x81..0xFE and a trail byte 0x40..0xFE other than 0x7F make two
// bytes; anything else, a lead byte before the text's end included, one.
size_t CharBytes(const std::string& text, size_t at) {
    const unsigned lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x81 || lead == 0xFF || at + 1 == text.size()) return 1;
    const unsigned trail = static_cast<unsigned char>(text[at + 1]);
    return trail >= 0x40 && trail != 0x7F && trail != 0xFF ? 2 : 1;
}

std::set<size_t> Boundaries(const std::string& text) {
    std::set<size_t> at = {0};
    for (size_t i = 0; i < text.size(); i += CharBytes(text, i)) at.insert(i + CharBytes(text, i));
    return at;
}

// The match as the dictionary should keep it, on the records' strings.
class Model {
public:
    explicit Model(const std::vector<Entry>& records) : records_(records) {}

    bool matching() const { return matching_; }
    const Entry& record() const { return records_[record_]; }
    size_t recordIndex() const { return record_; }
    size_t engAt() const { return eng_; }
    size_t chiAt() const { return chi_; }
    // What this match has handed out so far.
    const std::string& handedOut() const { return handedOut_; }

    // One call with a piece (`text` null for a rejected call) and a buffer of
    // `capacity` bytes (`hasOut` false for a null buffer). Returns the result
    // and puts what is handed out in `out`.
    int Call(const char* text, bool hasOut, uint32_t capacity, std::string* out) {
        if (text == nullptr || !hasOut || capacity == 0) return 0;  // state kept
        const std::string key = fuzz::Trim(text);
        int result = 0;
        if (!matching_) {
            result = Begin(key, capacity, out);
        } else if (record().eng.compare(eng_, key.size(), key) == 0) {
            const std::string after = record().eng.substr(eng_ + key.size());
            if (fuzz::Trim(after).empty()) {
                const std::string rest = record().chi.substr(chi_);
                if (rest.size() < capacity) {
                    *out = rest;
                    result = 2;
                }
                matching_ = false;
            } else {
                result = HandOut(key.size(), capacity, out);
            }
        }
        if (result == 0) matching_ = false;
        if (!matching_ && result != 1) handedOut_.clear();
        return result;
    }

private:
    int Begin(const std::string& key, uint32_t capacity, std::string* out) {
        size_t lo = 0;  // the first record above the key
        while (lo < records_.size() && records_[lo].eng < key) ++lo;
        if (lo == records_.size() || records_[lo].eng == key) return 0;
        if (records_[lo].eng.compare(0, key.size(), key) != 0) return 0;
        matching_ = true;
        record_ = lo;
        eng_ = 0;
        chi_ = 0;
        handedOut_.clear();
        return HandOut(key.size(), capacity, out);
    }

    int HandOut(size_t length, uint32_t capacity, std::string* out) {
        const std::string& chi = record().chi;
        size_t n = 0;
        while (n < length && chi_ + n < chi.size()) n += CharBytes(chi, chi_ + n);
        if (n >= capacity) return 0;
        *out = chi.substr(chi_, n);
        handedOut_ += *out;
        eng_ += length;
        while (eng_ < record().eng.size() && record().eng[eng_] == ' ') ++eng_;
        chi_ += n;
        if (eng_ == record().eng.size()) matching_ = false;  // the key took it all
        return 1;
    }

    const std::vector<Entry>& records_;
    bool matching_ = false;
    size_t record_ = 0;
    size_t eng_ = 0;
    size_t chi_ = 0;
    std::string handedOut_;
};

// A text of the input's bytes, free of markers.
std::string SomeText(Input& in, size_t maxLength) {
    std::string text = in.Text(maxLength);
    const std::string marker(fuzz::kMarkerWord);
    // A marker in a text would cut the dictionary file apart differently.
    while (fuzz::HoldsMarker(text)) text.erase(text.find(marker), marker.size());
    return text;
}

// Builds the dictionary and returns its records in order, as the model sees
// them.
std::vector<Entry> Build(Input& in, VKCStringDict& d) {
    const uint32_t n = in.Below(12);
    std::map<std::string, std::string> records;
    if (in.Flag()) {
        for (uint32_t i = 0; i < n; ++i) {
            const std::string eng = SomeText(in, 12);
            const bool ownChi = in.Flag();
            const std::string chi = SomeText(in, 16);
            StringEntry* added = d.AddStringA(eng.c_str(), ownChi ? chi.c_str() : nullptr, "");
            FUZZ_CHECK(added != nullptr);
            records.emplace(fuzz::Trim(eng), ownChi ? chi : eng);  // an equal key keeps the first
        }
    } else {
        for (uint32_t i = 0; i < n; ++i) {
            const std::string eng = SomeText(in, 12);
            records.emplace(eng, SomeText(in, 16));
        }
        std::vector<samples::Record> file;
        for (const auto& r : records) file.push_back({r.first, r.second, ""});
        FUZZ_CHECK(d.LoadFromTXTStringA(samples::DictionaryText(file).c_str()) == records.size());
    }
    std::vector<Entry> model;
    for (const auto& r : records) model.push_back({r.first, r.second});
    FUZZ_CHECK(d.count == model.size());
    for (uint32_t i = 0; i < d.count; ++i) {
        FUZZ_CHECK(TextAt(d.entries[i].eng) == model[i].eng);
        FUZZ_CHECK(TextOf(d.entries[i].chi, d.entries[i].chiLen) == model[i].chi);
    }
    return model;
}

// The records as the matcher must leave them: where they point, how long
// they are, what they say.
std::string Snapshot(const VKCStringDict& d) {
    std::string s;
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& e = d.entries[i];
        s.append(reinterpret_cast<const char*>(&e), sizeof(e));
        s += TextOf(e.eng, e.engLen) + '|' + TextOf(e.chi, e.chiLen) + '|' +
             TextOf(e.remark, e.remarkLen) + '|';
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    VKCStringDict d;
    const std::vector<Entry> records = Build(in, d);
    const std::string before = Snapshot(d);
    Model model(records);

    for (int call = 0; call < 64 && !in.empty(); ++call) {
        std::string piece;
        const char* text = piece.c_str();
        bool hasOut = true;
        const uint32_t kind = in.Below(8);
        if (kind < 6 && !records.empty()) {
            // A piece of an ENG text: the next one of the record being
            // matched, or the first one of any record. Kind 5 takes all the rest.
            const std::string& eng =
                model.matching() ? model.record().eng : records[in.Below(records.size())].eng;
            const size_t from = model.matching() ? model.engAt() : 0;
            const size_t left = eng.size() - from;
            const size_t length = kind == 5 ? left : in.Below(static_cast<uint32_t>(left + 1));
            piece = std::string(in.Below(3), ' ') + eng.substr(from, length) +
                    std::string(in.Below(3), ' ');
        } else if (kind == 6) {
            const uint32_t which = in.Below(3);
            piece = SomeText(in, 8);
            if (which == 0) text = nullptr;
            if (which == 1) hasOut = false;
        } else {
            piece = SomeText(in, 8);
        }
        if (text != nullptr) text = piece.c_str();

        // A buffer of exactly `capacity` bytes, so that a write past it is caught.
        const uint32_t capacity =
            in.Flag() ? 64 : in.Below(static_cast<uint32_t>(piece.size() + 4));
        char* out = new char[capacity > 0 ? capacity : 1];
        std::memset(out, 0xA5, capacity);

        const size_t chiBefore = model.matching() ? model.chiAt() : 0;
        const std::string handedBefore = model.handedOut();
        std::string expected;
        const int want = model.Call(text, hasOut, capacity, &expected);
        const int32_t got = d.MatchNextA(text, hasOut ? out : nullptr, capacity);

        FUZZ_CHECK(got == want);
        if (got == 0) {
            for (uint32_t i = 0; i < capacity; ++i) FUZZ_CHECK(out[i] == static_cast<char>(0xA5));
        } else {
            FUZZ_CHECK(std::memchr(out, '\0', capacity) != nullptr);
            FUZZ_CHECK(TextAt(out) == expected);
            // The match's record, whether this call began it or went on with it.
            const Entry& r = model.record();
            // The piece ends on a character boundary of the CHI text...
            const size_t end = chiBefore + expected.size();
            FUZZ_CHECK(Boundaries(r.chi).count(end) == 1);
            // ...and the last one is all that was left of it.
            if (got == 2) {
                FUZZ_CHECK(end == r.chi.size());
                FUZZ_CHECK(handedBefore + expected == r.chi);
            }
        }
        delete[] out;

        if (model.matching()) {
            const StringEntry& e = d.entries[model.recordIndex()];
            FUZZ_CHECK(d.matchKey == e.eng + model.engAt());
            FUZZ_CHECK(d.matchValue == e.chi + model.chiAt());
        } else {
            FUZZ_CHECK(fuzz::Idle(d));
        }
        fuzz::CheckCursors(d);
    }
    FUZZ_CHECK(Snapshot(d) == before);
    return 0;
}
