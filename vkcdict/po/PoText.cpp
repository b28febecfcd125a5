// Texts are cut at their line-break bytes and symbols; the runs between them
// go through the codec, so that error offsets count from the text's start.
#include "vkcdict/po/PoText.h"

namespace po {

namespace {

constexpr std::string_view kCrSymbol = "\xE2\x90\x8D";  // U+240D
constexpr std::string_view kLfSymbol = "\xE2\x90\x8A";  // U+240A

// Converts `run`, which begins at `offset` of its text, and appends it.
template <typename Convert>
bool AppendRun(Convert convert, std::string_view run, size_t offset, bool lossy, std::string* out,
               std::string* scratch, gbk::ConversionError* error, size_t* replaced) {
    if (run.empty()) return true;
    gbk::ConversionError at{};
    size_t count = 0;
    const bool ok = convert(run.data(), run.size(), scratch, &at, lossy, &count);
    out->append(*scratch);
    *replaced += count;
    if (!ok && error != nullptr) *error = {at.offset + offset, at.length, at.codePoint};
    return ok;
}

}  // namespace

bool ToPoText(std::string_view text, Edges edges, bool lossy, std::string* out,
              gbk::ConversionError* error, size_t* replaced) {
    out->clear();
    std::string scratch;
    for (size_t at = 0;;) {
        const size_t stop = text.find_first_of("\r\n", at);
        const std::string_view run =
            text.substr(at, stop == std::string_view::npos ? stop : stop - at);
        if (!AppendRun(gbk::ToUtf8, run, at, lossy, out, &scratch, error, replaced)) return false;
        if (stop == std::string_view::npos) return true;
        if (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') {
            const bool edge = edges == Edges::kSymbols && (stop == 0 || stop + 2 == text.size());
            if (edge) {
                out->append(kCrSymbol);
                out->append(kLfSymbol);
            } else {
                out->push_back('\n');
            }
            at = stop + 2;
        } else {
            out->append(text[stop] == '\r' ? kCrSymbol : kLfSymbol);
            at = stop + 1;
        }
    }
}

bool FromPoText(std::string_view text, bool lossy, std::string* out, gbk::ConversionError* error,
                size_t* replaced) {
    out->clear();
    std::string scratch;
    size_t runStart = 0;
    for (size_t at = 0;;) {
        const size_t stop = text.find_first_of("\r\n\xE2", at);
        const std::string_view run =
            text.substr(runStart, stop == std::string_view::npos ? stop : stop - runStart);
        const char* breakBytes = nullptr;
        size_t length = 1;
        if (stop != std::string_view::npos) {
            const std::string_view rest = text.substr(stop, 3);
            if (text[stop] == '\n') {
                breakBytes = "\r\n";
            } else if (text[stop] == '\r' || rest == kCrSymbol) {
                breakBytes = "\r";
                length = text[stop] == '\r' ? 1 : 3;
            } else if (rest == kLfSymbol) {
                breakBytes = "\n";
                length = 3;
            } else {
                at = stop + 1;  // another character beginning with 0xE2
                continue;
            }
        }
        if (!AppendRun(gbk::FromUtf8, run, runStart, lossy, out, &scratch, error, replaced)) {
            return false;
        }
        if (breakBytes == nullptr) return true;
        out->append(breakBytes);
        runStart = at = stop + length;
    }
}

bool FromGbkPoText(std::string_view text, std::string* out, gbk::ConversionError* error) {
    gbk::ConversionError first{};
    if (gbk::CountUndefined(text.data(), text.size(), &first) != 0) {
        if (error != nullptr) *error = first;
        return false;
    }
    out->clear();
    out->reserve(text.size());
    // An LF is never a GBK trail byte, so every one is a line break.
    for (size_t at = 0;;) {
        const size_t lf = text.find('\n', at);
        out->append(text.substr(at, lf == std::string_view::npos ? lf : lf - at));
        if (lf == std::string_view::npos) return true;
        out->append("\r\n");
        at = lf + 1;
    }
}

bool Gb18030FourByte(std::string_view bytes, uint32_t* codePoint) {
    if (bytes.size() < 4) return false;
    const auto byte = [bytes](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const auto digit = [](unsigned char b) { return b >= 0x30 && b <= 0x39; };
    const auto high = [](unsigned char b) { return b >= 0x81 && b <= 0xFE; };
    if (!high(byte(0)) || !digit(byte(1)) || !high(byte(2)) || !digit(byte(3))) return false;
    // Four-byte codes count up from 81 30 81 30; 90 30 81 30 is U+10000.
    const uint32_t linear =
        ((static_cast<uint32_t>(byte(0) - 0x81) * 10 + (byte(1) - 0x30)) * 126 + (byte(2) - 0x81)) *
            10 +
        (byte(3) - 0x30);
    constexpr uint32_t kFirstSupplementary = 189000;  // the linear number of 90 30 81 30
    const uint32_t supplementary = linear - kFirstSupplementary + 0x10000;
    *codePoint = linear >= kFirstSupplementary && supplementary <= 0x10FFFF ? supplementary : 0;
    return true;
}

}  // namespace po
