// vkcsubst MODE SCRIPT DICTIONARY OUTPUT
//
// Rewrites a game script with every bracketed or double-quoted text replaced
// by its translation from a dictionary text file. Only MODE "2" acts. The tool
// prints nothing and always ends with status 0; its arguments are echoed to
// the debugger output.
#include <cstring>

#include "platform/Win32.h"
#include "tool/RewriteScript.h"

int main(int argc, char** argv) {
    for (int i = 1; i <= 4 && i < argc; ++i) OutputDebugStringA(argv[i]);
    if (argc != 5) return 0;
    if (std::strcmp(argv[1], "2") != 0) return 0;
    if (g_dictionary.count == 0) g_dictionary.LoadFromTXTFileA(argv[3]);
    RewriteScriptFile(argv[4], argv[2]);
    return 0;
}
