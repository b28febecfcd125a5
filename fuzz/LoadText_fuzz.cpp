// Fuzz target: the dictionary text loader, lookups, and a save and reload.
//
// The input is dictionary text, well-formed or damaged. It is loaded from
// memory and, as a file, from disk, and both loads must agree. Every record
// must be a piece of the input cut out between its markers. Lookups of the
// records' ENG texts and of the input's lines must behave. A save must load
// back into the same records, by position and texts, whenever no text holds
// a marker. A reload of a dictionary loaded from memory has no file and must
// leave it empty.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace {

using fuzz::TextAt;
using fuzz::TextOf;

const std::string kRecordMarker("\r\nmirok_res_No.");
const std::string kHeaderStart("Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 ");
const std::string kTerminator("\r\n\r\n\r\nmirok_res_All_End\r\n");

// The start and end markers of the ENG, CHI and Remark00 sections.
struct Section {
    const char* start;
    const char* end;
};
const Section kSections[3] = {
    {"mirok_res_ENG_Start\r\n", "mirok_res_ENG_End\r\n"},
    {"mirok_res_CHI_Start\r\n", "mirok_res_CHI_End\r\n"},
    {"mirok_res_Remark00_Start\r\n", "mirok_res_Remark00_End\r\n"},
};

const char* TextOfSection(const StringEntry& e, int s) {
    switch (s) {
        case 0:
            return e.eng;
        case 1:
            return e.chi;
        default:
            return e.remark;
    }
}
uint32_t LengthOfSection(const StringEntry& e, int s) {
    return s == 0 ? e.engLen : s == 1 ? e.chiLen : e.remarkLen;
}

bool At(const std::string& data, size_t position, const std::string& what) {
    return position <= data.size() && data.compare(position, what.size(), what) == 0;
}

// What a loader sees of the input: the bytes before the first NUL, then the
// CR LF it appends behind the data it took. The string loader takes the text
// up to its NUL, so it always sees that CR LF; the file loader takes the whole
// file, so a NUL in the file hides it.
std::string VisibleToStringLoad(const std::string& input) {
    return input.substr(0, input.find('\0')) + "\r\n";
}
std::string VisibleToFileLoad(const std::string& input) {
    const size_t nul = input.find('\0');
    return nul == std::string::npos ? input + "\r\n" : input.substr(0, nul);
}

size_t CountRecordMarkers(const std::string& visible) {
    size_t n = 0;
    for (size_t at = visible.find(kRecordMarker); at != std::string::npos;
         at = visible.find(kRecordMarker, at + kRecordMarker.size())) {
        ++n;
    }
    return n;
}

// True when visible[from, to) holds the head of a record: a record marker,
// the rest of its line through CR LF, and the ENG start line.
bool HoldsRecordHead(const std::string& visible, size_t from, size_t to) {
    const std::string engStart(kSections[0].start);
    for (size_t at = visible.find(kRecordMarker, from); at != std::string::npos && at < to;
         at = visible.find(kRecordMarker, at + 1)) {
        const size_t lineEnd = visible.find("\r\n", at + kRecordMarker.size());
        if (lineEnd == std::string::npos) return false;
        if (At(visible, lineEnd + 2, engStart) && lineEnd + 2 + engStart.size() <= to) return true;
    }
    return false;
}

// Each loaded text stands in the input right behind its start marker, and its
// end marker follows the two bytes that close the text (or, for an empty
// text, follows at once or after one byte). Texts lie in file order. No text
// runs into another record's head (a record marker line and the ENG start
// line) on its way to its end marker: such a record is broken.
void CheckCutFromInput(const VKCStringDict& d, const std::string& visible) {
    FUZZ_CHECK(d.entryCapacity == CountRecordMarkers(visible));
    size_t previousEnd = 0;
    for (uint32_t i = 0; i < d.count; ++i) {
        const StringEntry& e = d.entries[i];
        for (int s = 0; s < 3; ++s) {
            const Section& section = kSections[s];
            const char* text = TextOfSection(e, s);
            const uint32_t length = LengthOfSection(e, s);
            const size_t offset = static_cast<size_t>(text - d.pool);
            const std::string start(section.start);
            const std::string end(section.end);
            FUZZ_CHECK(offset >= start.size() && offset + length <= visible.size());
            FUZZ_CHECK(At(visible, offset - start.size(), start));
            size_t endAt = offset + length + 2;
            if (length == 0 && At(visible, offset, end)) {
                endAt = offset;
            } else if (length == 0 && At(visible, offset + 1, end)) {
                endAt = offset + 1;
            }
            FUZZ_CHECK(At(visible, endAt, end));
            FUZZ_CHECK(!HoldsRecordHead(visible, offset - 2, endAt));
            FUZZ_CHECK(std::memcmp(text, visible.data() + offset, length) == 0);
            FUZZ_CHECK(text[length] == '\0');
            FUZZ_CHECK(offset >= previousEnd);
            previousEnd = offset + length;
        }
    }
}

bool SameRecords(const VKCStringDict& a, const VKCStringDict& b) {
    if (a.count != b.count) return false;
    for (uint32_t i = 0; i < a.count; ++i) {
        for (int s = 0; s < 3; ++s) {
            if (TextOf(TextOfSection(a.entries[i], s), LengthOfSection(a.entries[i], s)) !=
                TextOf(TextOfSection(b.entries[i], s), LengthOfSection(b.entries[i], s))) {
                return false;
            }
        }
    }
    return true;
}

