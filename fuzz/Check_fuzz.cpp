// Fuzz target: vkcdict's check on an arbitrary dictionary file.
//
// The input is written to a file and checked in-process. The check must not
// fail on any input, its walk over the markers must agree with the library's
// loader (the walk throws when it does not), its status must follow its
// findings, and a file that it passes must load completely, with every record
// found by a lookup of its own ENG text. The lines vkcdict gives the records
// (from the loader's parse when the file loads whole) must be the walk's.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "dict/VKCStringDict.h"
#include "fuzz/FuzzSupport.h"
#include "vkcdict/Check.h"
#include "vkcdict/Commands.h"
#include "vkcdict/files/DictFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = fuzz::ScratchFile("check.txt");
    fuzz::WriteFileBytes(file, std::string(reinterpret_cast<const char*>(data), size));
    vkcdict::Diagnostics diagnostics(false, nullptr);
    vkcdict::CheckOptions options;
    options.files = {file};
    int status = vkcdict::kFailed;
    try {
        status = vkcdict::CheckFiles(options, diagnostics);
    } catch (const std::logic_error& error) {
        fuzz::Fail(error.what(), __FILE__, __LINE__);
    }
    FUZZ_CHECK(status == vkcdict::kDone || status == vkcdict::kFound);
    FUZZ_CHECK((status == vkcdict::kFound) == (diagnostics.errors() != 0));
    if (status == vkcdict::kDone) {
        VKCStringDict dict;
        FUZZ_CHECK(dict.LoadFromTXTFileA(file.c_str()) != 0);
        for (uint32_t i = 0; i < dict.count; ++i) {
            FUZZ_CHECK(dict.FindStringA(dict.entries[i].eng) == &dict.entries[i]);
        }
    }

    vkcdict::DictFile opened;
    if (vkcdict::OpenDictionary(file, vkcdict::LoadPolicy::kReport, diagnostics, &opened)) {
        const std::string bytes(reinterpret_cast<const char*>(data), size);
        const vkcdict::MarkerWalk walk = vkcdict::WalkMarkers(bytes);
        vkcdict::LineCounter lines(bytes);
        FUZZ_CHECK(walk.records.size() == opened.lines.size());
        for (size_t i = 0; i < opened.lines.size(); ++i) {
            FUZZ_CHECK(opened.lines[i] == lines.LineOf(walk.records[i].marker + 2));
        }
    }
    fuzz::RemoveFile(file);
    return 0;
}
