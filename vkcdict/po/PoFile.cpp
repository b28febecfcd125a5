// The PO reader is a loop over lines with one entry under construction; the
// writer puts out strings as gettext does, one line per line of text.
#include "vkcdict/po/PoFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "dict/GbkChar.h"
#include "vkcdict/i18n/Translate.h"

namespace po {

using vkcdict::Tr;

uint64_t Text::LineOf(size_t offset) const {
    uint64_t line = pieces.empty() ? 0 : pieces.front().line;
    for (const Piece& piece : pieces) {
        if (piece.offset > offset) break;
        line = piece.line;
    }
    return line;
}

bool Entry::Fuzzy() const {
    return std::find(flags.begin(), flags.end(), "fuzzy") != flags.end();
}

void Entry::Clear() {
    comments.clear();
    commentLines.clear();
    extracted.clear();
    references.clear();
    flags.clear();
    for (Text* t : {&context, &id, &idPlural}) {
        t->present = false;
        t->value.clear();
        t->pieces.clear();
    }
    str.clear();
    obsolete = false;
    line = 0;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    return s.substr(i);
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1])) --n;
    return s.substr(0, n);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Bytes of a line that is not PO, in double quotes: printable ASCII as it
// is, every other byte as \xNN, so that nothing of an unknown encoding
// reaches the terminal.
std::string Shown(std::string_view bytes) {
    std::string text = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            text += hex;
        }
    }
    return text + "\"";
}

class Reader {
public:
    Reader(const std::function<bool(const Entry&)>& visit, ParseError* error)
        : visit_(visit), error_(error) {}

    bool Run(std::string_view bytes) {
        if (LooksLikeUtf16(bytes)) {
            line_ = 1;
            return Fail(
                Tr("the file looks like UTF-16; a PO file must be UTF-8 or GBK (iconv -f UTF-16 -t "
                   "UTF-8 converts it)"));
        }
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        size_t at = 0;
        while (at < bytes.size()) {
            size_t end = bytes.find('\n', at);
            if (end == std::string_view::npos) end = bytes.size();
            ++line_;
            std::string_view line = bytes.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // CR LF line ends
            if (!Line(line)) return false;
            at = end + 1;
        }
        return Finish(true);
    }

private:
    bool Fail(const std::string& message) {
        error_->line = line_;
        error_->message = message;
        return false;
    }

    // Hands out the entry under construction, if it has one. At the end of
    // the file (`atEnd`) comments without an entry are dropped.
    bool Finish(bool atEnd) {
        if (!entry_.id.present) {
            if (entry_.context.present) return Fail(Tr("msgctxt without msgid"));
            if (atEnd) entry_.Clear();
            return true;
        }
        if (entry_.str.empty()) return Fail(Tr("msgid without msgstr"));
        if (entry_.IsHeader() && !entry_.obsolete) {
            std::string name;
            const Charset charset = HeaderCharset(entry_, &name);
            gbk_ = charset == Charset::kGbk || charset == Charset::kGb18030;
        }
        if (!visit_(entry_)) return false;
        entry_.Clear();
        open_ = nullptr;
        return true;
    }

    bool Line(std::string_view s) {
        s = TrimLeft(s);
        if (s.empty()) return true;
        bool obsolete = false;
        if (s[0] == '#') {
            if (s.size() >= 2 && s[1] == '~') {
                s = s.substr(2);
                if (!s.empty() && s[0] == '|') return true;  // previous text of an obsolete entry
                s = TrimLeft(s);
                if (s.empty()) return true;
                obsolete = true;
            } else {
                return Comment(s);
            }
        }
        if (s[0] == '"') {
            if (open_ == nullptr) return Fail(Tr("a string without a keyword before it"));
            return String(s, open_);
        }
        return Keyword(s, obsolete);
    }

    bool Comment(std::string_view s) {
        // A comment after a complete entry begins the next one.
        if (!entry_.str.empty() && !Finish(false)) return false;
        open_ = nullptr;
        const char kind = s.size() >= 2 ? s[1] : ' ';
        switch (kind) {
            case '.':
                entry_.extracted.emplace_back(Trim(s.substr(2)));
                return true;
            case ':':
                entry_.references.emplace_back(Trim(s.substr(2)));
                return true;
            case ',':
                for (size_t at = 2; at <= s.size();) {
                    size_t comma = s.find(',', at);
                    if (comma == std::string_view::npos) comma = s.size();
                    const std::string_view flag = Trim(s.substr(at, comma - at));
                    if (!flag.empty()) entry_.flags.emplace_back(flag);
                    at = comma + 1;
                }
                return true;
            case '|':
                return true;  // the previous text of a fuzzy entry: not kept
            default: {
                std::string_view text = s.substr(1);
                if (!text.empty() && text[0] == ' ') text.remove_prefix(1);
                while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
                entry_.comments.emplace_back(text);
                entry_.commentLines.push_back(line_);
                return true;
            }
        }
    }

