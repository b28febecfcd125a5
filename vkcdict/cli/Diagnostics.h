// The findings of a command, reported on stderr one per line in the form
// that editors parse: "FILE:LINE: severity: message", or "FILE: severity:
// message" when no line applies. The reporter counts what it printed, so a
// command can end with its summary and derive its exit status.
//
// Messages are composed by the caller; texts from dictionaries or scripts go
// through Display.h's Quote first, so that one diagnostic always stays one
// line. File names need nothing: the reporter shows the control bytes of the
// whole line (a name in the prefix or quoted in the message) as \xNN, so a
// crafted name cannot rewrite the screen.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace vkcdict {

enum class Severity { kError, kWarning, kNote };

class Diagnostics {
public:
    // With `strict`, warnings count as findings. Diagnostics go to `sink`;
    // a null sink only counts them.
    explicit Diagnostics(bool strict = false, FILE* sink = stderr) : strict_(strict), sink_(sink) {}

    // `line` 0: the diagnostic names the file only. An empty `file` names the
    // program instead.
    void Report(const std::string& file, uint64_t line, Severity severity,
                const std::string& message);
    void Error(const std::string& file, uint64_t line, const std::string& message) {
        Report(file, line, Severity::kError, message);
    }
    void Warning(const std::string& file, uint64_t line, const std::string& message) {
        Report(file, line, Severity::kWarning, message);
    }
    void Note(const std::string& file, uint64_t line, const std::string& message) {
        Report(file, line, Severity::kNote, message);
    }
    // A line of its own on stderr (a summary), not counted.
    void Summary(const std::string& text);

    uint64_t errors() const { return errors_; }
    uint64_t warnings() const { return warnings_; }
    // Errors, and warnings too when strict.
    uint64_t findings() const { return errors_ + (strict_ ? warnings_ : 0); }

private:
    bool strict_;
    FILE* sink_;
    uint64_t errors_ = 0;
    uint64_t warnings_ = 0;
};

// "N things" with the noun in the singular for one: CountOf(1, "record").
// In Chinese, the number and the noun's translation ("3 条记录"), which
// carries its measure word.
std::string CountOf(uint64_t n, const char* noun, const char* plural = nullptr);

}  // namespace vkcdict
