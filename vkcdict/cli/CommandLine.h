// vkcdict's command line, as the commands see it. A command's file adds its
// arguments, options and action through a Command; only the files of this
// folder that parse the command line see the parser itself, so that a
// command file compiles as fast as any other.
//
// Every value a command adds is stored where the command points: the
// pointers must outlive the parse (the commands keep their options in a
// shared_ptr that their action holds).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace vkcdict {

// One argument or option as its command added it, to say more about it.
// Valid while the command line lives.
class Arg {
public:
    explicit Arg(CLI::Option* option) : option_(option) {}

    // The command cannot run without it.
    Arg& Required();
    // The word that stands for its value in the help ("FILE", "N").
    Arg& TypeName(const char* name);
    // Its value must be one of `values`; anything else is a usage error.
    Arg& OneOf(std::vector<std::string> values);
    // Shown for its value in the help instead of the usual word.
    Arg& ShownAs(const char* text);
    // Called with each value given, after it is stored.
    Arg& OnEach(std::function<void(const std::string&)> seen);

private:
    CLI::Option* option_;
};

// A command of the program, for its file to fill in.
class Command {
public:
    explicit Command(CLI::App* app) : app_(app) {}

    // What the command does, in one line, for the help.
    void Purpose(const char* text);
    // Text shown after the options in the command's help.
    void Footer(const char* text);

    // An argument given by its place (`name` in capitals: "DICT").
    Arg Argument(const char* name, std::string* value, const char* help);
    // All the arguments left, in order.
    Arg Arguments(const char* name, std::vector<std::string>* values, const char* help);

    // An option with a value (`names`: "-o,--output").
    Arg Option(const char* names, std::string* value, const char* help);
    // An option that may be given again; each time, it takes exactly one
    // value: "--opt=VALUE" or "--opt VALUE", never the words after it. With
    // `commas`, a value is a list: "--check codes,length" gives two.
    Arg Options(const char* names, std::vector<std::string>* values, const char* help,
                bool commas = false);
    // A whole number of 0 or more in decimal digits, read strictly
    // (vkcdict/cli/NumberOptions.h).
    Arg Count(const char* names, uint64_t* value, const char* help);
    // A finite number of 0 or more, read strictly.
    Arg Ratio(const char* names, double* value, const char* help);

    // An option without a value: true when given.
    Arg Flag(const char* names, bool* value, const char* help);
    // The same, calling `given` instead of storing.
    Arg Flag(const char* names, std::function<void()> given, const char* help);

    // The command's action, run once its command line has been read; it
    // returns the exit status (kDone, kFound, kFailed in vkcdict/Commands.h).
    void Action(std::function<int()> action);

private:
    CLI::App* app_;
};

// Reads the command line, runs the command it names, and returns the exit
// status: the command's own; 0 after --help or --version; kFailed for a
// usage error, with its message on standard error. Other failures (out of
// memory) are thrown to the caller.
int RunCommandLine(int argc, char** argv);

}  // namespace vkcdict
