#include "vkcdict/edit/Edit.h"

#include <memory>

#include "vkcdict/Commands.h"
#include "vkcdict/edit/Api.h"
#include "vkcdict/edit/HttpServer.h"
#include "vkcdict/edit/Token.h"
#include "vkcdict/i18n/Translate.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#else
#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace vkcdict::edit {

namespace {

// Opens `url` in the default browser, without waiting for it. False when
// no opener could be started.
bool OpenBrowser(const std::string& url) {
#ifdef _WIN32
    return reinterpret_cast<intptr_t>(
               ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
#else
    // A shell starts xdg-open in the background and ends at once, so that
    // the opener is nobody's child here, however long it runs.
    pid_t child = 0;
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char script[] =
        "command -v xdg-open >/dev/null 2>&1 || exit 1; xdg-open \"$1\" >/dev/null 2>&1 &";
    char name[] = "sh";
    std::string argument = url;
    char* argv[] = {shell, dashC, script, name, &argument[0], nullptr};
    if (posix_spawn(&child, shell, nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

// The host part of an address for a URL: an IPv6 address in brackets.
std::string UrlHost(const std::string& address) {
    return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

}  // namespace

int RunEdit(const EditOptions& options, FILE* out, Diagnostics& d) {
    if (options.port > 65535) {
        d.Error("", 0, Tr("edit: --port must be at most 65535"));
        return kFailed;
    }
    Session session;
    if (!session.Open(options.session, d)) return kFailed;
    if (options.listen != "127.0.0.1") {
        d.Warning("", 0,
                  Tr("edit: listening on {1}, not only on this computer: anyone who can reach "
                     "it and learns the token can change the dictionary",
                     {options.listen}));
    }
    Gate gate;
    gate.token = NewToken();
    std::unique_ptr<Api> api;
    ServeOptions serve;
    serve.address = options.listen;
    serve.port = static_cast<unsigned short>(options.port);
    std::string error;
    bool busy = false;
    const bool served = Serve(
        serve, [&api](const Request& r) { return api->Handle(r); },
        [&](unsigned short port) {
            const std::string suffix = ":" + std::to_string(port);
            gate.hosts = {"127.0.0.1" + suffix, "localhost" + suffix, "[::1]" + suffix};
            gate.hosts.push_back(UrlHost(options.listen) + suffix);
            gate.cookie = "vkcdict_" + std::to_string(port);
            api = std::make_unique<Api>(&session, gate);
            const std::string url =
                "http://" + UrlHost(options.listen) + suffix + "/?token=" + gate.token;
            const std::string line =
                Tr("vkcdict: editing {1} at {2}", {options.session.path, url}) + "\n";
            std::fputs(line.c_str(), out);
            std::fflush(out);
            if (!options.noBrowser && !OpenBrowser(url)) {
                d.Warning("", 0, Tr("edit: no browser could be opened; open the address above"));
            }
        },
        &error, &busy);
    if (!served) {
        d.Error("", 0, "edit: " + error);
        return kFailed;
    }
    return kDone;
}

}  // namespace vkcdict::edit
