// The one place where vkcdict meets CLI11 (a costly header, compiled once):
// the commands' declarations, and how vkcdict speaks about its own command
// line. The help pages and the messages for usage errors go through CLI11's
// hooks (a Formatter and the failure message), so that CLI11 keeps doing all
// of the parsing.
//   - An unknown command is named and the commands are listed.
//   - Every other usage error names its command and shows its usage line.
//   - A positional argument is shown by its name alone (DICT, SCRIPT, FILE),
//     an option by the placeholder its declaration gives (FILE, DIR, ...).
#include "vkcdict/cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <utility>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/cli/NumberOptions.h"

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

// The message for a usage error `error` raised while parsing `app`'s command
// line, several lines each ending in a line break.
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

}  // namespace

Arg& Arg::Required() {
    option_->required();
    return *this;
}

Arg& Arg::TypeName(const char* name) {
    option_->type_name(name);
    return *this;
}

Arg& Arg::OneOf(std::vector<std::string> values) {
    option_->check(CLI::IsMember(std::move(values)));
    return *this;
}

Arg& Arg::ShownAs(const char* text) {
    option_->option_text(text);
    return *this;
}

Arg& Arg::OnEach(std::function<void(const std::string&)> seen) {
    option_->each(std::move(seen));
    return *this;
}

void Command::Purpose(const char* text) {
    app_->description(text);
}

void Command::Footer(const char* text) {
    app_->footer(text);
}

Arg Command::Argument(const char* name, std::string* value, const char* help) {
    return Arg(app_->add_option(name, *value, help));
}

Arg Command::Arguments(const char* name, std::vector<std::string>* values, const char* help) {
    return Arg(app_->add_option(name, *values, help));
}

Arg Command::Option(const char* names, std::string* value, const char* help) {
    return Arg(app_->add_option(names, *value, help));
}

Arg Command::Options(const char* names, std::vector<std::string>* values, const char* help,
                     bool commas) {
    // CLI11 would let a list option go on taking the words that follow its
    // value, so "--check=codes FILE" took FILE as a second ID.
    CLI::Option* option = app_->add_option(names, *values, help)->allow_extra_args(false);
    if (commas) option->delimiter(',');
    return Arg(option);
}

namespace {

// A string option whose check reads the value and whose callback stores what
// the same reading gave, so that CLI11's own conversion never sees the text.
template <typename T>
CLI::Option* AddNumber(CLI::App* app, const char* names, T* value, const char* help,
                       bool (*read)(const std::string&, T*),
                       std::string (*problem)(const std::string&)) {
    return app
        ->add_option_function<std::string>(
            names, [value, read](const std::string& text) { read(text, value); }, help)
        ->check(CLI::Validator([problem](std::string& text) { return problem(text); }, ""));
}

// Installs the formatter and the failure message on the program's `app` and
// the commands added to it so far.
void SetUsageFormat(CLI::App& app) {
    const auto formatter = std::make_shared<Formatter>();
    app.formatter(formatter);
    app.failure_message(UsageFailure);
    for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        command->formatter(formatter);
        command->group("Commands");
    }
}

}  // namespace

Arg Command::Count(const char* names, uint64_t* value, const char* help) {
    return Arg(AddNumber(app_, names, value, help, ReadCount, CountProblem));
}

Arg Command::Ratio(const char* names, double* value, const char* help) {
    return Arg(AddNumber(app_, names, value, help, ReadRatio, RatioProblem));
}

Arg Command::Flag(const char* names, bool* value, const char* help) {
    return Arg(app_->add_flag(names, *value, help));
}

Arg Command::Flag(const char* names, std::function<void()> given, const char* help) {
    return Arg(app_->add_flag_callback(names, std::move(given), help));
}

void Command::Action(std::function<int()> action) {
    // A status other than kDone leaves the parse as a RuntimeError carrying
    // it, which RunCommandLine() turns into the exit status.
    app_->callback([action = std::move(action)]() {
        const int status = action();
        if (status != kDone) throw CLI::RuntimeError(status);
    });
}

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"vkcdict: make, check, combine and apply translation dictionaries", "vkcdict"};
    app.set_version_flag("--version", std::string("vkcdict ") + VKC_VERSION);
    app.require_subcommand(1);
    for (size_t i = 0; i < kCommandCount; ++i) {
        Command command(app.add_subcommand(kCommands[i].name));
        kCommands[i].add(command);
    }
    SetUsageFormat(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& code) {
        return code.get_exit_code();
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kDone : kFailed;
    }
    return kDone;
}

}  // namespace vkcdict
