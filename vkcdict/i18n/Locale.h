// Which language and charset the user asked for, read from the environment
// as gettext reads it:
//   - the locale of messages is the first of LC_ALL, LC_MESSAGES and LANG
//     that is set and not empty; none, "C", "POSIX" or "C.<charset>" mean
//     English, whatever LANGUAGE says;
//   - otherwise LANGUAGE, a list of languages separated by colons, is read in
//     order: the first that vkcdict speaks wins (Simplified Chinese: "zh_CN",
//     "zh_SG", "zh_Hans", or "zh" alone; English: "en", "C"), and one it does
//     not speak is passed over; when none matches, or LANGUAGE is empty,
//     the locale itself decides.
// Traditional Chinese ("zh_TW", "zh_HK") gets English: there is no
// catalogue for it, and Simplified characters would not be what was asked.
//
// On Windows, when none of those variables is set, the user's UI language
// decides (Simplified Chinese or English). Messages are encoded for where
// they go: a console in its output code page (65001: UTF-8, 936: GBK; a
// console in another code page cannot show Chinese, so English is used);
// a file or a pipe in GBK when the system's ANSI code page is 936, else in
// UTF-8. On Linux the charset is the locale's (LC_ALL, LC_CTYPE, LANG):
// GBK, GB2312 or GB18030 take GBK, anything else UTF-8.
#pragma once

#include <functional>

#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

struct LocaleChoice {
    Language language = Language::kEnglish;
    Charset charset = Charset::kUtf8;
};

// The POSIX rules above, over `getenv` (a null result: not set). Used on
// Windows too, for the variables when one is set.
LocaleChoice ChooseFromVariables(const std::function<const char*(const char*)>& getenv);

// The choice for this process, on this system.
LocaleChoice ChooseFromEnvironment();

}  // namespace vkcdict
