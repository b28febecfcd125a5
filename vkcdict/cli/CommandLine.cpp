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
#include <cstring>
#include <memory>
#include <utility>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/cli/NumberOptions.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

// Positionals are named by their role already ("DICT"), so the placeholder
// of their type is left out: "DICT REQUIRED", "SCRIPT ... REQUIRED".
class Formatter : public CLI::Formatter {
public:
    // vkcdict calls its subcommands commands. The words of the help are
    // shown in the user's language; option names and placeholders are not.
    Formatter() {
        label("SUBCOMMAND", "COMMAND");
        label("SUBCOMMANDS", "COMMANDS");
        label("Subcommands", Tr("Commands"));
        label("Usage", Tr("Usage"));
        label("OPTIONS", Tr("OPTIONS"));
        label("Positionals", Tr("Positionals"));
        label("REQUIRED", Tr("REQUIRED"));
    }

    // CLI11 pads the left column by bytes; a Chinese label in UTF-8 has more
    // bytes than columns, so the padding is counted in columns here.
    std::string make_option(const CLI::Option* option, bool positional) const override {
        const size_t width = get_column_width();
        std::string text = "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::string description = make_option_desc(option);
        if (!description.empty()) {
            const size_t columns = TerminalColumns(text, CurrentCharset() == Charset::kGbk);
            text += columns >= width ? "\n" + std::string(width, ' ')
                                     : std::string(width - columns, ' ');
            for (const char c : description) {
                text += c;
                if (c == '\n') text += std::string(width, ' ');
            }
        }
        return text + "\n";
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

// What the parser says of a usage error, in the user's language: the forms
// its messages take for vkcdict's command line, with the names they quote
// kept; any other is shown as the parser wrote it.
std::string UsageProblem(const std::string& what) {
    const auto starts = [&what](const char* prefix) { return what.rfind(prefix, 0) == 0; };
    const auto ends = [&what](const std::string& suffix) {
        return what.size() >= suffix.size() &&
               what.compare(what.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    static const char kExtra[] = "The following argument was not expected: ";
    static const char kExtras[] = "The following arguments were not expected: ";
    if (starts(kExtra)) return Tr("unexpected argument: {1}", {what.substr(sizeof kExtra - 1)});
    if (starts(kExtras)) return Tr("unexpected arguments: {1}", {what.substr(sizeof kExtras - 1)});
    if (ends(" is required")) {
        return Tr("{1} is required", {what.substr(0, what.size() - std::strlen(" is required"))});
    }
    // "NAME: 1 required TYPE missing": an option given without its value.
    const size_t colon = what.find(": ");
    if (colon != std::string::npos && ends(" missing") &&
        what.find(" required ", colon) != std::string::npos) {
        return Tr("{1} needs a value", {what.substr(0, colon)});
    }
    // "NAME: VALUE not in {a,b,c}": a value outside a fixed list.
    const size_t notIn = what.rfind(" not in {");
    if (colon != std::string::npos && notIn != std::string::npos && notIn > colon) {
        return Tr("{1}: {2} is not one of {3}",
                  {what.substr(0, colon), what.substr(colon + 2, notIn - colon - 2),
                   what.substr(notIn + std::strlen(" not in "))});
    }
    static const char kMismatch[] = "Expected exactly ";
    if (starts(kMismatch) || starts("Expected at least ")) {
        const size_t to = what.find(" arguments to ");
        const size_t got = what.rfind(", got ");
        if (to != std::string::npos && got != std::string::npos && got > to) {
            return Tr("{1} takes {2} values, {3} given",
                      {what.substr(to + std::strlen(" arguments to "),
                                   got - to - std::strlen(" arguments to ")),
                       what.substr(std::strlen(kMismatch), to - std::strlen(kMismatch)),
                       what.substr(got + std::strlen(", got "))});
        }
    }
    return what;
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
            text += Tr("a command is required");
        } else if (!rest.front().empty() && rest.front()[0] == '-') {
            text += Tr("unknown option '{1}'", {ShowName(rest.front())});
        } else {
            text += Tr("unknown command '{1}'", {ShowName(rest.front())});
        }
        return text + "\n" + Tr("Commands: {1}", {CommandList(app)}) + "\n" +
               Tr("Run '{1} --help' for more information.", {program}) + "\n";
    }
    const CLI::App* where = app;
    std::string name = program;
    for (const CLI::App* command : chosen) {
        where = command;
        name += " " + command->get_name();
    }
    std::string text = program + ": error: ";
    if (where != app) text += where->get_name() + ": ";
    text += ShowName(UsageProblem(error.what())) + "\n";  // it may quote an argument
    if (const auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(where->get_formatter())) {
        text += formatter->make_usage(where, name);
    }
    return text + Tr("Run '{1} --help' for more information.", {name}) + "\n";
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
    app_->description(Tr(text));
}

void Command::Footer(const char* text) {
    app_->footer(Tr(text));
}

Arg Command::Argument(const char* name, std::string* value, const char* help) {
    return Arg(app_->add_option(name, *value, Tr(help)));
}

Arg Command::Arguments(const char* name, std::vector<std::string>* values, const char* help) {
    return Arg(app_->add_option(name, *values, Tr(help)));
}

Arg Command::Option(const char* names, std::string* value, const char* help) {
    return Arg(app_->add_option(names, *value, Tr(help)));
}

Arg Command::Options(const char* names, std::vector<std::string>* values, const char* help,
                     bool commas) {
    // CLI11 would let a list option go on taking the words that follow its
    // value, so "--check=codes FILE" took FILE as a second ID.
    CLI::Option* option = app_->add_option(names, *values, Tr(help))->allow_extra_args(false);
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
            names, [value, read](const std::string& text) { read(text, value); }, Tr(help))
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
        command->group(Tr("Commands"));
        // A command's help flag is made before it takes the program's
        // defaults, so it would stand in a group of its own, named in English.
        if (CLI::Option* help = command->get_help_ptr()) help->group(Tr("Options"));
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
    return Arg(app_->add_flag(names, *value, Tr(help)));
}

Arg Command::Flag(const char* names, std::function<void()> given, const char* help) {
    return Arg(app_->add_flag_callback(names, std::move(given), Tr(help)));
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
    CLI::App app{Tr("vkcdict: make, check, combine and apply translation dictionaries"), "vkcdict"};
    app.option_defaults()->group(Tr("Options"));
    app.set_help_flag("-h,--help", Tr("Print this help message and exit"));
    app.set_version_flag("--version", std::string("vkcdict ") + VKC_VERSION,
                         Tr("Display program version information and exit"));
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
