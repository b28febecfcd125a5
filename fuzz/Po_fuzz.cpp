// Fuzz target: the PO reader, the PO text mapping of po-import and po-export,
// and the GBK codec.
//
// The input is a PO file, well-formed or damaged. Every entry the reader
// hands out, written again by the writer, must read back as the same entry.
// Every string, converted to dictionary text (replacing what GBK lacks),
// must convert to PO text and back to the same bytes. The input's bytes, read
// as GBK, must convert to UTF-8 up to the first undefined sequence, and what
// converted must come back exactly.
#include <cstdint>
#include <string>
#include <string_view>

#include "dict/GbkCodec.h"
#include "fuzz/FuzzSupport.h"
#include "vkcdict/po/PoFile.h"
#include "vkcdict/po/PoText.h"

namespace {

bool SameEntry(const po::Entry& a, const po::Entry& b) {
    if (a.str.size() != b.str.size()) return false;
    for (size_t i = 0; i < a.str.size(); ++i) {
        if (a.str[i].value != b.str[i].value) return false;
    }
    return a.comments == b.comments && a.flags == b.flags && a.references == b.references &&
           a.extracted == b.extracted && a.context.present == b.context.present &&
           a.context.value == b.context.value && a.id.value == b.id.value &&
           a.idPlural.present == b.idPlural.present && a.idPlural.value == b.idPlural.value;
}

void CheckWrittenAgain(const po::Entry& entry) {
    std::string written;
    po::AppendEntry(entry, &written);
    int entries = 0;
    po::ParseError error{};
    const bool read = po::Parse(
        written,
        [&](const po::Entry& again) {
            ++entries;
            FUZZ_CHECK(SameEntry(entry, again));
            return true;
        },
        &error);
    FUZZ_CHECK(read);
    FUZZ_CHECK(entries == 1);
}

// A PO string as a dictionary text, and that text through a PO file again.
void CheckTextMapping(const std::string& value) {
    std::string dictText, poText, back;
    size_t replaced = 0;
    FUZZ_CHECK(po::FromPoText(value, true, &dictText, nullptr, &replaced));
    for (po::Edges edges : {po::Edges::kSymbols, po::Edges::kBreaks}) {
        gbk::ConversionError error{};
        FUZZ_CHECK(po::ToPoText(dictText, edges, false, &poText, &error, &replaced));
        FUZZ_CHECK(po::FromPoText(poText, false, &back, &error, &replaced));
        FUZZ_CHECK(back == dictText);
    }
}

void CheckCodec(const char* data, size_t size) {
    std::string utf8, back, prefix;
    gbk::ConversionError error{};
    if (gbk::ToUtf8(data, size, &utf8, &error)) {
        FUZZ_CHECK(gbk::FromUtf8(utf8.data(), utf8.size(), &back));
        FUZZ_CHECK(back == std::string(data, size));
    } else {
        FUZZ_CHECK(error.offset < size && error.length >= 1 && error.length <= 2);
        FUZZ_CHECK(gbk::ToUtf8(data, error.offset, &prefix));
        FUZZ_CHECK(prefix == utf8);
    }
    size_t replaced = 0;
    FUZZ_CHECK(gbk::ToUtf8(data, size, &utf8, nullptr, true, &replaced));
    FUZZ_CHECK(gbk::FromUtf8(utf8.data(), utf8.size(), &back, nullptr, true, &replaced));
    (void)gbk::ToDisplay(data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    po::ParseError error{};
    po::Parse(
        bytes,
        [](const po::Entry& entry) {
            CheckWrittenAgain(entry);
            for (const po::Text* text : {&entry.context, &entry.id}) CheckTextMapping(text->value);
            for (const po::Text& text : entry.str) CheckTextMapping(text.value);
            return true;
        },
        &error);
    CheckCodec(bytes.data(), bytes.size());
    return 0;
}