    bool Keyword(std::string_view s, bool obsolete) {
        size_t n = 0;
        while (n < s.size() && (std::islower(static_cast<unsigned char>(s[n])) || s[n] == '_')) ++n;
        const std::string_view word = s.substr(0, n);
        s = s.substr(n);
        Text* text = nullptr;
        if (word == "msgctxt" || word == "msgid") {
            if (entry_.id.present && entry_.str.empty()) return Fail(Tr("msgid without msgstr"));
            if (!entry_.str.empty() && !Finish(false)) return false;
            if (word == "msgctxt" && entry_.context.present) return Fail(Tr("a second msgctxt"));
            text = word == "msgctxt" ? &entry_.context : &entry_.id;
            entry_.obsolete = obsolete;
            if (entry_.line == 0) entry_.line = line_;
        } else if (word == "msgid_plural") {
            if (!entry_.id.present || !entry_.str.empty() || entry_.idPlural.present) {
                return Fail(Tr("msgid_plural out of place"));
            }
            text = &entry_.idPlural;
        } else if (word == "msgstr") {
            if (!entry_.id.present) return Fail(Tr("msgstr without msgid"));
            const bool indexed = !s.empty() && s[0] == '[';
            if (indexed != entry_.idPlural.present) {
                return Fail(indexed ? Tr("msgstr[N] without msgid_plural")
                                    : Tr("msgstr without [N] after msgid_plural"));
            }
            if (indexed) {
                const size_t close = s.find(']');
                if (close == std::string_view::npos || close < 2)
                    return Fail(Tr("bad msgstr index"));
                size_t index = 0;
                for (size_t i = 1; i < close; ++i) {
                    if (s[i] < '0' || s[i] > '9' || index > 1000)
                        return Fail(Tr("bad msgstr index"));
                    index = index * 10 + static_cast<size_t>(s[i] - '0');
                }
                if (index != entry_.str.size()) return Fail(Tr("msgstr index out of order"));
                s = s.substr(close + 1);
            } else if (!entry_.str.empty()) {
                return Fail(Tr("a second msgstr"));
            }
            entry_.str.emplace_back();
            text = &entry_.str.back();
        } else if (word.empty()) {
            // Most likely not a PO file at all: show how the line begins.
            return Fail(Tr("expected a keyword, a string or a comment; the line begins {1}",
                           {Shown(s.substr(0, 24))}));
        } else {
            return Fail(Tr("unknown keyword '{1}'", {word.substr(0, 40)}));
        }
        text->present = true;
        s = TrimLeft(s);
        if (s.empty() || s[0] != '"') return Fail(Tr("a keyword without its string"));
        return String(s, text);
    }

    // One quoted piece, `s` from its opening quote to the line's end.
    bool String(std::string_view s, Text* text) {
        open_ = text;
        text->pieces.push_back({text->value.size(), line_});
        std::string& out = text->value;
        size_t i = 1;
        for (;;) {
            const size_t stop = QuoteOrEscape(s, i);
            if (stop == std::string_view::npos)
                return Fail(Tr("a string without its closing quote"));
            out.append(s.data() + i, stop - i);
            i = stop + 1;
            if (s[stop] == '"') break;
            if (i >= s.size()) return Fail(Tr("a string without its closing quote"));
            const char c = s[i++];
            switch (c) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'v':
                    out += '\v';
                    break;
                case '\\':
                case '"':
                case '\'':
                case '?':
                    out += c;
                    break;
                case 'x': {
                    unsigned value = 0;
                    size_t digits = 0;
                    while (i < s.size() && HexDigit(s[i]) >= 0) {
                        value =
                            std::min(value << 4 | static_cast<unsigned>(HexDigit(s[i++])), 0x100u);
                        ++digits;
                    }
                    if (digits == 0) return Fail(Tr("\\x without hexadecimal digits"));
                    if (value > 0xFF) {
                        return Fail(Tr("the escape {1} is over \\xFF, the largest byte",
                                       {s.substr(stop, i - stop)}));
                    }
                    out += static_cast<char>(value);
                    break;
                }
                default: {
                    if (c < '0' || c > '7') {
                        return Fail(Tr("unknown escape sequence \\{1}", {std::string(1, c)}));
                    }
                    unsigned value = static_cast<unsigned>(c - '0');
                    for (int k = 0; k < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k) {
                        value = value * 8 + static_cast<unsigned>(s[i++] - '0');
                    }
                    if (value > 0xFF) {
                        return Fail(Tr("the escape {1} is over \\377, the largest byte",
                                       {s.substr(stop, i - stop)}));
                    }
                    out += static_cast<char>(value);
                }
            }
        }
        if (!Trim(s.substr(i)).empty()) return Fail(Tr("text after a string's closing quote"));
        return true;
    }

    // The first '"' or '\\' at or after `from` that is a character of its
    // own (in GBK, not the trail byte of a double-byte character).
    size_t QuoteOrEscape(std::string_view s, size_t from) const {
        if (!gbk_) return s.find_first_of("\"\\", from);
        for (size_t at = from; at < s.size();) {
            if (s[at] == '"' || s[at] == '\\') return at;
            at += gbk::CharLength(s.data() + at, s.size() - at);
        }
        return std::string_view::npos;
    }

    const std::function<bool(const Entry&)>& visit_;
    ParseError* error_;
    Entry entry_;
    Text* open_ = nullptr;  // the string that a string line continues
    uint64_t line_ = 0;
    bool gbk_ = false;  // the header declared a charset of the GBK family
};

