#include "dict/ScriptScanner.h"

#include <cstring>

#include "dict/ByteScan.h"

namespace scriptscan {

const unsigned char* NextOpening(const unsigned char* from, const unsigned char* end) {
    const char* at =
        bytescan::ForEach(reinterpret_cast<const char*>(from), reinterpret_cast<const char*>(end),
                          '[', '"', [](const char*) { return false; });
    return reinterpret_cast<const unsigned char*>(at);
}

Scanner::Scanner(const void* data, size_t size)
    : at_(static_cast<const unsigned char*>(data)),
      end_(static_cast<const unsigned char*>(data) + size) {}

bool Scanner::Next(Text* text) {
    const unsigned char* opening = NextOpening(at_, end_);
    if (opening == end_) return false;
    const unsigned char closing = ClosingFor(*opening);
    const unsigned char* begin = opening + 1;
    // Raw bytes up to the end of the block: a NUL is an ordinary byte here.
    const unsigned char* close = static_cast<const unsigned char*>(
        std::memchr(begin, closing, static_cast<size_t>(end_ - begin)));
    if (close == nullptr) return false;
    text->opening = opening;
    text->begin = begin;
    text->length = static_cast<size_t>(close - begin);
    text->closing = closing;
    at_ = close + 1;
    return true;
}

}  // namespace scriptscan
