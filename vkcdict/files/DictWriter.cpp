#include "vkcdict/files/DictWriter.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "dict/SaveHeader.h"
#include "dict/TextFormat.h"
#include "platform/Win32.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

using textformat::Marker;

constexpr size_t kHeld = size_t{1} << 18;  // bytes gathered per write

// Lays records out in the file's format and hands the bytes to a SafeOutput
// in large pieces (one write per record would cost more than the layout).
class RecordWriter {
public:
    // Writes `header`, which must not be empty.
    RecordWriter(SafeOutput& out, const std::string& header);
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;
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

}  // namespace

std::string NewHeader() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    char buffer[saveheader::kBufferSize];
    const size_t length = saveheader::ComposeHeader(now, buffer);
    return std::string(buffer, length);
}

std::string WrittenHeader(std::string_view bytes) {
    // The format's words up to the label, the label, then the time as
    // "YYYY-MM-DD hh:mm:ss" and three line breaks.
    const std::string_view format(textformat::kHeaderFormat);
    const std::string prefix =
        std::string(format.substr(0, format.find("%s"))) + textformat::kFormatLabel + " ";
    const std::string time = "dddd-dd-dd dd:dd:dd\r\n\r\n\r\n";
    if (bytes.size() < prefix.size() + time.size() || bytes.substr(0, prefix.size()) != prefix) {
        return "";
    }
    for (size_t i = 0; i < time.size(); ++i) {
        const char c = bytes[prefix.size() + i];
        if (time[i] == 'd' ? !(c >= '0' && c <= '9') : c != time[i]) return "";
    }
    return std::string(bytes.substr(0, prefix.size() + time.size()));
}

RecordWriter::RecordWriter(SafeOutput& out, const std::string& header)
    : out_(out), held_(new char[kHeld]) {
    Append(header.data(), header.size());
}

void RecordWriter::Append(const char* bytes, size_t size) {
    if (size > kHeld - used_) {
        out_.Write(held_.get(), used_);
        used_ = 0;
        if (size > kHeld) {
            out_.Write(bytes, size);
            return;
        }
    }
    if (size != 0) std::memcpy(held_.get() + used_, bytes, size);  // an empty text may have no data
    used_ += size;
}

void RecordWriter::Put(const RecordText& r) {
    using namespace textformat;
    // The number line as kRecordNumberFormat writes it, without a printf
    // (which took a sixth of a large sort's time).
    static_assert(
        std::string_view(kRecordNumberFormat) == std::string_view("\r\nmirok_res_No.%08d\r\n") &&
            std::string_view(kRecord.bytes, kRecord.length) ==
                std::string_view("\r\nmirok_res_No."),
        "the number line is the record marker, eight digits or more, CR LF");
    char digits[16];
    size_t n = 0;
    for (uint32_t number = next_++; number != 0 || n < kRecordNumberDigits; number /= 10) {
        digits[sizeof(digits) - ++n] = static_cast<char>('0' + number % 10);
    }
    Append(kRecord.bytes, kRecord.length);
    Append(digits + sizeof(digits) - n, n);
    Append(kTextEnd.bytes, kTextEnd.length);
    const auto text = [this](const Marker& start, std::string_view text, const Marker& end) {
        Append(start.bytes, start.length);
        Append(text.data(), text.size());
        Append(kTextEnd.bytes, kTextEnd.length);
        Append(end.bytes, end.length);
    };
    text(kEngStart, r.eng, kEngEnd);
    text(kChiStart, r.chi, kChiEnd);
    text(kRemarkStart, r.remark, kRemarkEnd);
}

void RecordWriter::Finish() {
    Append(textformat::kTerminator.bytes, textformat::kTerminator.length);
    out_.Write(held_.get(), used_);
    used_ = 0;
}

uint64_t DictionaryBytes(size_t headerBytes, size_t count, const RecordSource& record) {
    uint64_t bytes = headerBytes + textformat::kTerminator.length;
    for (size_t i = 0; i < count; ++i) {
        const RecordText r = record(i);
        bytes += textformat::kFixedRecordBytes + r.eng.size() + r.chi.size() + r.remark.size();
    }
    // Numbers past the eight digits of kFixedRecordBytes take one more digit
    // for each power of ten they reach.
    uint64_t power = 1;
    for (size_t d = 0; d < textformat::kRecordNumberDigits; ++d) power *= 10;
    for (; power < count; power *= 10) bytes += count - power;
    return bytes;
}

bool WriteDictionary(const std::string& output, const std::string& header, size_t count,
                     const RecordSource& record, Diagnostics& d, uint64_t limit) {
    // The header is made once, so that the file written is the file sized.
    const std::string line = header.empty() ? NewHeader() : header;
    const uint64_t bytes = DictionaryBytes(line.size(), count, record);
    if (bytes > limit) {
        d.Error(output, 0,
                Tr("the dictionary would take {1} bytes: the loader refuses files over {2} bytes; "
                   "nothing written",
                   {std::to_string(bytes), std::to_string(limit)}));
        return false;
    }
    SafeOutput out;
    if (!out.Open(output, d)) return false;
    RecordWriter writer(out, line);
    for (size_t i = 0; i < count; ++i) writer.Put(record(i));
    writer.Finish();
    return out.Commit(d);
}

bool WriteDictionary(const std::string& output, const std::string& header,
                     const std::vector<RecordText>& records, Diagnostics& d) {
    return WriteDictionary(
        output, header, records.size(), [&records](size_t i) { return records[i]; }, d);
}

bool Storable(std::string_view text, int section) {
    static const Marker* const kEnds[3] = {&textformat::kEngEnd, &textformat::kChiEnd,
                                           &textformat::kRemarkEnd};
    if (text.find('\0') != std::string_view::npos) return false;
    const Marker& end = *kEnds[section];
    const std::string_view marker(end.bytes, end.length);
    if (text.find(marker) != std::string_view::npos) return false;
    // The closing line break may complete a marker that the text begins.
    const size_t tail = text.size() > marker.size() ? text.size() - marker.size() : 0;
    std::string last(text.substr(tail));
    last += "\r\n";
    return last.find(marker) == std::string::npos;
}

}  // namespace vkcdict
