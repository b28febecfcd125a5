// Loading the substitution tool's one dictionary, and telling the debugger
// output (VKC_DEBUG=1 on POSIX) how it went: how many records loaded, or why
// none did. The tool itself prints nothing either way.
#pragma once

// Loads g_dictionary (tool/RewriteScript.h) from the dictionary text file at
// `path` and sends one message about it to the debugger output: the number of
// records loaded (and whether a broken record cut the load short), or, when
// none loaded, why: the system's reason the file cannot be opened, a folder,
// not a regular file, empty, oversized, a path over the loader's 259 bytes,
// memory that ran out, a broken first record, or no record marker.
void LoadToolDictionary(const char* path);
