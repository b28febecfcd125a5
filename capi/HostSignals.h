// The program's own signal handlers, kept through a save. The library's safe
// output sets handlers for SIGINT, SIGTERM and SIGHUP at its first temporary
// file (platform/TemporaryFiles.h), so that a signal removes the file before
// it ends the process. A program of the library's own wants exactly that; a
// program that merely loads the library (Python, which turns SIGINT into
// KeyboardInterrupt) has handlers of its own, which must stay. Windows chains
// console handlers instead of replacing them: nothing to do there.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

namespace capi {

// Around the opening of a safe output: notes the handlers when it begins and,
// when it ends (also by an exception), puts back every one that the program
// had set itself and the library replaced. The library's handler stays where
// the action was the default. Once the library's handlers are set this does
// nothing more. REQUIRES: one at a time (the caller serializes saves).
class HostSignalsKept {
public:
    HostSignalsKept();
    ~HostSignalsKept();
    HostSignalsKept(const HostSignalsKept&) = delete;
    HostSignalsKept& operator=(const HostSignalsKept&) = delete;

#ifndef _WIN32
private:
    static constexpr int kCount = 3;
    struct sigaction before_[kCount];
    bool watching_ = false;
#endif
};

}  // namespace capi
