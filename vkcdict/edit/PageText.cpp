#include "vkcdict/edit/PageText.h"

#include <cstdio>

#include "dict/GbkCodec.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict::edit {

namespace {

// `text` with every CR LF as LF; `*lone` set when a CR or LF stands alone.
std::string WithoutCr(std::string_view text, bool* lone) {
    std::string out;
    out.reserve(text.size());
    *lone = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) *lone = true;
        out += text[i];
    }
    return out;
}

}  // namespace

const char* page::Tr(const char* message) {
    return TrUtf8(message);
}

std::string page::Tr(const char* format, std::initializer_list<std::string_view> args) {
    return TrUtf8(format, args);
}

std::string ReadOnlyReason(std::string_view gbk) {
    if (gbk.find('\0') != std::string_view::npos) return page::Tr("it holds a NUL byte");
    gbk::ConversionError error{};
    if (gbk::CountUndefined(gbk.data(), gbk.size(), &error) != 0) {
        return page::Tr("it holds bytes that are not GBK (at byte {1})",
                        {std::to_string(error.offset)});
    }
    bool lone = false;
    WithoutCr(gbk, &lone);
    if (lone) return page::Tr("it holds a line break that is not CR LF");
    std::string back;
    std::string why;
    if (!FromPage(ToPage(gbk), &back, &why) || back != gbk) {
        return page::Tr("it would not come back byte for byte");
    }
    return "";
}

std::string ToPage(std::string_view gbk) {
    bool lone = false;
    const std::string lf = WithoutCr(gbk, &lone);
    return gbk::ToDisplay(lf.data(), lf.size());
}

bool FromPage(std::string_view utf8, std::string* gbk, std::string* error) {
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\0') {
            *error = page::Tr("the text holds a NUL character");
            return false;
        }
        if (c == '\r') {
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;  // CR LF: LF follows
            *error = page::Tr("the text holds a carriage return without a line feed");
            return false;
        }
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    gbk::ConversionError failed{};
    if (gbk::FromUtf8(crlf.data(), crlf.size(), gbk, &failed)) return true;
    if (failed.codePoint == 0xFFFFFFFFu) {
        *error = page::Tr("the text is not valid UTF-8");
        return false;
    }
    char code[16];
    std::snprintf(code, sizeof(code), "U+%04X", static_cast<unsigned>(failed.codePoint));
    *error = page::Tr("GBK has no code for the character \u201C{1}\u201D ({2})",
                      {std::string_view(crlf.data() + failed.offset, failed.length), code});
    return false;
}

}  // namespace vkcdict::edit
