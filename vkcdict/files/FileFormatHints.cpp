#include "vkcdict/files/FileFormatHints.h"

#include <algorithm>
#include <filesystem>

#include "dict/BinaryFormat.h"
#include "dict/GbkCodec.h"
#include "dict/TextFormat.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

// The file name for a converted copy: d.txt gives d-gbk.txt.
std::string ConvertedName(const std::string& path) {
    const std::filesystem::path name(path);
    std::filesystem::path converted = name;
    converted.replace_filename(name.stem().string() + "-gbk" + name.extension().string());
    return converted.string();
}

// Whether `window` (a cut of the file that may end inside a character) holds
// nothing but characters of the `converter`'s source encoding.
template <class Converter>
bool AllCharacters(std::string_view window, bool cut, Converter converter, bool skipUnmapped) {
    std::string out;
    for (size_t at = 0; at < window.size();) {
        gbk::ConversionError error{};
        if (converter(window.data() + at, window.size() - at, &out, &error)) return true;
        // A sequence cut by the window's end is not held against the bytes.
        if (cut && at + error.offset + 4 > window.size()) return true;
        // A UTF-8 character that GBK lacks is still UTF-8.
        if (!skipUnmapped || error.codePoint == 0xFFFFFFFFu) return false;
        at += error.offset + std::max<size_t>(error.length, 1);
    }
    return true;
}

}  // namespace

std::string EncodingHint(std::string_view bytes, const std::string& path, bool* utf16,
                         size_t seen) {
    const std::string target = " > " + ConvertedName(path);
    if (utf16 != nullptr) *utf16 = true;
    const auto begins = [bytes](std::string_view with) {
        return bytes.substr(0, with.size()) == with;
    };
    if (begins("\xFF\xFE") || begins("\xFE\xFF")) {
        return Tr(
            "the file looks like UTF-16 (it begins with a UTF-16 byte-order mark): a "
            "dictionary must be GBK (code page 936); convert it with: {1}",
            {"iconv -f UTF-16 -t GBK " + path + target});
    }
    if (bytes.size() >= 4 && bytes[0] != '\0' && bytes[1] == '\0' && bytes[2] != '\0' &&
        bytes[3] == '\0') {
        return Tr(
            "the file looks like UTF-16 (a NUL byte follows each of its first "
            "characters): a dictionary must be GBK (code page 936); convert it with: {1}",
            {"iconv -f UTF-16LE -t GBK " + path + target});
    }
    if (bytes.size() >= 4 && bytes[0] == '\0' && bytes[1] != '\0' && bytes[2] == '\0' &&
        bytes[3] != '\0') {
        return Tr(
            "the file looks like UTF-16 (a NUL byte precedes each of its first "
            "characters): a dictionary must be GBK (code page 936); convert it with: {1}",
            {"iconv -f UTF-16BE -t GBK " + path + target});
    }
    if (utf16 != nullptr) *utf16 = false;
    if (begins("\xEF\xBB\xBF")) {
        return Tr(
            "the file looks like UTF-8 (it begins with a UTF-8 byte-order mark): a "
            "dictionary must be GBK (code page 936); convert it with: {1}",
            {"sed '1s/^\\xEF\\xBB\\xBF//' " + path + " | iconv -f UTF-8 -t GBK" + target});
    }
    const std::string_view visible =
        bytes.substr(0, seen != std::string_view::npos ? seen : bytes.find('\0'));
    const auto nonAscii = std::find_if(visible.begin(), visible.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x80;
    });
    if (nonAscii == visible.end()) return "";
    constexpr size_t kWindow = size_t{1} << 20;
    const std::string_view window =
        visible.substr(static_cast<size_t>(nonAscii - visible.begin()), kWindow);
    const bool cut = window.size() == kWindow;
    const auto fromUtf8 = [](const char* d, size_t n, std::string* o, gbk::ConversionError* e) {
        return gbk::FromUtf8(d, n, o, e);
    };
    const auto toUtf8 = [](const char* d, size_t n, std::string* o, gbk::ConversionError* e) {
        return gbk::ToUtf8(d, n, o, e);
    };
    if (!AllCharacters(window, cut, fromUtf8, true) || AllCharacters(window, cut, toUtf8, false)) {
        return "";
    }
    return Tr(
        "the file looks like UTF-8 (its non-ASCII text is valid UTF-8 and not valid GBK): "
        "a dictionary must be GBK (code page 936); convert it with: {1}",
        {"iconv -f UTF-8 -t GBK " + path + target});
}

std::string LineBreakHint(std::string_view bytes, const std::string& path) {
    const std::string_view record(textformat::kRecord.bytes, textformat::kRecord.length);
    // The marker word behind a line feed alone (record marker less its CR).
    if (bytes.find(record) != std::string_view::npos ||
        bytes.find(record.substr(1)) == std::string_view::npos) {
        return "";
    }
    return Tr(
        "the file uses LF line breaks where a dictionary needs CR LF; convert it with: {1} "
        "(or {2}, from the dos2unix package or Git for Windows)",
        {"sed -i 's/\\r*$/\\r/' " + path, "unix2dos " + path});
}

bool HoldsRecordMarkerLine(std::string_view bytes) {
    // The record marker less its CR LF.
    const std::string_view word(textformat::kRecord.bytes + 2, textformat::kRecord.length - 2);
    if (bytes.substr(0, word.size()) == word) return true;
    for (size_t at = bytes.find(word); at != std::string_view::npos;
         at = bytes.find(word, at + 1)) {
        if (at > 0 && bytes[at - 1] == '\n') return true;
    }
    return false;
}

bool LooksLikeImage(std::string_view head, uint64_t size) {
    using namespace binaryformat;
    if (head.size() < kHeadSize + kRecordSize || size > textformat::kMaxDataSize) return false;
    const auto word = [head](uint64_t offset) {
        return DecodeWord(reinterpret_cast<const unsigned char*>(head.data() + offset));
    };
    if (word(kFormatWordOffset) != kFormatWord) return false;
    const uint64_t records = word(kRecordCountOffset);
    const uint64_t block = kHeadSize + kRecordSize * records;
    if (records == 0 || block > size) return false;
    // The first record's texts, as the loader checks every record's.
    for (unsigned text = 0; text < 3; ++text) {
        const uint64_t offset = word(kHeadSize + (kEngOffsetWord + text) * kWordSize);
        const uint64_t length = word(kHeadSize + (kEngLengthWord + text) * kWordSize);
        if (offset + length > size - block) return false;
    }
    return true;
}

// Marked for the catalogue; shown through Tr().
const char* const kImageHint =
    N_("the file looks like a binary dictionary image (its head and first record are an image's); "
       "add --image to read it as one");

}  // namespace vkcdict
