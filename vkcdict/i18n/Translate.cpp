#include "vkcdict/i18n/Translate.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "dict/GbkCodec.h"
#include "vkcdict/i18n/Catalogue.h"
#include "vkcdict/i18n/Locale.h"
#include "vkcdict/po/PoFile.h"

namespace vkcdict {

namespace {

struct State {
    Language language = Language::kEnglish;
    Charset charset = Charset::kUtf8;
    // English text -> its translation in UTF-8, and encoded for output when
    // that is GBK (`output` empty otherwise: `utf8` serves both).
    std::unordered_map<std::string, std::string> utf8;
    std::unordered_map<std::string, std::string> output;
};

const char* Lookup(const std::unordered_map<std::string, std::string>& translations,
                   const char* message) {
    if (translations.empty()) return message;
    const auto found = translations.find(message);
    return found == translations.end() ? message : found->second.c_str();
}

State& Current() {
    static State state;
    return state;
}

}  // namespace

bool ReadCatalogue(std::string_view bytes, Charset charset,
                   std::unordered_map<std::string, std::string>* translations) {
    translations->clear();
    po::ParseError error{};
    const bool read = po::Parse(
        bytes,
        [&](const po::Entry& entry) {
            if (entry.IsHeader() || entry.obsolete || entry.Fuzzy() || entry.context.present ||
                entry.idPlural.present || entry.str.empty() || entry.str[0].value.empty()) {
                return true;
            }
            std::string text = entry.str[0].value;
            if (charset == Charset::kGbk) {
                std::string converted;
                // A character GBK lacks leaves this message in English.
                if (!gbk::FromUtf8(text.data(), text.size(), &converted)) return true;
                text = std::move(converted);
            }
            translations->emplace(entry.id.value, std::move(text));
            return true;
        },
        &error);
    return read;
}

void SetLanguage(Language language, Charset charset) {
    State& state = Current();
    state.language = Language::kEnglish;
    state.charset = charset;
    state.utf8.clear();
    state.output.clear();
    if (language == Language::kEnglish) return;
    if (ReadCatalogue(i18n::ChineseCatalogue(), Charset::kUtf8, &state.utf8) &&
        (charset == Charset::kUtf8 ||
         ReadCatalogue(i18n::ChineseCatalogue(), charset, &state.output))) {
        state.language = language;
    } else {
        state.utf8.clear();
        state.output.clear();
    }
}

Language CurrentLanguage() {
    return Current().language;
}

void UseLanguageOfEnvironment() {
    const LocaleChoice choice = ChooseFromEnvironment();
    SetLanguage(choice.language, choice.charset);
}

const char* Tr(const char* message) {
    const State& state = Current();
    return Lookup(state.output.empty() ? state.utf8 : state.output, message);
}

const char* TrUtf8(const char* message) {
    return Lookup(Current().utf8, message);
}

size_t ColumnsOf(std::string_view shown) {
    // In GBK a double-byte character is as wide as its two bytes.
    if (Current().charset == Charset::kGbk) return shown.size();
    size_t columns = 0;
    for (size_t i = 0; i < shown.size();) {
        const unsigned char lead = static_cast<unsigned char>(shown[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        uint32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (size_t k = 1; k < length && i + k < shown.size(); ++k) {
            point = (point << 6) | (static_cast<unsigned char>(shown[i + k]) & 0x3F);
        }
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

std::string FillPlaceholders(std::string_view format,
                             std::initializer_list<std::string_view> args) {
    std::string text;
    text.reserve(format.size() + 16 * args.size());
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '{' && i + 2 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9' &&
            format[i + 2] == '}') {
            const size_t index = static_cast<size_t>(format[i + 1] - '1');
            if (index < args.size()) {
                text += *(args.begin() + index);
                i += 2;
                continue;
            }
        }
        text += c;
    }
    return text;
}

std::string Tr(const char* format, std::initializer_list<std::string_view> args) {
    return FillPlaceholders(Tr(format), args);
}

std::string TrUtf8(const char* format, std::initializer_list<std::string_view> args) {
    return FillPlaceholders(TrUtf8(format), args);
}

}  // namespace vkcdict
