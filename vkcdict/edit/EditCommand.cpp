// vkcdict edit: the command line of the editor in the browser
// (vkcdict/edit/Edit.h).
#include <memory>

#include "vkcdict/Commands.h"
#include "vkcdict/edit/Edit.h"

namespace vkcdict {

void AddEditCommand(Command& command) {
    auto options = std::make_shared<edit::EditOptions>();
    command.Purpose(
        "Translate in the browser: a local editor for one dictionary, with qa as you type");
    command.Argument("DICT", &options->session.path, "the dictionary text file to edit").Required();
    command
        .Options("--glossary", &options->session.glossaries,
                 "a dictionary text file of terms and their translations (repeatable)")
        .TypeName("FILE");
    command
        .Options("--script", &options->session.scripts,
                 "a game script: where each text occurs, and its delimiters (repeatable)")
        .TypeName("SCRIPT");
    command
        .Options("--code", &options->session.codes,
                 "a regular expression for the game's own codes, as for qa (repeatable)")
        .TypeName("PATTERN");
    command
        .Count("--max-bytes", &options->session.maxBytes,
               "longest translation in bytes (0: no limit)")
        .TypeName("N");
    command
        .Ratio("--max-ratio", &options->session.maxRatio,
               "longest translation as a multiple of its ENG text's bytes (0: no limit)")
        .TypeName("R");
    command
        .Count("--port", &options->port,
               "the port to listen on, up to 65535 (default: one the system picks)")
        .TypeName("N");
    command
        .Option("--listen", &options->listen,
                "the address to listen on (default 127.0.0.1; any other prints a warning)")
        .TypeName("ADDR");
    command.Flag("--no-browser", &options->noBrowser, "do not open the address in a browser");
    command.Action([options] {
        Diagnostics d;
        return edit::RunEdit(*options, stdout, d);
    });
}

}  // namespace vkcdict
