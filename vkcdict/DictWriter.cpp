#include "vkcdict/DictWriter.h"

#include <cstdio>
#include <cstring>

#include "dict/SaveHeader.h"
#include "dict/TextFormat.h"
#include "platform/Win32.h"

namespace vkcdict {

namespace {

using textformat::Marker;

void Put(SafeOutput& out, const Marker& marker) {
    out.Write(marker.bytes, marker.length);
}
void Put(SafeOutput& out, std::string_view text) {
    out.Write(text.data(), text.size());
}

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

void WriteDictionary(SafeOutput& out, const std::string& header,
                     const std::vector<RecordText>& records) {
    using namespace textformat;
    Put(out, header.empty() ? NewHeader() : header);
    char number[32];
    for (size_t i = 0; i < records.size(); ++i) {
        const int length =
            std::snprintf(number, sizeof(number), kRecordNumberFormat, static_cast<int>(i));
        out.Write(number, static_cast<size_t>(length));
        const RecordText& r = records[i];
        Put(out, kEngStart);
        Put(out, r.eng);
        Put(out, kTextEnd);
        Put(out, kEngEnd);
        Put(out, kChiStart);
        Put(out, r.chi);
        Put(out, kTextEnd);
        Put(out, kChiEnd);
        Put(out, kRemarkStart);
        Put(out, r.remark);
        Put(out, kTextEnd);
        Put(out, kRemarkEnd);
    }
    Put(out, kTerminator);
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
