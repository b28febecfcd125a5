#include "vkcdict/Tally.h"

#include "vkcdict/cli/Display.h"
#include "vkcdict/i18n/Translate.h"

namespace vkcdict {

namespace {

std::string Percent(uint64_t part, uint64_t whole) {
    char text[32];
    std::snprintf(
        text, sizeof(text), "%.1f",
        whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// `name`: the script's name as shown, or the total's.
void PrintLine(const Tally& t, const std::string& name, bool csv, FILE* out) {
    std::string line;
    if (csv) {
        line = CsvField(name) + "," + std::to_string(t.texts) + "," + std::to_string(t.translated) +
               "," + Percent(t.translated, t.texts) + "," + std::to_string(t.left()) + "," +
               Percent(t.left(), t.texts) + "," + std::to_string(t.untranslated.size());
    } else {
        line =
            Tr("{1}: {2} texts, {3} translated ({4}%), {5} left as they are ({6}%), {7} "
               "distinct untranslated",
               {name, std::to_string(t.texts), std::to_string(t.translated),
                Percent(t.translated, t.texts), std::to_string(t.left()),
                Percent(t.left(), t.texts), std::to_string(t.untranslated.size())});
    }
    line += "\n";
    std::fwrite(line.data(), 1, line.size(), out);
}

}  // namespace

void Tally::Count(const ScriptText& text) {
    ++texts;
    if (text.translated()) ++translated;
    if (text.extractable()) untranslated.emplace(text.key);
}

void Tally::Add(const Tally& other) {
    texts += other.texts;
    translated += other.translated;
    untranslated.insert(other.untranslated.begin(), other.untranslated.end());
}

void PrintTallies(const std::vector<Tally>& scripts, bool csv, FILE* out) {
    if (csv) {
        const char header[] =
            "script,texts,translated,translated_percent,left,left_percent,distinct_untranslated\n";
        std::fputs(header, out);
    }
    Tally total;
    total.name = "total";
    for (const Tally& t : scripts) {
        PrintLine(t, ShowName(t.name), csv, out);
        total.Add(t);
    }
    // A word of the report in words, a fixed key in CSV.
    PrintLine(total, csv ? total.name : std::string(Tr("total")), csv, out);
}

}  // namespace vkcdict
