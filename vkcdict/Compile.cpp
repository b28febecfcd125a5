// vkcdict compile DICT -o IMAGE
//
// Writes the binary dictionary image that LoadFromBINFileA reads, laid out as
// dict/BinaryFormat.h says: the format word, the record count, the table of
// offsets and lengths, then each record's ENG, CHI and Remark00 texts, each
// followed by a NUL. The loader does not sort, so an image must hold its
// records in strictly ascending key order: a dictionary that is not, or that
// the loader does not load completely, or that would make an image over the
// loader's size limit, is refused and nothing is written.
#include <memory>
#include <string>
#include <vector>

#include "dict/BinaryFormat.h"
#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/DictFile.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

using namespace binaryformat;

struct CompileOptions {
    std::string dict;
    std::string output;
    bool partial = false;
    bool allowNonGbk = false;
};

void PutWord(std::string* bytes, uint64_t value) {
    for (uint64_t i = 0; i < kWordSize; ++i) {
        bytes->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// False, reported, when the records are not in strictly ascending order.
bool InOrder(const DictFile& f, Diagnostics& d) {
    for (uint32_t i = 1; i < f.count(); ++i) {
        const StringEntry& previous = f.record(i - 1);
        const StringEntry& r = f.record(i);
        const int order = f.dict->CompareKey(r.eng, previous.eng);
        if (order == 3) continue;
        const std::string record = std::to_string(i);
        const std::string text = Quote(r.eng, r.engLen, StderrIsTerminal());
        const std::string before = std::to_string(i - 1);
        const std::string line = std::to_string(f.lines[i - 1]);
        d.Error(f.path, f.lines[i],
                order == 1 ? Tr("record {1} is out of place: its ENG text {2} repeats that of "
                                "record {3} (line {4}); an image needs strictly ascending keys: "
                                "put them in order with \"vkcdict sort\"",
                                {record, text, before, line})
                           : Tr("record {1} is out of place: its ENG text {2} sorts before that "
                                "of record {3} (line {4}); an image needs strictly ascending "
                                "keys: put them in order with \"vkcdict sort\"",
                                {record, text, before, line}));
        return false;
    }
    return true;
}

int RunCompile(const CompileOptions& options) {
    Diagnostics d;
    if (!OutputIsNoInput(options.output, {options.dict}, d)) return kFailed;
    DictFile f;
    if (!OpenDictionary(options.dict, PolicyFor(options.partial), d, &f,
                        WritingPolicy(options.allowNonGbk))) {
        return kFailed;
    }
    if (!InOrder(f, d)) return kFound;

    const uint64_t n = f.count();
    uint64_t blockSize = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const StringEntry& r = f.record(i);
        blockSize += uint64_t{r.engLen} + r.chiLen + r.remarkLen + 3;
    }
    const uint64_t imageSize = kHeadSize + kRecordSize * n + blockSize;
    if (imageSize > MaxDictionaryBytes()) {
        d.Error(f.path, 0,
                Tr("the image would take {1} bytes: the loader refuses images over {2} bytes",
                   {std::to_string(imageSize), std::to_string(MaxDictionaryBytes())}));
        return kFound;
    }

    std::string head;
    head.reserve(kHeadSize + kRecordSize * n);
    PutWord(&head, kFormatWord);
    PutWord(&head, n);
    uint64_t offset = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const StringEntry& r = f.record(i);
        const uint64_t lengths[3] = {r.engLen, r.chiLen, r.remarkLen};
        uint64_t words[kWordsPerRecord];
        words[kEngOffsetWord] = offset;
        words[kChiOffsetWord] = offset + lengths[0] + 1;
        words[kRemarkOffsetWord] = words[kChiOffsetWord] + lengths[1] + 1;
        words[kEngLengthWord] = lengths[0];
        words[kChiLengthWord] = lengths[1];
        words[kRemarkLengthWord] = lengths[2];
        for (uint64_t word : words) PutWord(&head, word);
        offset = words[kRemarkOffsetWord] + lengths[2] + 1;
    }

    SafeOutput out;
    if (!out.Open(options.output, d)) return kFailed;
    out.Write(head);
    const char nul = '\0';
    for (uint32_t i = 0; i < n; ++i) {
        const StringEntry& r = f.record(i);
        out.Write(r.eng, r.engLen);
        out.Write(&nul, 1);
        out.Write(r.chi, r.chiLen);
        out.Write(&nul, 1);
        out.Write(r.remark, r.remarkLen);
        out.Write(&nul, 1);
    }
    if (!out.Commit(d)) return kFailed;
    d.Summary(Tr("vkcdict compile: {1}, {2} bytes written to {3}",
                 {CountOf(n, "record"), std::to_string(imageSize), options.output}));
    return kDone;
}

}  // namespace

void AddCompileCommand(Command& command) {
    auto options = std::make_shared<CompileOptions>();
    command.Purpose("Write the binary dictionary image of a sorted dictionary text file");
    command.Argument("DICT", &options->dict, "dictionary text file").Required();
    command.Option("-o,--output", &options->output, "the image").TypeName("IMAGE").Required();
    AddPartialFlag(command, &options->partial);
    AddNonGbkFlag(command, &options->allowNonGbk);
    AddForceFlag(command);
    command.Action([options] { return RunCompile(*options); });
}

}  // namespace vkcdict
