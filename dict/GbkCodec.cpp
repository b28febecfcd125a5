// GBK <-> UTF-8 over two tables asked once of the operating system. Only the
// two per-character queries differ between the builds; the walk over a text,
// its error reporting and its replacements are the same code on both.
#include "dict/GbkCodec.h"

#include "dict/GbkChar.h"

#ifdef _WIN32
#include "platform/Win32.h"  // <windows.h>, lean and without min/max
#else
#include <iconv.h>
#endif

namespace gbk {
namespace {

constexpr unsigned kFirstLead = 0x81;
constexpr unsigned kLastLead = 0xFE;
constexpr unsigned kFirstTrail = 0x40;
constexpr unsigned kLastTrail = 0xFE;
constexpr unsigned kLeads = kLastLead - kFirstLead + 1;
constexpr unsigned kTrails = kLastTrail - kFirstTrail + 1;
constexpr uint32_t kNoCharacter = 0;  // no GBK code maps to U+0000 but 0x00 itself
constexpr uint32_t kInvalidUtf8 = 0xFFFFFFFF;
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// The tables' bounds are those of the character rule (dict/GbkChar.h).
static_assert(IsLeadByte(kFirstLead) && IsLeadByte(kLastLead) && !IsLeadByte(kFirstLead - 1) &&
              !IsLeadByte(kLastLead + 1));
static_assert(IsTrailByte(kFirstTrail) && IsTrailByte(kLastTrail) &&
              !IsTrailByte(kFirstTrail - 1) && !IsTrailByte(kLastTrail + 1));
bool IsPrivateUse(uint32_t cp) {
    return cp >= 0xE000 && cp <= 0xF8FF;
}
bool IsSurrogate(uint32_t cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

// ---- The system's own answer for one code, either way. A code is given as
// one or two bytes; a result of 0 (kNoCharacter) is "not defined".

#ifdef _WIN32

constexpr UINT kCodePage = 936;

class SystemCodec {
public:
    uint32_t Decode(const unsigned char* bytes, int length) const {
        wchar_t wide[2];
        const int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS,
                                          reinterpret_cast<const char*>(bytes), length, wide, 2);
        return n == 1 ? static_cast<uint32_t>(wide[0]) : kNoCharacter;
    }
    // The GBK code (one byte in the low 8 bits or lead << 8 | trail), or 0.
    unsigned Encode(uint32_t cp) const {
        const wchar_t wide = static_cast<wchar_t>(cp);
        char bytes[4];
        BOOL usedDefault = FALSE;
        const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                          sizeof bytes, nullptr, &usedDefault);
        return usedDefault ? 0 : Code(bytes, n);
    }

private:
    static unsigned Code(const char* bytes, int n) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
        if (n == 1) return b[0];
        if (n == 2) return static_cast<unsigned>(b[0]) << 8 | b[1];
        return 0;
    }
};

#else  // glibc iconv

class SystemCodec {
public:
    SystemCodec()
        : toUnicode_(iconv_open("UTF-32LE", "CP936")),
          fromUnicode_(iconv_open("CP936", "UTF-32LE")) {}
    ~SystemCodec() {
        if (toUnicode_ != None()) iconv_close(toUnicode_);
        if (fromUnicode_ != None()) iconv_close(fromUnicode_);
    }
    SystemCodec(const SystemCodec&) = delete;
    SystemCodec& operator=(const SystemCodec&) = delete;

    uint32_t Decode(const unsigned char* bytes, int length) const {
        unsigned char out[8];
        size_t n = Convert(toUnicode_, bytes, static_cast<size_t>(length), out, sizeof out);
        if (n != 4) return kNoCharacter;
        return static_cast<uint32_t>(out[0]) | static_cast<uint32_t>(out[1]) << 8 |
               static_cast<uint32_t>(out[2]) << 16 | static_cast<uint32_t>(out[3]) << 24;
    }
    unsigned Encode(uint32_t cp) const {
        const unsigned char in[4] = {
            static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8),
            static_cast<unsigned char>(cp >> 16), static_cast<unsigned char>(cp >> 24)};
        unsigned char out[8];
        const size_t n = Convert(fromUnicode_, in, sizeof in, out, sizeof out);
        if (n == 1) return out[0];
        if (n == 2) return static_cast<unsigned>(out[0]) << 8 | out[1];
        return 0;
    }

