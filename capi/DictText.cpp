// Dictionary text written piece by piece to a stream: the stream's buffer
// gathers the pieces, so no block of the whole text is needed.
#include "capi/DictText.h"

#include "dict/SaveHeader.h"
#include "dict/TextFormat.h"

namespace capi {

namespace {

uint32_t Records(const VKCStringDict& dict) {
    return dict.entries != nullptr ? dict.count : 0;
}

uint32_t WrittenLength(const char* text, uint32_t length) {
    return text != nullptr ? length : 0;
}

void Put(const textformat::Marker& marker, FILE* out) {
    std::fwrite(marker.bytes, 1, marker.length, out);
}

// A section: its start marker, the text, the line break that closes it, its
// end marker.
void PutSection(const textformat::Marker& start, const char* text, uint32_t length,
                const textformat::Marker& end, FILE* out) {
    Put(start, out);
    if (WrittenLength(text, length) != 0) std::fwrite(text, 1, length, out);
    Put(textformat::kTextEnd, out);
    Put(end, out);
}

}  // namespace

uint64_t DictTextSize(const VKCStringDict& dict, uint64_t headerLength) {
    uint64_t size = headerLength + textformat::kTerminator.length;
    const uint32_t records = Records(dict);
    for (uint32_t i = 0; i < records; ++i) {
        const StringEntry& e = dict.entries[i];
        size += textformat::kFixedRecordBytes + WrittenLength(e.eng, e.engLen) +
                WrittenLength(e.chi, e.chiLen) + WrittenLength(e.remark, e.remarkLen);
    }
    return size;
}

void WriteDictText(const VKCStringDict& dict, FILE* out) {
    using namespace textformat;
    SYSTEMTIME now;
    GetSystemTime(&now);
    char header[saveheader::kBufferSize];
    std::fwrite(header, 1, saveheader::ComposeHeader(now, header), out);
    const uint32_t records = Records(dict);
    for (uint32_t i = 0; i < records; ++i) {
        const StringEntry& e = dict.entries[i];
        // The position, not whatever number the record was loaded with.
        std::fprintf(out, kRecordNumberFormat, static_cast<int>(i));
        PutSection(kEngStart, e.eng, e.engLen, kEngEnd, out);
        PutSection(kChiStart, e.chi, e.chiLen, kChiEnd, out);
        PutSection(kRemarkStart, e.remark, e.remarkLen, kRemarkEnd, out);
    }
    Put(kTerminator, out);
}

}  // namespace capi