void AppendString(std::string_view keyword, std::string_view value, std::string* out) {
    out->append(keyword);
    const size_t firstBreak = value.find('\n');
    if (firstBreak == std::string_view::npos || firstBreak + 1 == value.size()) {
        out->append(" \"");
        AppendEscaped(value, out);
        out->append("\"\n");
        return;
    }
    out->append(" \"\"\n");
    for (size_t at = 0; at < value.size();) {
        size_t end = value.find('\n', at);
        end = end == std::string_view::npos ? value.size() : end + 1;
        out->push_back('"');
        AppendEscaped(value.substr(at, end - at), out);
        out->append("\"\n");
        at = end;
    }
}

void AppendComments(const char* prefix, const std::vector<std::string>& lines, std::string* out) {
    for (const std::string& line : lines) {
        out->append(prefix);
        if (!line.empty()) out->push_back(' ');
        out->append(line);
        out->push_back('\n');
    }
}

}  // namespace

Charset HeaderCharset(const Entry& header, std::string* name) {
    const std::string& text = header.str.empty() ? std::string() : header.str[0].value;
    name->clear();
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("charset=");
    if (at == std::string::npos) return Charset::kUtf8;
    const size_t from = at + 8;
    *name = text.substr(from, text.find_first_of(" ;\r\n", from) - from);
    for (char& c : *name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (*name == "UTF-8" || *name == "ASCII" || *name == "CHARSET") return Charset::kUtf8;
    if (*name == "GBK" || *name == "GB2312") return Charset::kGbk;
    if (*name == "GB18030") return Charset::kGb18030;
    return Charset::kOther;
}

bool LooksLikeUtf16(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") return true;
    // Without a byte order mark: NUL bytes, which UTF-8 text never holds, in
    // one half of the first pairs of bytes and not in the other.
    const size_t pairs = std::min<size_t>(bytes.size(), 64) / 2;
    size_t even = 0, odd = 0;
    for (size_t k = 0; k < pairs; ++k) {
        even += bytes[2 * k] == '\0';
        odd += bytes[2 * k + 1] == '\0';
    }
    return pairs >= 2 && (even == 0) != (odd == 0) && std::max(even, odd) * 4 >= pairs;
}

bool Parse(std::string_view bytes, const std::function<bool(const Entry&)>& visit,
           ParseError* error) {
    Reader reader(visit, error);
    return reader.Run(bytes);
}

void AppendEscaped(std::string_view value, std::string* out) {
    size_t at = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '"'  ? "\\\""
                             : c == '\n' ? "\\n"
                             : c == '\t' ? "\\t"
                             : c == '\r' ? "\\r"
                                         : nullptr;
        if (escape == nullptr) continue;
        out->append(value.data() + at, i - at);
        out->append(escape);
        at = i + 1;
    }
    out->append(value.data() + at, value.size() - at);
}

void AppendEntry(const Entry& entry, std::string* out) {
    AppendComments("#", entry.comments, out);
    AppendComments("#.", entry.extracted, out);
    AppendComments("#:", entry.references, out);
    if (!entry.flags.empty()) {
        out->append("#,");
        for (size_t i = 0; i < entry.flags.size(); ++i) {
            out->append(i == 0 ? " " : ", ");
            out->append(entry.flags[i]);
        }
        out->push_back('\n');
    }
    if (entry.context.present) AppendString("msgctxt", entry.context.value, out);
    AppendString("msgid", entry.id.value, out);
    if (entry.idPlural.present) {
        AppendString("msgid_plural", entry.idPlural.value, out);
        for (size_t i = 0; i < entry.str.size(); ++i) {
            AppendString("msgstr[" + std::to_string(i) + "]", entry.str[i].value, out);
        }
    } else {
        AppendString("msgstr", entry.str.empty() ? std::string_view() : entry.str[0].value, out);
    }
}

}  // namespace po
