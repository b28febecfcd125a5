#include "vkcdict/cli/Diagnostics.h"

#include <cstdio>

#include "vkcdict/cli/Display.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

void Diagnostics::Report(const std::string& file, uint64_t line, Severity severity,
                         const std::string& message) {
    static const char* const kNames[] = {"error", "warning", "note"};
    if (severity == Severity::kError) ++errors_;
    if (severity == Severity::kWarning) ++warnings_;
    if (sink_ == nullptr) return;
    std::string text;
    AppendShown(file.empty() ? "vkcdict" : file, &text);
    if (line != 0) text += ":" + std::to_string(line);
    text += ": ";
    text += kNames[static_cast<int>(severity)];
    text += ": ";
    AppendShown(message, &text);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), sink_);
}

void Diagnostics::Summary(const std::string& text) {
    if (sink_ == nullptr) return;
    std::string line = ShowName(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), sink_);
}

std::string CountOf(uint64_t n, const char* noun, const char* plural) {
    std::string text = std::to_string(n) + " ";
    // Chinese has no plural: the number and the noun with its measure word.
    if (CurrentLanguage() != Language::kEnglish) return text + Tr(noun);
    if (n == 1) return text + noun;
    return plural != nullptr ? text + plural : text + noun + "s";
}

}  // namespace vkcdict
