#include "vkcdict/i18n/Translate.h"

#include <cstddef>
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

Charset CurrentCharset() {
    return Current().charset;
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
