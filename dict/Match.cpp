// Piecewise matching: a source text that reaches the caller in pieces is
// matched, piece by piece, against one record's ENG text, and the record's CHI
// text is handed out in pieces of about the same byte length, cut only
// between whole GBK characters. The match state is the pair of cursors
// `matchKey` and `matchValue`; the matcher only reads the texts they point
// into.
#include <cstring>
#include <new>

#include "dict/FailureNote.h"
#include "dict/GbkChar.h"
#include "dict/VKCStringDict.h"

namespace {

// What a record without a CHI text (null `chi`) is matched as.
const char kNoText[1] = {'\0'};

// MatchNextA's results.
constexpr int32_t kNothing = 0;
constexpr int32_t kPiece = 1;
constexpr int32_t kRest = 2;

// The longest piece accepted: its scratch block (length + 4 bytes) and every
// byte count derived from it must fit in 32 bits.
constexpr size_t kLongestPiece = 0xFFFFFFFFu - 4;

// The caller's piece copied into a new block of its length + 4 bytes, for the
// key to be trimmed in. The caller releases the block with delete[]. Throws
// std::bad_alloc when it cannot be allocated.
char* CopyPiece(const char* text) {
    size_t length = std::strlen(text);
    if (length > kLongestPiece) throw std::bad_alloc();
    char* block = new char[length + 4];
    std::memcpy(block, text, length);
    block[length] = '\0';
    return block;
}

// True when the `length` bytes at `text` equal `key`. Stops at the text's
// NUL, so a text shorter than the key is never read past its end.
bool BeginsWith(const char* text, const char* key, uint32_t length) {
    return std::strncmp(text, key, length) == 0;
}

bool OnlyBlanksFrom(const char* text) {
    while (*text == ' ') ++text;
    return *text == '\0';
}

// Hands out the piece of the CHI text at `value` that answers `keyLength`
// bytes of ENG text: the shortest run of whole characters holding at least
// `keyLength` bytes, or all that is left when that is shorter. On success
// `out` holds the piece and a NUL, `key` has moved past the `keyLength` bytes
// and the blanks after them, and `value` past the piece. Returns false,
// changing nothing, when the piece and its NUL do not fit in `capacity` bytes.
bool HandOutPiece(const char*& key, const char*& value, uint32_t keyLength, char* out,
                  uint32_t capacity) {
    uint32_t n = 0;
    while (n < keyLength) {
        uint32_t step = gbk::CharLength(value + n);
        if (step == 0) break;
        n += step;
    }
    if (n >= capacity) return false;
    std::memcpy(out, value, n);
    out[n] = '\0';
    key += keyLength;
    while (*key == ' ') ++key;
    value += n;
    return true;
}

}  // namespace

int32_t VKCStringDict::MatchNextA(const char* text, char* out, uint32_t capacity) {
    if (text == nullptr || out == nullptr || capacity == 0) return kNothing;
    char* block;
    try {
        block = CopyPiece(text);
    } catch (...) {
        // The state is untouched, so a match in progress survives and the
        // caller may pass the same piece again.
        failurenote::NoteMemory();
        return kNothing;
    }
    uint32_t keyLength = 0;
    const char* key = TrimSpacesA(block, 0, &keyLength);

    const char* keyCursor = matchKey;
    const char* valueCursor = matchValue != nullptr ? matchValue : kNoText;
    int32_t result = kNothing;
    if (keyCursor == nullptr || *keyCursor == '\0') {
        // Idle: the match begins on the first record, in the dictionary's
        // order, whose ENG text begins with the key. An exact hit begins none.
        uint32_t position = 0;
        if (entries != nullptr && count != 0 && !SearchEng(key, &position) && position < count) {
            const StringEntry& record = entries[position];
            if (record.eng != nullptr && BeginsWith(record.eng, key, keyLength)) {
                keyCursor = record.eng;
                valueCursor = record.chi != nullptr ? record.chi : kNoText;
                if (HandOutPiece(keyCursor, valueCursor, keyLength, out, capacity)) {
                    result = kPiece;
                }
            }
        }
    } else if (BeginsWith(keyCursor, key, keyLength)) {
        // Matching, and the key continues the ENG text where the last piece
        // ended. A key that does not continue it starts no new match.
        if (OnlyBlanksFrom(keyCursor + keyLength)) {
            size_t rest = std::strlen(valueCursor);
            if (rest < capacity) {
                std::memcpy(out, valueCursor, rest + 1);
                result = kRest;
            }
        } else if (HandOutPiece(keyCursor, valueCursor, keyLength, out, capacity)) {
            result = kPiece;
        }
    }
    delete[] block;

    // The match goes on only after a piece that left ENG text to cover; every
    // other outcome (nothing handed out, the rest handed out, or a first piece
    // that already reached the end of its ENG text) leaves the matcher idle.
    if (result == kPiece && *keyCursor != '\0') {
        matchKey = keyCursor;
        matchValue = valueCursor;
    } else {
        ResetMatch();
    }
    return result;
}
