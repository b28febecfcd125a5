#include "vkcdict/cli/Display.h"

#include <cstdint>

#include "dict/GbkChar.h"
#include "dict/GbkCodec.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vkcdict {

namespace {

// UTF-8 for the terminal: unchanged on POSIX; on Windows converted to the
// console's code page (characters it lacks become '?').
std::string ToConsole(const std::string& utf8) {
#ifdef _WIN32
    const UINT codePage = GetConsoleOutputCP();
    if (codePage == CP_UTF8 || utf8.empty()) return utf8;
    int wide =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &buffer[0], wide);
    int bytes = WideCharToMultiByte(codePage, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, buffer.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
#else
    return utf8;
#endif
}

}  // namespace

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

bool StderrIsTerminal() {
    static const bool terminal = IsTerminal(stderr);
    return terminal;
}

std::string Quote(const char* data, size_t size, bool terminal, size_t limit) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    size_t shown = 0;
    while (shown < size && shown < limit) shown += gbk::CharLength(bytes + shown, size - shown);
    // Control bytes are escaped between runs that are converted on their own,
    // so that an escape never becomes the second byte of a character.
    std::string text;
    text.reserve(shown + 2);
    text += '"';
    size_t run = 0;
    for (size_t i = 0; i <= shown; ++i) {
        const unsigned char c = i < shown ? bytes[i] : 0;
        if (i < shown && c >= 0x20 && c != 0x7F) continue;
        if (terminal) {
            text += ForStream(std::string(data + run, i - run), terminal);
        } else {
            text.append(data + run, i - run);
        }
        run = i + 1;
        if (i == shown) break;
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\t') {
            text += "\\t";
        } else {
            text += HexBytes(data + i, 1);
        }
    }
    text += "\"";
    if (shown < size) text += "... (" + std::to_string(size) + " bytes)";
    return text;
}

std::string ForStream(const std::string& bytes, bool terminal) {
    return terminal ? ToConsole(gbk::ToDisplay(bytes.data(), bytes.size())) : bytes;
}

std::string ShowName(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    AppendShown(name, &text);
    return text;
}

void AppendShown(std::string_view bytes, std::string* out) {
    size_t run = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c != 0x7F) continue;
        out->append(bytes.data() + run, i - run);
        out->append(HexBytes(bytes.data() + i, 1));
        run = i + 1;
    }
    out->append(bytes.data() + run, bytes.size() - run);
}

size_t Utf8Step(const unsigned char* data, size_t size) {
    const unsigned char c = data[0];
    const size_t n = c < 0x80                 ? 1
                     : c >= 0xC2 && c <= 0xDF ? 2
                     : c >= 0xE0 && c <= 0xEF ? 3
                     : c >= 0xF0 && c <= 0xF4 ? 4
                                              : 0;
    if (n > size) return 0;
    for (size_t k = 1; k < n; ++k) {
        const unsigned char t = data[k];
        if ((t & 0xC0) != 0x80) return 0;
        if (k == 1 && ((c == 0xE0 && t < 0xA0) || (c == 0xED && t > 0x9F) ||
                       (c == 0xF0 && t < 0x90) || (c == 0xF4 && t > 0x8F))) {
            return 0;
        }
    }
    return n;
}

size_t TerminalColumns(std::string_view text, bool gbk) {
    if (gbk) return text.size();
    const auto* data = reinterpret_cast<const unsigned char*>(text.data());
    size_t columns = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8Step(data + i, text.size() - i);
        if (length <= 1) {
            ++columns;
            ++i;
            continue;
        }
        uint32_t point = data[i] & (0x3F >> (length - 1));
        for (size_t k = 1; k < length; ++k) point = point << 6 | (data[i + k] & 0x3F);
        // The East Asian wide and fullwidth blocks: Hangul Jamo, CJK
        // radicals to Yi, Hangul syllables, CJK compatibility ideographs,
        // vertical and compatibility forms, fullwidth forms, and the
        // ideographs beyond the first plane.
        const bool wide =
            (point >= 0x1100 && point <= 0x115F) ||
            (point >= 0x2E80 && point <= 0xA4CF && point != 0x303F) ||
            (point >= 0xAC00 && point <= 0xD7A3) || (point >= 0xF900 && point <= 0xFAFF) ||
            (point >= 0xFE30 && point <= 0xFE4F) || (point >= 0xFF00 && point <= 0xFF60) ||
            (point >= 0xFFE0 && point <= 0xFFE6) || (point >= 0x20000 && point <= 0x3FFFD);
        columns += wide ? 2 : 1;
        i += length;
    }
    return columns;
}

std::string HexBytes(const char* data, size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        text += "\\x";
        text += kHex[c >> 4];
        text += kHex[c & 15];
    }
    return text;
}

}  // namespace vkcdict
