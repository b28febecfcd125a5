// vkcdict edit: the command line of the editor in the browser
// (vkcdict/edit/Edit.h).
#include <memory>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/NumberOptions.h"
#include "vkcdict/edit/Edit.h"

void AddEditCommand(CLI::App& app) {
    using namespace vkcdict;
    auto options = std::make_shared<edit::EditOptions>();
    CLI::App* command = app.add_subcommand(
        "edit", "Translate in the browser: a local editor for one dictionary, with qa as you type");
    command->add_option("DICT", options->session.path, "the dictionary text file to edit")
        ->required();
    command
        ->add_option("--glossary", options->session.glossaries,
                     "a dictionary text file of terms and their translations (repeatable)")
        ->type_name("FILE");
    command
        ->add_option("--script", options->session.scripts,
                     "a game script: where each text occurs, and its delimiters (repeatable)")
        ->type_name("SCRIPT");
    command
        ->add_option("--code", options->session.codes,
                     "a regular expression for the game's own codes, as for qa (repeatable)")
        ->type_name("PATTERN");
    AddCountOption(command, "--max-bytes", &options->session.maxBytes,
                   "longest translation in bytes (0: no limit)")
        ->type_name("N");
    AddRatioOption(command, "--max-ratio", &options->session.maxRatio,
                   "longest translation as a multiple of its ENG text's bytes (0: no limit)")
        ->type_name("R");
    command
        ->add_option("--port", options->port,
                     "the port to listen on (default: one the system picks)")
        ->type_name("N")
        ->check(CLI::Range(0, 65535));
    command
        ->add_option("--listen", options->listen,
                     "the address to listen on (default 127.0.0.1; any other prints a warning)")
        ->type_name("ADDR");
    command->add_flag("--no-browser", options->noBrowser, "do not open the address in a browser");
    SetAction(command, [options] {
        Diagnostics d;
        return edit::RunEdit(*options, stdout, d);
    });
}
