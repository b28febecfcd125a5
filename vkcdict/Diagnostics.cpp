#include "vkcdict/Diagnostics.h"

#include <cstdio>

namespace vkcdict {

void Diagnostics::Report(const std::string& file, uint64_t line, Severity severity,
                         const std::string& message) {
    static const char* const kNames[] = {"error", "warning", "note"};
    if (severity == Severity::kError) ++errors_;
    if (severity == Severity::kWarning) ++warnings_;
    if (sink_ == nullptr) return;
    std::string text = file.empty() ? "vkcdict" : file;
    if (line != 0) text += ":" + std::to_string(line);
    text += ": ";
    text += kNames[static_cast<int>(severity)];
    text += ": " + message + "\n";
    std::fwrite(text.data(), 1, text.size(), sink_);
}

void Diagnostics::Summary(const std::string& text) {
    if (sink_ != nullptr) std::fprintf(sink_, "%s\n", text.c_str());
}

std::string Count(uint64_t n, const char* noun, const char* plural) {
    std::string text = std::to_string(n) + " ";
    if (n == 1) return text + noun;
    return plural != nullptr ? text + plural : text + noun + "s";
}

}  // namespace vkcdict
