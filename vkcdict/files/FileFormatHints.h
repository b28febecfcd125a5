// Why a dictionary file might not be what the loader reads: GBK text
// (code page 936) with CR LF line breaks. A file saved as UTF-16 or UTF-8, or
// with LF line breaks, loads nothing or loads texts that are not GBK; these
// hints say what the file looks like instead and how to convert it, so that
// one message replaces what would otherwise be a row of errors.
#pragma once

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

}  // namespace vkcdict
