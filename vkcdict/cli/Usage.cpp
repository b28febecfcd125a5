#include "vkcdict/cli/Usage.h"

#include <memory>
#include <string>
#include <vector>

#include "vkcdict/cli/Display.h"

namespace vkcdict {

namespace {

// Positionals are named by their role already ("DICT"), so the placeholder
// of their type is left out: "DICT REQUIRED", "SCRIPT ... REQUIRED".
class Formatter : public CLI::Formatter {
public:
    // vkcdict calls its subcommands commands.
    Formatter() {
        label("SUBCOMMAND", "COMMAND");
        label("SUBCOMMANDS", "COMMANDS");
        label("Subcommands", "Commands");
    }

    std::string make_option_opts(const CLI::Option* option) const override {
        if (option->nonpositional()) return CLI::Formatter::make_option_opts(option);
        std::string text;
        if (option->get_expected_max() == CLI::detail::expected_max_vector_size) text += " ...";
        if (option->get_required()) text += " " + get_label("REQUIRED");
        return text;
    }
};

std::string CommandList(const CLI::App* app) {
    std::string list;
    for (const CLI::App* command : app->get_subcommands({})) {
        list += (list.empty() ? "" : ", ") + command->get_name();
    }
    return list;
}

}  // namespace

void SetUsageFormat(CLI::App& app) {
    const auto formatter = std::make_shared<Formatter>();
    app.formatter(formatter);
    app.failure_message(UsageFailure);
    for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        command->formatter(formatter);
        command->group("Commands");
    }
}

std::string UsageFailure(const CLI::App* app, const CLI::Error& error) {
    const std::string program = app->get_name();
    const std::vector<CLI::App*> chosen = app->get_subcommands();
    if (chosen.empty() && error.get_name() == "RequiredError") {
        // No command was recognised: the first word left over is what was
        // meant as one.
        const std::vector<std::string> rest = app->remaining();
        std::string text = program + ": error: ";
        if (rest.empty()) {
            text += "a command is required\n";
        } else if (!rest.front().empty() && rest.front()[0] == '-') {
            text += "unknown option '" + ShowName(rest.front()) + "'\n";
        } else {
            text += "unknown command '" + ShowName(rest.front()) + "'\n";
        }
        return text + "Commands: " + CommandList(app) + "\nRun '" + program +
               " --help' for more information.\n";
    }
    const CLI::App* where = app;
    std::string name = program;
    for (const CLI::App* command : chosen) {
        where = command;
        name += " " + command->get_name();
    }
    std::string text = program + ": error: ";
    if (where != app) text += where->get_name() + ": ";
    text += ShowName(error.what()) + "\n";  // it may quote an argument
    if (const auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(where->get_formatter())) {
        text += formatter->make_usage(where, name);
    }
    return text + "Run '" + name + " --help' for more information.\n";
}

}  // namespace vkcdict
