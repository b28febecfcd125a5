// Reasons that reach vkcdict's messages from below it: the C library's
// strerror() (English on Linux, whatever the locale, as vkcdict never sets
// one) and the file-writing library's own words. The library uses the
// standard library only and cannot look up a catalogue, so vkcdict
// translates the reasons it knows where it puts them into a message.
#pragma once

#include <string>

namespace vkcdict {

// `reason` in the user's language when it is one of the known texts (or a
// known text with a known reason in parentheses), else `reason` itself.
std::string SystemText(const std::string& reason);

// The same in UTF-8 whatever the output takes, for the editor's page.
std::string SystemTextUtf8(const std::string& reason);

}  // namespace vkcdict
