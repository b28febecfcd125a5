#include "vkcdict/DictWriter.h"

#include <cstdio>
#include <cstring>

#include "dict/SaveHeader.h"
#include "dict/TextFormat.h"
#include "platform/Win32.h"

namespace vkcdict {

namespace {

using textformat::Marker;

constexpr size_t kHeld = size_t{1} << 18;  // bytes gathered per write

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

RecordWriter::RecordWriter(SafeOutput& out, const std::string& header) : out_(out) {
    held_.reserve(kHeld + 1024);
    const std::string& line = header.empty() ? NewHeader() : header;
    Append(line.data(), line.size());
}

void RecordWriter::Append(const char* bytes, size_t size) {
    if (held_.size() + size > kHeld && !held_.empty()) {
        out_.Write(held_);
        held_.clear();
    }
    if (size > kHeld) {
        out_.Write(bytes, size);
    } else {
        held_.append(bytes, size);
    }
}

void RecordWriter::Put(const RecordText& r) {
    using namespace textformat;
    char number[32];
    const int length =
        std::snprintf(number, sizeof(number), kRecordNumberFormat, static_cast<int>(next_++));
    Append(number, static_cast<size_t>(length));
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
    out_.Write(held_);
    held_.clear();
}

void WriteDictionary(SafeOutput& out, const std::string& header,
                     const std::vector<RecordText>& records) {
    RecordWriter writer(out, header);
    for (const RecordText& record : records) writer.Put(record);
    writer.Finish();
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