// The same records at the same offsets of the pool.
bool SameLayout(const VKCStringDict& a, const VKCStringDict& b) {
    if (a.count != b.count || a.entryCapacity != b.entryCapacity) return false;
    for (uint32_t i = 0; i < a.count; ++i) {
        for (int s = 0; s < 3; ++s) {
            if (TextOfSection(a.entries[i], s) - a.pool !=
                    TextOfSection(b.entries[i], s) - b.pool ||
                LengthOfSection(a.entries[i], s) != LengthOfSection(b.entries[i], s)) {
                return false;
            }
        }
    }
    return true;
}

bool AnyMarker(const VKCStringDict& d) {
    for (uint32_t i = 0; i < d.count; ++i) {
        for (int s = 0; s < 3; ++s) {
            if (fuzz::HoldsMarker(
                    TextOf(TextOfSection(d.entries[i], s), LengthOfSection(d.entries[i], s)))) {
                return true;
            }
        }
    }
    return false;
}

void CheckLookups(VKCStringDict& d, const std::string& visible) {
    for (uint32_t i = 0; i < d.count && i < 64; ++i) {
        const std::string eng = TextAt(d.entries[i].eng);
        fuzz::CheckLookup(d, eng.c_str());
        fuzz::CheckLookup(d, ("  " + eng + " ").c_str());
    }
    // Every line of the input is a candidate text, ENG lines among them.
    size_t lines = 0;
    for (size_t from = 0; from <= visible.size() && lines < 64; ++lines) {
        size_t to = visible.find("\r\n", from);
        if (to == std::string::npos) to = visible.size();
        fuzz::CheckLookup(d, visible.substr(from, to - from).c_str());
        from = to + 2;
    }
    uint32_t absent = 0;
    std::memcpy(&absent, visible.data(), std::min<size_t>(4, visible.size()));
    fuzz::CheckNumericLookups(d, absent ^ 0x5A5A5A5Au);
}

// Saves `d` to a new file, checks what was written and returns the file.
std::string Save(VKCStringDict& d, const char* name) {
    const std::string file = fuzz::ScratchFile(name);
    fuzz::RemoveFile(file);
    const int32_t written = d.SaveToTXTFileA(file.c_str());
    const std::string saved = fuzz::ReadFileBytes(file);
    FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) == saved.size());
    FUZZ_CHECK(saved.compare(0, kHeaderStart.size(), kHeaderStart) == 0);
    FUZZ_CHECK(saved.size() >= kTerminator.size() &&
               saved.compare(saved.size() - kTerminator.size(), kTerminator.size(), kTerminator) ==
                   0);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string visible = VisibleToStringLoad(input);

    VKCStringDict d;
    const uint32_t loaded = d.LoadFromTXTStringA(input.c_str());
    FUZZ_CHECK(loaded == 0 || loaded == d.count);
    FUZZ_CHECK(d.path[0] == '\0' && fuzz::Idle(d));
    fuzz::CheckLayout(d);
    CheckCutFromInput(d, visible);

    // The same bytes as a file: the same records at the same places, unless
    // a NUL hides the line break that the string loader sees behind the text.
    const std::string file = fuzz::ScratchFile("input.txt");
    fuzz::WriteFileBytes(file, input);
    {
        VKCStringDict fromFile;
        const uint32_t loadedFromFile = fromFile.LoadFromTXTFileA(file.c_str());
        FUZZ_CHECK(loadedFromFile == 0 || loadedFromFile == fromFile.count);
        FUZZ_CHECK(std::strcmp(fromFile.path, file.c_str()) == 0 && fuzz::Idle(fromFile));
        fuzz::CheckLayout(fromFile);
        CheckCutFromInput(fromFile, VisibleToFileLoad(input));
        if (input.find('\0') == std::string::npos) {
            FUZZ_CHECK(loadedFromFile == loaded && SameLayout(d, fromFile));
        }
    }
    fuzz::RemoveFile(file);

    CheckLookups(d, visible);

    const std::string saved = Save(d, "saved.txt");
    {
        VKCStringDict reloaded;
        const uint32_t again = reloaded.LoadFromTXTFileA(saved.c_str());
        fuzz::CheckLayout(reloaded);
        if (!AnyMarker(d)) {
            FUZZ_CHECK(again == d.count);
            FUZZ_CHECK(SameRecords(d, reloaded));
        }
        // The reload names the saved file: the same load again.
        FUZZ_CHECK(reloaded.ReloadTXTFileA() == again);
        fuzz::CheckLayout(reloaded);
    }
    fuzz::RemoveFile(saved);

    // Loaded from memory, the dictionary names no file: a reload leaves it
    // with no pool and no records, and it still saves (header and terminator).
    FUZZ_CHECK(d.ReloadTXTFileA() == 0);
    FUZZ_CHECK(d.pool == nullptr && d.entries == nullptr && d.entryBlock == nullptr &&
               d.count == 0);
    fuzz::CheckLayout(d);
    fuzz::CheckLookup(d, visible.substr(0, 16).c_str());
    fuzz::RemoveFile(Save(d, "empty.txt"));
    return 0;
}
