// vkcdict COMMAND ...: the translator's dictionary tool. Each command adds
// itself (vkcdict/Commands.h); main() runs the command line and turns what
// it ends in into the exit status: a command's own status, 0 after --help or
// --version, 2 for a usage error or an unexpected failure.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/files/Input.h"
#include "vkcdict/files/Output.h"
#include "vkcdict/i18n/SystemText.h"
#include "vkcdict/i18n/Translate.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Script and dictionary bytes pass through "-" unchanged, and messages
    // end in LF as on every platform: no CR LF translation, no Ctrl-Z end.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    vkcdict::UseLanguageOfEnvironment();
    int status = vkcdict::kDone;
    try {
        status = vkcdict::RunCommandLine(argc, argv);
    } catch (const std::bad_alloc&) {
        const std::string* file = vkcdict::WorkingOn::Current();
        std::fprintf(stderr, "%s: error: %s\n", file ? vkcdict::ShowName(*file).c_str() : "vkcdict",
                     vkcdict::Tr("out of memory"));
        status = vkcdict::kFailed;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vkcdict: error: %s\n", vkcdict::ShowName(error.what()).c_str());
        status = vkcdict::kFailed;
    }
    // What a command printed may not have reached its place (a full disk,
    // /dev/full, a closed pipe): that is a failed write, not a success.
    const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    if (!flushed && !vkcdict::StdoutFailureReported()) {
        std::fprintf(stderr, "vkcdict: error: %s\n",
                     vkcdict::Tr("cannot write to standard output: {1}",
                                 {vkcdict::SystemText(std::strerror(errno))})
                         .c_str());
        status = vkcdict::kFailed;
    }
    return status;
}
