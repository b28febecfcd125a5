#include "vkcdict/edit/Token.h"

#include <cstdio>
#include <stdexcept>

#include "vkcdict/i18n/Translate.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vkcdict::edit {

namespace {

bool RandomBytes(unsigned char* out, size_t size) {
#ifdef _WIN32
    return BCryptGenRandom(nullptr, out, static_cast<ULONG>(size),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
#else
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, out + got, size - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fd);
    return got == size;
#endif
}

}  // namespace

std::string NewToken() {
    unsigned char bytes[16];
    if (!RandomBytes(bytes, sizeof(bytes))) {
        throw std::runtime_error(Tr("the system's random source cannot be read"));
    }
    std::string hex;
    for (unsigned char b : bytes) {
        char two[3];
        std::snprintf(two, sizeof(two), "%02x", b);
        hex += two;
    }
    return hex;
}

bool SameToken(std::string_view given, std::string_view token) {
    if (given.size() != token.size()) return false;
    unsigned char differ = 0;
    for (size_t i = 0; i < token.size(); ++i) {
        differ |= static_cast<unsigned char>(given[i] ^ token[i]);
    }
    return differ == 0;
}

}  // namespace vkcdict::edit
