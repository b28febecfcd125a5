#include "fileio/EntryPoints.h"
#include "fileio/FileRange.h"

int32_t ReadFileRangeA(const char* path, void* buffer, int64_t offset, uint64_t count,
                       CreateFileA_fn create, ReadFile_fn read, GetFileSize_fn size,
                       SetFilePointer_fn seek, CloseHandle_fn close) {
    if (path == nullptr) return -1;
    const fileio::FileEntryPoints os =
        fileio::ResolveFileEntryPoints(create, read, nullptr, size, seek, close, nullptr);
    HANDLE file = INVALID_HANDLE_VALUE;
    try {
        file = os.createFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return -1;

        // The size is asked for and the position set even when only one of
        // them matters. The high half of the size is dropped; a failed seek
        // (a negative offset) leaves the position at the start of the file.
        DWORD sizeHigh = 0;
        const DWORD sizeLow = os.getFileSize(file, &sizeHigh);
        fileio::SeekFromStart(os, file, offset);

        int32_t result = static_cast<int32_t>(sizeLow);  // INVALID_FILE_SIZE reads as -1
        if (buffer != nullptr) {
            DWORD bytesRead = 0;
            const BOOL ok =
                os.readFile(file, buffer, static_cast<DWORD>(count), &bytesRead, nullptr);
            result = ok ? static_cast<int32_t>(bytesRead) : -1;
        }
        fileio::Close(os, &file);
        return result;
    } catch (...) {
        fileio::CloseAfterThrow(os, file);
        return -1;
    }
}
