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

}  // namespace fileio
