// Dictionary texts (GBK bytes, lines broken by CR LF) as the texts of PO
// entries (UTF-8, lines broken by LF) and back, such that every text that
// converts comes back byte for byte.
//
// Characters convert by the GBK codec (dict/GbkCodec.h). Line breaks:
//   - CR LF is a line break, "\n" in a PO string, so that what a translator
//     types as a new line becomes the dictionary's line break;
//   - in msgid and msgstr, a CR LF at the very start or end of a text is
//     written as the two symbols U+240D U+240A instead: gettext refuses an
//     entry whose msgid and msgstr do not both begin and both end with "\n",
//     and a source text and its translation need not agree there;
//   - a CR without LF after it is U+240D (SYMBOL FOR CARRIAGE RETURN), an LF
//     without CR before it U+240A (SYMBOL FOR LINE FEED).
// GBK holds neither symbol, so reading them back is unambiguous; a CR that a
// PO file holds itself ("\r") also reads back as CR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dict/GbkCodec.h"

namespace po {

// The byte that joins a msgctxt to its msgid in compiled catalogues: msgfmt
// refuses a msgid or msgstr holding it. No text converts it; po-export
// refuses a record whose ENG or CHI text holds it (a remark, written as
// comments, may).
constexpr char kContextSeparator = '\x04';

// Where the break symbols of a text may stand.
enum class Edges {
    kSymbols,  // msgid, msgstr: a CR LF at either end is written as symbols
    kBreaks,   // comments: every CR LF is a line break
};

// GBK dictionary text to PO text. False at the first undefined GBK sequence,
// with `*error` giving its offset in `gbkText`; with `lossy` each becomes
// U+FFFD and is counted in `*replaced` (added to).
bool ToPoText(std::string_view gbkText, Edges edges, bool lossy, std::string* out,
              gbk::ConversionError* error, size_t* replaced);

// PO text to GBK dictionary text. False at the first character GBK lacks (or
// invalid UTF-8), with `*error` giving its offset in `poText`; with `lossy`
// each becomes '?' and is counted in `*replaced` (added to).
bool FromPoText(std::string_view poText, bool lossy, std::string* out, gbk::ConversionError* error,
                size_t* replaced);

// The text of a catalogue in GBK (po::Charset::kGbk or kGb18030) to GBK
// dictionary text: the bytes stay, each LF becomes CR LF (a CR stays a CR);
// the break symbols do not exist in GBK. False, with `*out` unspecified, when
// the text holds a sequence that is no GBK character (dict/GbkCodec.h's rule),
// with `*error` giving the first one's offset and length in `poText`. Nothing
// is ever replaced: bytes are not guessed at.
bool FromGbkPoText(std::string_view poText, std::string* out, gbk::ConversionError* error);

// Whether a GB18030 four-byte character (lead 0x81-0xFE, 0x30-0x39,
// 0x81-0xFE, 0x30-0x39) begins `bytes`. `*codePoint` is then its code point
// when it is one of the supplementary planes' (lead 0x90-0xE3, reckoned
// algorithmically), else 0 (the Basic Multilingual Plane's four-byte codes
// follow a table).
bool Gb18030FourByte(std::string_view bytes, uint32_t* codePoint);

}  // namespace po
