// Fuzz target: vkcdict's check on an arbitrary dictionary file.
//
// The input is written to a file and checked in-process. The check must not
// fail on any input, its walk over the markers must agree with the library's
// loader (the walk throws when it does not), its status must follow its
// findings, and a file that it passes must load completely, with every record
// found by a lookup of its own ENG text.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "dict/VKCStringDict.h"
#include "fuzz/FuzzSupport.h"
#include "vkcdict/Check.h"
#include "vkcdict/Commands.h"

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
    fuzz::RemoveFile(file);
    return 0;
}
