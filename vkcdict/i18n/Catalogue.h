// The catalogues built into vkcdict, and the reader that turns one into
// lookups. zh_CN.po is embedded at build time, byte for byte
// (cmake/EmbedText.cmake), and read at start with the program's own PO
// reader, so that Linux and Windows builds share one mechanism and a
// translator can correct the catalogue with any PO editor.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace i18n {
// The bytes of vkcdict/i18n/zh_CN.po; they live as long as the program.
std::string_view ChineseCatalogue();
}  // namespace i18n

// Reads the PO catalogue `bytes` (UTF-8) into English text -> translation,
// each translation encoded as `charset`. Skipped: the header, fuzzy,
// obsolete and empty translations, entries with a context or a plural, and
// a translation that GBK cannot hold when `charset` is GBK. False when the
// catalogue is not valid PO.
bool ReadCatalogue(std::string_view bytes, Charset charset,
                   std::unordered_map<std::string, std::string>* translations);

}  // namespace vkcdict
