// The editor's access token: whoever presents it may read and change the
// dictionary, so it is unguessable and compared without leaking its bytes
// through timing.
#pragma once

#include <string>
#include <string_view>

namespace vkcdict::edit {

// 128 bits from the system's secure random source (getrandom or
// /dev/urandom; Windows: BCryptGenRandom), as 32 lower-case hex digits.
// Throws std::runtime_error when the source fails.
std::string NewToken();

// True when `given` equals `token`, in a time that depends only on their
// lengths.
bool SameToken(std::string_view given, std::string_view token);

}  // namespace vkcdict::edit
