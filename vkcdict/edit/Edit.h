// vkcdict edit DICT [--glossary G]... [--script S]... [--code REGEX]...
//     [--max-bytes N] [--max-ratio R] [--port N] [--listen ADDR] [--no-browser]
//
// The translator's editor in the browser: loads DICT whole, listens on
// 127.0.0.1 (or --listen ADDR, with a warning), prints
// "vkcdict: editing DICT at http://ADDR:PORT/?token=TOKEN" at once, opens
// that address in the default browser unless --no-browser, and serves the
// page and its API (vkcdict/edit/Api.h) until Ctrl+C or SIGTERM.
#pragma once

#include <cstdio>
#include <string>

#include "vkcdict/cli/Diagnostics.h"
#include "vkcdict/edit/Session.h"

namespace vkcdict::edit {

struct EditOptions {
    SessionOptions session;
    uint64_t port = 0;  // 0: one the system picks
    std::string listen = "127.0.0.1";
    bool noBrowser = false;
};

// Runs the editor; the start-up line goes to `out`. Returns kDone after a
// clean stop, kFailed when the dictionary is refused or the address cannot
// be listened on (a busy port included).
int RunEdit(const EditOptions& options, FILE* out, Diagnostics& diagnostics);

}  // namespace vkcdict::edit
