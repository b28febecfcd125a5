#include "vkcdict/i18n/Locale.h"

#include <cstdlib>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace vkcdict {

namespace {

enum class Match { kNone, kEnglish, kChinese };

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// The language part of a locale name: "zh_CN.UTF-8@x" gives "zh_cn",
// "zh-Hans" gives "zh_hans".
std::string LanguagePart(std::string_view name) {
    const size_t end = name.find_first_of(".@");
    std::string part = Lower(name.substr(0, end));
    for (char& c : part) {
        if (c == '-') c = '_';
    }
    return part;
}

Match Recognise(std::string_view name) {
    const std::string part = LanguagePart(name);
    if (part == "zh" || part == "zh_cn" || part == "zh_sg" || part == "zh_hans" ||
        part.rfind("zh_hans_", 0) == 0) {
        return Match::kChinese;
    }
    if (part == "c" || part == "posix" || part == "en" || part.rfind("en_", 0) == 0) {
        return Match::kEnglish;
    }
    return Match::kNone;
}

bool IsCLocale(std::string_view name) {
    const std::string part = LanguagePart(name);
    return part == "c" || part == "posix";
}

const char* FirstSet(const std::function<const char*(const char*)>& getenv,
                     std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = getenv(name);
        if (value != nullptr && *value != '\0') return value;
    }
    return nullptr;
}

Charset CharsetOfName(std::string_view name) {
    const size_t dot = name.find('.');
    if (dot == std::string_view::npos) return Charset::kUtf8;
    std::string charset = Lower(name.substr(dot + 1, name.find('@', dot) - dot - 1));
    if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "cp936" ||
        charset == "euccn" || charset == "euc_cn" || charset == "euc-cn") {
        return Charset::kGbk;
    }
    return Charset::kUtf8;
}

}  // namespace

LocaleChoice ChooseFromVariables(const std::function<const char*(const char*)>& getenv) {
    LocaleChoice choice;
    if (const char* ctype = FirstSet(getenv, {"LC_ALL", "LC_CTYPE", "LANG"})) {
        choice.charset = CharsetOfName(ctype);
    }
    const char* messages = FirstSet(getenv, {"LC_ALL", "LC_MESSAGES", "LANG"});
    if (messages == nullptr || IsCLocale(messages)) return choice;
    if (const char* list = FirstSet(getenv, {"LANGUAGE"})) {
        std::string_view rest(list);
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const Match match = Recognise(rest.substr(0, colon));
            if (match != Match::kNone) {
                choice.language =
                    match == Match::kChinese ? Language::kChinese : Language::kEnglish;
                return choice;
            }
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    if (Recognise(messages) == Match::kChinese) choice.language = Language::kChinese;
    return choice;
}

LocaleChoice ChooseFromEnvironment() {
    const auto getenv = [](const char* name) -> const char* { return std::getenv(name); };
#ifdef _WIN32
    LocaleChoice choice;
    if (FirstSet(getenv, {"LC_ALL", "LC_MESSAGES", "LANG"}) != nullptr) {
        choice = ChooseFromVariables(getenv);
    } else {
        // The UI language: a LANGID whose primary language is Chinese and
        // whose sublanguage is Simplified (China, Singapore).
        const LANGID ui = GetUserDefaultUILanguage();
        if (PRIMARYLANGID(ui) == LANG_CHINESE && (SUBLANGID(ui) == SUBLANG_CHINESE_SIMPLIFIED ||
                                                  SUBLANGID(ui) == SUBLANG_CHINESE_SINGAPORE)) {
            choice.language = Language::kChinese;
        }
    }
    const bool console = _isatty(_fileno(stderr)) != 0 || _isatty(_fileno(stdout)) != 0;
    const UINT codePage = console ? GetConsoleOutputCP() : GetACP();
    if (codePage == 936) {
        choice.charset = Charset::kGbk;
    } else if (codePage == CP_UTF8 || !console) {
        choice.charset = Charset::kUtf8;
    } else {
        choice.language = Language::kEnglish;  // the console cannot show Chinese
    }
    return choice;
#else
    return ChooseFromVariables(getenv);
#endif
}

}  // namespace vkcdict
