#include "capi/HostSignals.h"

namespace capi {

#ifdef _WIN32

HostSignalsKept::HostSignalsKept() {}
HostSignalsKept::~HostSignalsKept() {}

#else

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// True once the library's handlers were seen set: they are set only once.
bool g_settled = false;

// The handler of an action, whichever of the two forms it takes.
void* HandlerOf(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<void*>(action.sa_sigaction)
                                               : reinterpret_cast<void*>(action.sa_handler);
}

}  // namespace

HostSignalsKept::HostSignalsKept() {
    static_assert(sizeof(kSignals) / sizeof(kSignals[0]) == kCount, "one note per signal");
    if (g_settled) return;
    watching_ = true;
    for (int i = 0; i < kCount; ++i) {
        if (sigaction(kSignals[i], nullptr, &before_[i]) != 0) watching_ = false;
    }
}

HostSignalsKept::~HostSignalsKept() {
    if (!watching_) return;
    for (int i = 0; i < kCount; ++i) {
        struct sigaction now;
        if (sigaction(kSignals[i], nullptr, &now) != 0 || HandlerOf(now) == HandlerOf(before_[i])) {
            continue;
        }
        g_settled = true;
        if (before_[i].sa_handler != SIG_DFL) sigaction(kSignals[i], &before_[i], nullptr);
    }
}

#endif

}  // namespace capi
