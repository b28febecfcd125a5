// Replacing a file whole, on Windows. See platform/ReplaceFile.h.
#ifdef _WIN32

#include <fcntl.h>
#include <io.h>

#include <string>
#include <system_error>

#include "platform/ReplaceFile.h"
#include "platform/Win32.h"

namespace platform {

namespace {

constexpr int kAttempts = 100;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Six characters from a counter, the process and the time, as mkstemp's.
std::string Suffix(unsigned attempt) {
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                              GetTickCount() ^ (attempt * 2654435761u);
    std::string suffix;
    for (int i = 0; i < 6; ++i, seed /= 36) suffix += kDigits[seed % 36];
    return suffix;
}

// A new file for writing, shared for deletion so that the console handler
// (platform/TemporaryFiles.h) can delete it while it is open.
HANDLE CreateNew(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

FileFacts InspectFile(const std::string& path) {
    FileFacts facts;
    HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return facts;
    facts.exists = true;
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info;
    if (type == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info)) {
        facts.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.regular = !facts.directory;
        facts.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        facts.links = info.nNumberOfLinks;
    }
    CloseHandle(file);
    return facts;
}

bool FollowLinks(const std::string& path, std::string* reached, std::string* /*error*/) {
    *reached = path;
    return true;
}

int OwnDescriptor(const std::string& /*path*/) {
    return -1;
}

FILE* OpenDescriptor(int /*fd*/, std::string* error) {
    *error = "not supported";
    return nullptr;
}

bool NameTaken(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
           (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND);
}

FILE* CreateFileBeside(const std::string& target, const char* /*like*/, std::string* name,
                       std::string* error) {
    std::string base = target + ".vkcdict-";
    HANDLE file = INVALID_HANDLE_VALUE;
    std::string candidate;
    for (unsigned attempt = 0; attempt < kAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        candidate = base + Suffix(attempt);
        file = CreateNew(candidate);
        const DWORD reason = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
        if (reason == ERROR_FILENAME_EXCED_RANGE && base != FolderOf(target) + "vkcdict-") {
            base = FolderOf(target) + "vkcdict-";
        } else if (reason != ERROR_SUCCESS && reason != ERROR_FILE_EXISTS &&
                   reason != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        *error = LastErrorText();
        return nullptr;
    }
    // Nothing allocates once the file exists, so that running out of memory
    // never leaves it behind (nor its name taken, which would shift what a
    // later attempt allocates).
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    FILE* stream = fd < 0 ? nullptr : _fdopen(fd, "wb");
    if (stream == nullptr) {
        if (fd >= 0) {
            _close(fd);
        } else {
            CloseHandle(file);
        }
        DeleteFileA(candidate.c_str());
        *error = "cannot open a stream on the temporary file";
        return nullptr;
    }
    name->swap(candidate);
    return stream;
}

bool SyncToDisk(FILE* stream, std::string* error) {
    const intptr_t handle = _get_osfhandle(_fileno(stream));
    if (std::fflush(stream) != 0 || handle == -1 ||
        !FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) {
        *error = LastErrorText();
        return false;
    }
    return true;
}

bool SyncFolderOf(const std::string&, std::string*) {
    return true;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, bool replace, std::string* error,
                   bool* exists) {
    *exists = false;
    if (!replace) {
        // Without MOVEFILE_REPLACE_EXISTING the move fails on a taken name.
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD reason = GetLastError();
        *exists = reason == ERROR_ALREADY_EXISTS || reason == ERROR_FILE_EXISTS;
        *error = LastErrorText();
        return false;
    }
    // A read-only target refuses to be replaced: its attributes are cleared
    // for the move and given to the new file.
    const DWORD attributes = GetFileAttributesA(to.c_str());
    const bool keep = attributes != INVALID_FILE_ATTRIBUTES;
    if (keep && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        *error = LastErrorText();
        if (keep) SetFileAttributesA(to.c_str(), attributes);
        return false;
    }
    if (keep) SetFileAttributesA(to.c_str(), attributes);
    return true;
}

bool SameExistingFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* names[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE file = CreateFileA(names[i]->c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const BOOL ok = GetFileInformationByHandle(file, &info[i]);
        CloseHandle(file);
        if (!ok) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    std::string text = std::system_category().message(static_cast<int>(code));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

}  // namespace platform

#endif  // _WIN32
