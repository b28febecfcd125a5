#include <cstring>

#include "fileio/EntryPoints.h"
#include "fileio/FileRange.h"

int32_t WriteFileRangeA(const char* path, const void* data, int64_t offset, uint64_t count,
                        DWORD creationDisposition, CreateFileA_fn create, WriteFile_fn write,
                        SetFileAttributesA_fn attributes, SetFilePointer_fn seek,
                        CloseHandle_fn close) {
    if (path == nullptr || data == nullptr) return -1;
    const fileio::FileEntryPoints os =
        fileio::ResolveFileEntryPoints(create, nullptr, write, nullptr, seek, close, attributes);
    HANDLE file = INVALID_HANDLE_VALUE;
    try {
        // A read-only file would refuse the open; a missing one is no failure.
        os.setFileAttributes(path, FILE_ATTRIBUTE_NORMAL);
        file = os.createFile(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, creationDisposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return -1;

        // Appending is a move to the end, never an append mode. A failed move
        // (a negative position) is not detected: the write begins at the start.
        if (offset == -1) {
            os.setFilePointer(file, 0, nullptr, FILE_END);
        } else {
            fileio::SeekFromStart(os, file, offset);
        }

        // Only a count of 0 as a whole means "up to the NUL"; 2^32 writes nothing.
        const DWORD length = count == 0
                                 ? static_cast<DWORD>(std::strlen(static_cast<const char*>(data)))
                                 : static_cast<DWORD>(count);
        DWORD written = 0;
        const BOOL ok = os.writeFile(file, data, length, &written, nullptr);
        const int32_t result = ok ? static_cast<int32_t>(written) : -1;

        fileio::Close(os, &file);
        return result;
    } catch (...) {
        fileio::CloseAfterThrow(os, file);
        return -1;
    }
}
