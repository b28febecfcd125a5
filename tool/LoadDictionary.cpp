#include "tool/LoadDictionary.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "dict/FailureNote.h"
#include "dict/TextFormat.h"
#include "platform/Win32.h"
#include "tool/RewriteScript.h"

namespace {

// Why the dictionary at `path` gave no record, given the loader's note.
std::string WhyNothingLoaded(const char* path, const failurenote::Note& note) {
    // The loader's own causes first: the file itself may be fine.
    switch (note.cause) {
        case failurenote::Cause::kPathTooLong:
            return "the path is longer than the " + std::to_string(MAX_PATH - 1) +
                   " bytes the loader takes (counting the current folder in front of a "
                   "relative name)";
        case failurenote::Cause::kMemory:
            return "out of memory while loading it";
        case failurenote::Cause::kBrokenRecord:
            return "its first record is broken (the loader's message above names the missing "
                   "marker)";
        case failurenote::Cause::kNone:
            break;
    }
    struct stat st;
    if (stat(path, &st) != 0) return std::strerror(errno);
    if ((st.st_mode & S_IFMT) == S_IFDIR) return "it is a folder";
    // A FIFO is not opened here: with no writer, the open would wait for ever.
    if ((st.st_mode & S_IFMT) != S_IFREG) {
        return "not a regular file (a named pipe, a device or a socket)";
    }
    if (st.st_size == 0) return "the file is empty";
    if (static_cast<unsigned long long>(st.st_size) > textformat::kMaxDataSize) {
        return std::to_string(static_cast<unsigned long long>(st.st_size)) +
               " bytes, more than the " + std::to_string(textformat::kMaxDataSize) +
               " a dictionary may hold";
    }
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return std::strerror(errno);
    std::fclose(file);
    return "no record: no record marker line (mirok_res_No. after CR LF)";
}

}  // namespace

void LoadToolDictionary(const char* path) {
    failurenote::Clear();
    const uint32_t records = g_dictionary.LoadFromTXTFileA(path);
    const failurenote::Note note = failurenote::Last();
    try {
        std::string message = std::string("vkcsubst: ") + path + ": ";
        if (records == 0 && g_dictionary.count == 0) {
            message += "dictionary not loaded: " + WhyNothingLoaded(path, note);
        } else {
            message += std::to_string(g_dictionary.count) + " records loaded" +
                       (records == 0 ? ", up to a broken record" : "");
        }
        OutputDebugStringA(message.c_str());
    } catch (const std::bad_alloc&) {
        // The tool goes on, silent as ever, with what loaded.
        OutputDebugStringA("vkcsubst: out of memory");
    }
}
