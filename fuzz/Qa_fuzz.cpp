// Fuzz target: vkcdict qa with every check, a glossary, a script and two
// --code patterns (one with nested repetition, which must still take time
// linear in each text) on arbitrary files.
//
// The input holds, in this order: the glossary (its length in its first two
// bytes, as fuzz::Input::Text reads it), the script (likewise) and the
// dictionary (the rest). qa runs in-process with --partial, so that it checks
// whatever records the loader gives. It must not fail on any input, and its
// status must follow its findings.
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "vkcdict/Commands.h"
#include "vkcdict/qa/Qa.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const std::string glossary = fuzz::ScratchFile("qa-glossary.txt");
    const std::string script = fuzz::ScratchFile("qa-script.txt");
    const std::string dict = fuzz::ScratchFile("qa-dict.txt");
    const std::string out = fuzz::ScratchFile("qa-out.txt");
    fuzz::WriteFileBytes(glossary, in.Text(4096));
    fuzz::WriteFileBytes(script, in.Text(1024));
    fuzz::WriteFileBytes(dict, in.Rest());

    vkcdict::QaOptions options;
    options.files = {dict, dict};  // every key twice: the inconsistent check's grouping
    options.glossaries = {glossary};
    options.scripts = {script};
    options.codes = {"@[A-Za-z]+@", "(?:(\\w+)\\s?)*[.!?]$"};
    options.check = {"unchanged",    "codes",    "numbers",     "length",      "glossary",
                     "inconsistent", "reused",   "spaces",      "punctuation", "punctuation-width",
                     "delimiters",   "encoding", "line-breaks", "line-count"};
    options.maxRatio = 1.5;
    options.partial = true;
    options.format = size % 2 == 0 ? "json" : "text";
    options.positionalPrintf = size % 3 == 0;
    vkcdict::Diagnostics diagnostics(false, nullptr);
    FILE* findings = std::fopen(out.c_str(), "wb");
    FUZZ_CHECK(findings != nullptr);
    int status = vkcdict::kFailed;
    try {
        status = vkcdict::RunQa(options, findings, diagnostics);
    } catch (const std::logic_error& error) {
        fuzz::Fail(error.what(), __FILE__, __LINE__);
    }
    const long written = std::ftell(findings);
    std::fclose(findings);
    FUZZ_CHECK(status == vkcdict::kDone || status == vkcdict::kFound);
    FUZZ_CHECK((status == vkcdict::kFound) == (written > 0));
    for (const std::string& file : {glossary, script, dict, out}) fuzz::RemoveFile(file);
    return 0;
}
