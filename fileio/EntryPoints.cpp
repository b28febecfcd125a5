#include "fileio/EntryPoints.h"

namespace fileio {

FileEntryPoints ResolveFileEntryPoints(CreateFileA_fn create, ReadFile_fn read, WriteFile_fn write,
                                       GetFileSize_fn size, SetFilePointer_fn seek,
                                       CloseHandle_fn close, SetFileAttributesA_fn attributes) {
    FileEntryPoints table;
    table.createFile = create != nullptr ? create : &::CreateFileA;
    table.readFile = read != nullptr ? read : &::ReadFile;
    table.writeFile = write != nullptr ? write : &::WriteFile;
    table.getFileSize = size != nullptr ? size : &::GetFileSize;
    table.setFilePointer = seek != nullptr ? seek : &::SetFilePointer;
    table.closeHandle = close != nullptr ? close : &::CloseHandle;
    table.setFileAttributes = attributes != nullptr ? attributes : &::SetFileAttributesA;
    return table;
}

void SeekFromStart(const FileEntryPoints& os, HANDLE file, int64_t offset) {
    const uint64_t position = static_cast<uint64_t>(offset);
    LONG positionHigh = static_cast<LONG>(static_cast<uint32_t>(position >> 32));
    os.setFilePointer(file, static_cast<LONG>(static_cast<uint32_t>(position)), &positionHigh,
                      FILE_BEGIN);
}

void Close(const FileEntryPoints& os, HANDLE* file) {
    HANDLE open = *file;
    *file = INVALID_HANDLE_VALUE;
    os.closeHandle(open);
}

void CloseAfterThrow(const FileEntryPoints& os, HANDLE file) noexcept {
    if (file == INVALID_HANDLE_VALUE) return;
    try {
        os.closeHandle(file);
    } catch (...) {
    }
}

}  // namespace fileio
