// The one place where the commands' declarations meet CLI11.
#include "vkcdict/cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <utility>

#include "vkcdict/Commands.h"
#include "vkcdict/cli/NumberOptions.h"
#include "vkcdict/cli/Usage.h"

namespace vkcdict {

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
