// vkcdict decompile IMAGE -o DICT
//
// Writes the records of a binary dictionary image, in the image's order, as
// a dictionary text file. A text that the text file cannot hold (a NUL within
// its stored length, or its section's end marker) is refused, naming the
// record, and nothing is written.
#include <memory>
#include <string>
#include <vector>

#include "vkcdict/Commands.h"
#include "vkcdict/files/DictWriter.h"
#include "vkcdict/files/LoadedDict.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

struct DecompileOptions {
    std::string image;
    std::string output;
};

int RunDecompile(const DecompileOptions& options) {
    Diagnostics d;
    if (!OutputIsNoInput(options.output, {options.image}, d)) return kFailed;
    LoadedDict image;
    if (!image.Open(options.image, true, LoadPolicy::kWhole, d)) return kFailed;
    const VKCStringDict& dict = *image.dict();
    static const char* const kSections[3] = {"ENG", "CHI", "Remark00"};
    std::vector<RecordText> records;
    records.reserve(dict.count);
    for (uint32_t i = 0; i < dict.count; ++i) {
        records.push_back(TextsOf(dict.entries[i]));
        const std::string_view texts[3] = {records.back().eng, records.back().chi,
                                           records.back().remark};
        for (int s = 0; s < 3; ++s) {
            if (Storable(texts[s], s)) continue;
            d.Error(options.image, 0,
                    Tr("record {1}: its {2} text holds a NUL byte or its section's end marker, "
                       "which a dictionary text file cannot hold: nothing written",
                       {std::to_string(i), kSections[s]}));
            return kFound;
        }
    }
    if (!WriteDictionary(options.output, "", records, d)) return kFailed;
    d.Summary(Tr("vkcdict decompile: {1} written to {2}",
                 {CountOf(records.size(), "record"), options.output}));
    return kDone;
}

}  // namespace

void AddDecompileCommand(Command& command) {
    auto options = std::make_shared<DecompileOptions>();
    command.Purpose("Write a binary dictionary image back as a dictionary text file");
    command.Argument("IMAGE", &options->image, "binary dictionary image").Required();
    command.Option("-o,--output", &options->output, "the dictionary text file")
        .TypeName("FILE")
        .Required();
    AddForceFlag(command);
    command.Action([options] { return RunDecompile(*options); });
}

}  // namespace vkcdict
