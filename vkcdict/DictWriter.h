// Writing dictionary text files: the same bytes as the library's
// SaveToTXTFileA (header line, records numbered by position, terminator),
// from records held anywhere, streamed to a SafeOutput.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dict/VKCStringDict.h"
#include "vkcdict/Output.h"

namespace vkcdict {

// One record's three texts. The views must stay valid while it is written.
struct RecordText {
    std::string_view eng;
    std::string_view chi;
    std::string_view remark;
};

inline RecordText TextsOf(const StringEntry& entry) {
    return {std::string_view(entry.eng, entry.engLen), std::string_view(entry.chi, entry.chiLen),
            std::string_view(entry.remark, entry.remarkLen)};
}

// The header line that SaveToTXTFileA would write now.
std::string NewHeader();
// The header line at the start of `bytes` when it is one that SaveToTXTFileA
// writes (label, date and time, two empty lines); empty otherwise.
std::string WrittenHeader(std::string_view bytes);

// Lays records out in the file's format and hands the bytes to a SafeOutput
// in large pieces (one write per record would cost more than the layout).
class RecordWriter {
public:
    // Writes `header` (NewHeader() when empty).
    RecordWriter(SafeOutput& out, const std::string& header);
    // Writes the next record, numbered by its position.
    void Put(const RecordText& record);
    // Writes the terminator and whatever is still held.
    void Finish();

private:
    void Append(const char* bytes, size_t size);

    SafeOutput& out_;
    std::unique_ptr<char[]> held_;  // bytes not yet handed to out_
    size_t used_ = 0;
    uint32_t next_ = 0;
};

// Writes `header` (NewHeader() when empty), the records and the terminator.
void WriteDictionary(SafeOutput& out, const std::string& header,
                     const std::vector<RecordText>& records);

// Section indexes of Storable().
constexpr int kEngSection = 0;
constexpr int kChiSection = 1;
constexpr int kRemarkSection = 2;
// True when `text`, written into section `section` of a dictionary file,
// loads back as itself: it holds no NUL, and neither it nor it followed by
// the closing line break holds the section's end marker.
bool Storable(std::string_view text, int section);

}  // namespace vkcdict
