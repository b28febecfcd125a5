// Texts between the dictionary's bytes and the page. The page shows and
// edits UTF-8 with LF line breaks; the file holds GBK with CR LF. A stored
// text is editable only when that round trip gives back every byte, so a
// text the page could not show exactly is never rewritten by accident.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace vkcdict::edit {

namespace page {
// A message for the page, in the user's language as Tr() gives it
// (vkcdict/i18n/Translate.h) but always in UTF-8, the page's encoding,
// whatever the console takes (Tr() gives GBK for a console in code page
// 936). Marked as Tr() is, so the catalogue finds these messages; the text
// returned by the first form lives as long as the program.
const char* Tr(const char* message);
std::string Tr(const char* format, std::initializer_list<std::string_view> args);
}  // namespace page

// Why the page may not edit the stored text `gbk` (a page::Tr() message,
// shown after the page's own "read-only: "), or empty when the text
// round-trips: invalid GBK, a NUL byte, a CR or LF that is not part of
// CR LF, or any other text that would not come back as the same bytes.
std::string ReadOnlyReason(std::string_view gbk);

// `gbk` as the page shows it: UTF-8, CR LF as LF. Bytes that are not GBK
// show as \xNN (such a text is read-only).
std::string ToPage(std::string_view gbk);

// The page's text `utf8` as the file stores it: LF (and CR LF) as CR LF,
// in GBK. False, with `*error` naming the cause (a page::Tr() message), for
// a character GBK cannot encode (named with its code point), a NUL, a lone
// CR, or bytes that are not UTF-8.
bool FromPage(std::string_view utf8, std::string* gbk, std::string* error);

}  // namespace vkcdict::edit
