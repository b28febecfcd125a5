// Why a dictionary file might not be what the loader reads: GBK text
// (code page 936) with CR LF line breaks. A file saved as UTF-16 or UTF-8, or
// with LF line breaks, loads nothing or loads texts that are not GBK; a binary
// image read as text loads nothing; a script given where the dictionary
// belongs holds no record. These hints say what the file looks like instead
// and what to do, so that one message replaces what would otherwise be a row
// of errors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vkcdict {

// "the file looks like UTF-16 ..." or "the file looks like UTF-8 ..." with
// the command that converts `path` to GBK, in the user's language; empty when the bytes look like
// neither. UTF-16: a byte-order mark, or NUL bytes between the first
// characters. UTF-8: a byte-order mark, or non-ASCII text that is valid
// UTF-8 and not valid GBK (judged on the first MiB from the first non-ASCII
// byte, with the project's GBK rule), so a GBK file is never taken for it.
// `*utf16`, when given, says whether the hint is UTF-16's. The loader sees
// the bytes up to the first NUL, or up to `seen` when given (a loaded pool,
// whose texts each end in a NUL of the parse's).
std::string EncodingHint(std::string_view bytes, const std::string& path, bool* utf16 = nullptr,
                         size_t seen = std::string_view::npos);

// "the file uses LF line breaks ..." with the command that converts `path`,
// when the record marker word follows a bare LF and never CR LF; else empty.
std::string LineBreakHint(std::string_view bytes, const std::string& path);

// Whether `bytes` hold a line that begins with the record marker word
// "mirok_res_No.": at the first byte, or after a line feed (with or without
// its CR). Every dictionary text file holds one, whatever its line breaks or
// its other faults; a script has no reason to.
bool HoldsRecordMarkerLine(std::string_view bytes);

// The bytes of a file's head that LooksLikeImage reads.
constexpr size_t kImageHeadBytes = 32;

// Whether a file of `size` bytes that begins with `head` (its first
// kImageHeadBytes bytes, or all of a shorter file) looks like the binary
// image that the library's image loader reads: the format word, a record
// count of at least 1 whose record table fits in the file, a file within the
// loader's size limit, and a first record whose three texts lie inside the
// text block behind the table. A text file never passes: its second byte
// would be a NUL, behind which the text loader sees nothing.
bool LooksLikeImage(std::string_view head, uint64_t size);

// The note for a file that the text loader could not use and that
// LooksLikeImage: it takes --image.
extern const char* const kImageHint;

}  // namespace vkcdict