private:
    // What iconv_open returns on failure.
    static iconv_t None() { return reinterpret_cast<iconv_t>(-1); }

    // Bytes written for the whole of `in`, or 0 when the converter stops.
    static size_t Convert(iconv_t cd, const unsigned char* in, size_t inSize, unsigned char* out,
                          size_t outSize) {
        if (cd == None()) return 0;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh state for every code
        char* inAt = reinterpret_cast<char*>(const_cast<unsigned char*>(in));
        char* outAt = reinterpret_cast<char*>(out);
        size_t inLeft = inSize;
        size_t outLeft = outSize;
        if (iconv(cd, &inAt, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1)) return 0;
        if (inLeft != 0) return 0;
        return outSize - outLeft;
    }

    iconv_t toUnicode_;
    iconv_t fromUnicode_;
};

#endif

// ---- The tables: the pairs on which both directions of the system agree.

struct Tables {
    uint16_t fromDouble[kLeads][kTrails];  // code point, or 0
    uint16_t fromSingle[0x100];            // code point for 0x80 to 0xFF, or 0
    uint16_t toGbk[0x10000];               // GBK code (byte, or lead << 8 | trail), or 0

    Tables() : fromDouble(), fromSingle(), toGbk() {
        const SystemCodec system;
        // A candidate: a BMP character outside the private use area whose
        // conversion back gives the same code.
        auto accept = [&](const unsigned char* bytes, int length, unsigned code) -> uint16_t {
            const uint32_t cp = system.Decode(bytes, length);
            if (cp < 0x80 || cp > 0xFFFF || IsSurrogate(cp) || IsPrivateUse(cp)) return 0;
            if (system.Encode(cp) != code) return 0;
            return static_cast<uint16_t>(cp);
        };
        for (unsigned b : {0x80u, 0xFFu}) {
            const unsigned char bytes[1] = {static_cast<unsigned char>(b)};
            fromSingle[b] = accept(bytes, 1, b);
            if (fromSingle[b] != 0) toGbk[fromSingle[b]] = static_cast<uint16_t>(b);
        }
        for (unsigned lead = kFirstLead; lead <= kLastLead; ++lead) {
            for (unsigned trail = kFirstTrail; trail <= kLastTrail; ++trail) {
                if (!IsTrailByte(trail)) continue;
                const unsigned char bytes[2] = {static_cast<unsigned char>(lead),
                                                static_cast<unsigned char>(trail)};
                const uint16_t cp = accept(bytes, 2, lead << 8 | trail);
                fromDouble[lead - kFirstLead][trail - kFirstTrail] = cp;
                if (cp != 0) toGbk[cp] = static_cast<uint16_t>(lead << 8 | trail);
            }
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

// ---- Walking GBK.

struct GbkStep {
    size_t length;  // bytes of the character or of the undefined sequence
    uint32_t cp;    // kNoCharacter when undefined
};

// The character that begins at data[i], data[i] >= 0x80.
GbkStep ReadGbk(const Tables& t, const unsigned char* data, size_t size, size_t i) {
    const unsigned b = data[i];
    if (CharLength(data + i, size - i) == 2) {
        return {2, t.fromDouble[b - kFirstLead][data[i + 1] - kFirstTrail]};
    }
    return {1, t.fromSingle[b]};
}

void AppendUtf8(uint32_t cp, std::string* out) {
    char bytes[3];
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
        return;
    }
    if (cp < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | cp >> 6);
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        out->append(bytes, 2);
        return;
    }
    bytes[0] = static_cast<char>(0xE0 | cp >> 12);
    bytes[1] = static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
    out->append(bytes, 3);
}

// The length of the run of ASCII bytes from data[i].
size_t AsciiRun(const unsigned char* data, size_t size, size_t i) {
    size_t j = i;
    while (j < size && data[j] < 0x80) ++j;
    return j - i;
}

// ---- Walking UTF-8.

struct Utf8Step {
    size_t length;
    uint32_t cp;  // kInvalidUtf8 when the bytes are not UTF-8
};

// The character that begins at data[i], data[i] >= 0x80. An invalid sequence
// is its longest start that could still have become a character.
Utf8Step ReadUtf8(const unsigned char* data, size_t size, size_t i) {
    const unsigned b = data[i];
    size_t need;
    uint32_t cp;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        cp = b & 0x0F;
        if (b == 0xE0) low = 0xA0;   // no overlong forms
        if (b == 0xED) high = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        cp = b & 0x07;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return {1, kInvalidUtf8};
    }
    for (size_t k = 1; k <= need; ++k) {
        if (i + k >= size) return {k, kInvalidUtf8};
        const unsigned c = data[i + k];
        if (c < (k == 1 ? low : 0x80u) || c > (k == 1 ? high : 0xBFu)) return {k, kInvalidUtf8};
        cp = cp << 6 | (c & 0x3F);
    }
    return {need + 1, cp};
}

