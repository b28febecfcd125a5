// Writing dictionary text files: the same bytes as the library's
// SaveToTXTFileA (header line, records numbered by position, terminator),
// from records held anywhere, streamed to a SafeOutput. Every dictionary
// vkcdict writes goes through WriteDictionary, which refuses a file that the
// loader would refuse for its size before writing any of it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dict/VKCStringDict.h"
#include "vkcdict/cli/Diagnostics.h"
#include "vkcdict/files/DictFile.h"

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

// The texts of record `i` of a file being written (0 to count - 1). It is
// asked for each record twice, once to size the file and once to write it;
// the views it returns must stay valid until it is asked again.
using RecordSource = std::function<RecordText(size_t i)>;

// The size in bytes of the file that WriteDictionary writes: a header line of
// `headerBytes`, the `count` records and the terminator.
uint64_t DictionaryBytes(size_t headerBytes, size_t count, const RecordSource& record);

// Writes a dictionary text file to `output` (a SafeOutput, so the target is
// replaced only once the file is complete): `header` (NewHeader() when
// empty), the `count` records numbered by position, the terminator. A file
// of more than `limit` bytes (the loader's limit; tests give a small one)
// would never load: it is refused before anything is written, reported
// against `output` with the size it would have. Returns false, reported,
// when refused or when the output cannot be opened or written; the target
// is then as it was.
bool WriteDictionary(const std::string& output, const std::string& header, size_t count,
                     const RecordSource& record, Diagnostics& diagnostics,
                     uint64_t limit = MaxDictionaryBytes());
// The same for records held in a vector.
bool WriteDictionary(const std::string& output, const std::string& header,
                     const std::vector<RecordText>& records, Diagnostics& diagnostics);

// Section indexes of Storable().
constexpr int kEngSection = 0;
constexpr int kChiSection = 1;
constexpr int kRemarkSection = 2;
// True when `text`, written into section `section` of a dictionary file,
// loads back as itself: it holds no NUL, and neither it nor it followed by
// the closing line break holds the section's end marker.
bool Storable(std::string_view text, int section);

}  // namespace vkcdict
