// vkcdict's messages in the user's language. Every text the program shows a
// person (diagnostics, summaries, the help, usage errors) is written in
// English in the code, marked with Tr(), and looked up in the catalogue of
// the chosen language, a gettext PO file built into the program
// (vkcdict/i18n/zh_CN.po). A text the catalogue lacks stays English.
//
// What stays the same in every language, so that scripts and editors still
// read the output: the "FILE:LINE: error:" prefixes and their severity
// words, check IDs, command and option names, and exit statuses. Those are
// never marked.
//
// Placeholders: {1} to {9} stand for the arguments in order, and a
// translation may place them in any order. Any other brace is an ordinary
// character ("{}" stays "{}").
//
// The language is chosen once, before the command line is read (main() calls
// UseLanguageOfEnvironment()); until then, and in the tests unless they say
// otherwise, messages are English. Not thread-safe while the language is
// being set; lookups afterwards are.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vkcdict {

enum class Language { kEnglish, kChinese };

// How messages are encoded on their way out: the catalogue is UTF-8, a
// Windows console with code page 936 (or a Linux locale in GBK) takes GBK.
enum class Charset { kUtf8, kGbk };

// Uses `language` from now on, its messages encoded as `charset`. Chinese
// falls back to English if the built-in catalogue cannot be read (a fault
// of the build, which a test catches).
void SetLanguage(Language language, Charset charset = Charset::kUtf8);
Language CurrentLanguage();
// The charset messages go out in.
Charset CurrentCharset();

// Chooses the language and charset from the environment
// (vkcdict/i18n/Locale.h) and uses them.
void UseLanguageOfEnvironment();

// `message` in the current language: the catalogue's translation, or
// `message` itself. The text returned lives as long as the program.
const char* Tr(const char* message);

// The same, with its placeholders {1}, {2}, ... replaced by `args`. A
// placeholder without an argument is left as it is.
std::string Tr(const char* format, std::initializer_list<std::string_view> args);

// The same in UTF-8 whatever the output takes, for texts that leave in
// UTF-8 (the editor's page). Marked under another name by their callers.
const char* TrUtf8(const char* message);
std::string TrUtf8(const char* format, std::initializer_list<std::string_view> args);

// Marks a message for the catalogue where it is written, for a table built
// before the language is chosen; Tr() translates it where it is shown.
constexpr const char* N_(const char* message) {
    return message;
}

// Replaces the placeholders of an already translated `format`.
std::string FillPlaceholders(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace vkcdict
