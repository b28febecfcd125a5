// Why the library's file layer could not read or append to a file. The layer
// answers a failure with a count of -1 alone, so the cause is found by
// looking at the file again right after: the words are the system's, except
// for a folder, which every system refuses in words of its own.
#pragma once

namespace capi {

// Why the file named `name` (taken exactly as the file layer takes it)
// cannot be read: "it is a folder", or the system's
// reason for refusing to open it. Null when it opens now: the read itself
// failed, or the file came or changed since. The text is static.
const char* WhyNotReadable(const char* name);

// Why data cannot be appended to the file named `name` (as above): "it is a
// folder", or the system's reason for refusing to open it for appending.
// Null when it opens now (a missing file is then created empty, as the
// append would have): a write failed or fell short. The text is static.
const char* WhyNotAppendable(const char* name);

}  // namespace capi
