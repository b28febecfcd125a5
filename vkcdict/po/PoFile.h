// PO files, gettext's translation catalogues, as po-export writes them and
// po-import reads them: a reader that hands out one entry at a time and a
// writer of single entries. Strings are bytes (a catalogue's own encoding);
// nothing here converts them.
//
// The reader takes what gettext's own tools write and read: comments of every
// kind ("# ", "#.", "#:", "#,", "#|"), msgctxt, msgid, msgid_plural, msgstr
// and msgstr[N], strings split over several lines, the C escapes gettext
// knows (\n \t \r \a \b \f \v \\ \" \' \? and octal and hexadecimal ones),
// obsolete "#~" entries, blank lines anywhere, CR LF line ends and a UTF-8
// byte order mark. It checks the order of keywords and stops at the first
// error with its line: an escape over one byte's value, a line that is no PO
// syntax (shown safely), a file in UTF-16.
//
// Once the header declares a charset of the GBK family, the strings that
// follow are read by the GBK rule (dict/GbkChar.h), as gettext reads them: a
// double-byte character whose trail byte is '\\' (0x5C) is a character, not
// an escape.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace po {

// One string of an entry: its value, with escapes resolved, and where each
// of the quoted pieces it was read from begins, so that a byte of the value
// can be traced to its line.
struct Text {
    struct Piece {
        size_t offset;  // in `value`
        uint64_t line;
    };
    bool present = false;
    std::string value;
    std::vector<Piece> pieces;

    // The line of the piece holding value[offset] (of the keyword when none).
    uint64_t LineOf(size_t offset) const;
};

struct Entry {
    std::vector<std::string> comments;  // translator comments, "# " taken off
    std::vector<uint64_t> commentLines;
    std::vector<std::string> extracted;   // "#." comments
    std::vector<std::string> references;  // "#:" lines, as written
    std::vector<std::string> flags;       // "#," flags, one each
    Text context;                         // msgctxt
    Text id;                              // msgid
    Text idPlural;                        // msgid_plural
    std::vector<Text> str;                // msgstr, or msgstr[0], msgstr[1], ...
    bool obsolete = false;                // its keywords were "#~" lines
    uint64_t line = 0;                    // of its msgctxt or msgid

    bool Fuzzy() const;
    // The header: msgid "" without context.
    bool IsHeader() const { return !context.present && id.value.empty(); }
    void Clear();
};

struct ParseError {
    uint64_t line;
    std::string message;  // in the user's language (vkcdict/i18n/Translate.h)
};

// What a catalogue's header says its strings are.
enum class Charset {
    kUtf8,     // UTF-8, ASCII, the template's "CHARSET", or no charset at all
    kGbk,      // GBK or GB2312 (a subset of GBK): GBK bytes
    kGb18030,  // GBK bytes too, where its four-byte characters lie outside GBK
    kOther,
};

// The charset that the header `entry`'s msgstr declares ("charset=" in its
// Content-Type, any case), with the name as written, upper-cased, in `*name`
// (empty when none is declared).
Charset HeaderCharset(const Entry& header, std::string* name);

// Reads a whole catalogue, handing each complete entry (header and obsolete
// entries included) to `visit`, which may return false to stop the read (the
// result is then false with `*error` untouched). False with `*error` set at a
// syntax error. The entry handed out is valid during the call only.
bool Parse(std::string_view bytes, const std::function<bool(const Entry&)>& visit,
           ParseError* error);

// True when `bytes` look like UTF-16 text: a UTF-16 byte order mark, or NUL
// bytes in every other place among the first bytes. The reader refuses them
// with a message that says so.
bool LooksLikeUtf16(std::string_view bytes);

// Appends `entry` in gettext's layout: translator comments, "#.", "#:" and
// "#," lines, then msgctxt, msgid, msgid_plural and msgstr. A string that
// holds a line break before its end is written as "" followed by one line
// per line of the string. Obsolete entries are written as active ones.
void AppendEntry(const Entry& entry, std::string* out);

// A string's value as it stands between the quotes of a PO file.
void AppendEscaped(std::string_view value, std::string* out);

}  // namespace po
