// vkcsubst MODE SCRIPT DICTIONARY OUTPUT
//
// Rewrites a game script with every bracketed or double-quoted text replaced
// by its translation from a dictionary text file. Only MODE "2" acts. The tool
// prints nothing and always ends with status 0; its arguments, and why a
// dictionary did not load or an output was not written, go to the debugger
// output (standard error with VKC_DEBUG=1 on POSIX).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fileio/AtomicFile.h"
#include "platform/Win32.h"
#include "tool/LoadDictionary.h"
#include "tool/RewriteScript.h"

#ifndef _WIN32
#include <langinfo.h>
#include <unistd.h>

#include <clocale>

#include "dict/GbkCodec.h"
#include "platform/DebugOutput.h"
#endif

namespace {

void Debug(const std::string& text) {
    OutputDebugStringA(text.c_str());
}

#ifndef _WIN32
// The loader's messages are GBK: on a terminal that does not read GBK they
// are shown as UTF-8, bytes outside GBK as \xNN (as vkcdict shows texts).
void WriteForTerminal(const char* text) {
    const std::string shown = gbk::ToDisplay(text, std::strlen(text));
    std::fprintf(stderr, "%s\n", shown.c_str());
}

void ConvertDebugOutputForTerminal() {
    if (isatty(STDERR_FILENO) == 0) return;  // a file or pipe gets the bytes themselves
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    for (const char* gbkName : {"GBK", "GB2312", "GB18030", "CP936"}) {
        if (codeset == gbkName) return;
    }
    platform::SetDebugWriter(&WriteForTerminal);
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    if (const char* debug = std::getenv("VKC_DEBUG"); debug != nullptr && debug[0] != '\0') {
        ConvertDebugOutputForTerminal();
    }
#endif
    for (int i = 1; i <= 4 && i < argc; ++i) OutputDebugStringA(argv[i]);
    if (argc != 5) return 0;
    if (std::strcmp(argv[1], "2") != 0) return 0;
    // The translated script would take the dictionary's place.
    if (fileio::SameFile(argv[4], argv[3])) {
        Debug(std::string("vkcsubst: ") + argv[4] +
              ": not written: it is the dictionary; name another output file");
        return 0;
    }
    if (g_dictionary.count == 0) LoadToolDictionary(argv[3]);
    RewriteScriptFile(argv[4], argv[2]);
    return 0;
}