// Records an undefined sequence; true when the walk goes on (lossy).
bool Undefined(size_t offset, size_t length, uint32_t cp, bool lossy, size_t* count,
               ConversionError* error) {
    if (error != nullptr && *count == 0) *error = ConversionError{offset, length, cp};
    ++*count;
    return lossy;
}

}  // namespace

size_t CountUndefined(const char* data, size_t size, ConversionError* first) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    size_t count = 0;
    size_t i = AsciiRun(bytes, size, 0);
    if (i == size) return 0;  // before the tables: most texts need none
    const Tables& t = GetTables();
    while (i < size) {
        const GbkStep step = ReadGbk(t, bytes, size, i);
        if (step.cp == kNoCharacter) Undefined(i, step.length, 0, true, &count, first);
        i += step.length;
        i += AsciiRun(bytes, size, i);
    }
    return count;
}

bool ToUtf8(const char* data, size_t size, std::string* out, ConversionError* error, bool lossy,
            size_t* replaced) {
    const Tables& t = GetTables();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    out->clear();
    out->reserve(size + size / 2);
    size_t count = 0;
    bool ok = true;
    for (size_t i = 0; i < size;) {
        const size_t ascii = AsciiRun(bytes, size, i);
        out->append(data + i, ascii);
        i += ascii;
        if (i == size) break;
        const GbkStep step = ReadGbk(t, bytes, size, i);
        if (step.cp != kNoCharacter) {
            AppendUtf8(step.cp, out);
        } else if (Undefined(i, step.length, 0, lossy, &count, error)) {
            out->append(kReplacementUtf8, 3);
        } else {
            ok = false;
            break;
        }
        i += step.length;
    }
    if (replaced != nullptr) *replaced = ok ? count : 0;
    return ok;
}

bool FromUtf8(const char* data, size_t size, std::string* out, ConversionError* error, bool lossy,
              size_t* replaced) {
    const Tables& t = GetTables();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    out->clear();
    out->reserve(size);
    size_t count = 0;
    bool ok = true;
    for (size_t i = 0; i < size;) {
        const size_t ascii = AsciiRun(bytes, size, i);
        out->append(data + i, ascii);
        i += ascii;
        if (i == size) break;
        const Utf8Step step = ReadUtf8(bytes, size, i);
        const unsigned code = step.cp <= 0xFFFF ? t.toGbk[step.cp] : 0;
        if (code > 0xFF) {
            out->push_back(static_cast<char>(code >> 8));
            out->push_back(static_cast<char>(code & 0xFF));
        } else if (code != 0) {
            out->push_back(static_cast<char>(code));
        } else if (Undefined(i, step.length, step.cp, lossy, &count, error)) {
            out->push_back('?');
        } else {
            ok = false;
            break;
        }
        i += step.length;
    }
    if (replaced != nullptr) *replaced = ok ? count : 0;
    return ok;
}

std::string ToDisplay(const char* data, size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    const Tables& t = GetTables();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    std::string out;
    out.reserve(size + size / 2);
    for (size_t i = 0; i < size;) {
        const size_t ascii = AsciiRun(bytes, size, i);
        out.append(data + i, ascii);
        i += ascii;
        if (i == size) break;
        const GbkStep step = ReadGbk(t, bytes, size, i);
        if (step.cp != kNoCharacter) {
            AppendUtf8(step.cp, &out);
        } else {
            for (size_t k = 0; k < step.length; ++k) {
                const char escape[4] = {'\\', 'x', kHex[bytes[i + k] >> 4],
                                        kHex[bytes[i + k] & 0xF]};
                out.append(escape, 4);
            }
        }
        i += step.length;
    }
    return out;
}

}  // namespace gbk
