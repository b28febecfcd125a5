// The findings of a qa run: kept or written at once, as text lines or JSON
// objects.
#include <algorithm>
#include <cstdio>

#include "dict/GbkCodec.h"
#include "vkcdict/cli/Display.h"
#include "vkcdict/i18n/Translate.h"
#include "vkcdict/qa/Qa.h"

namespace vkcdict {

void QaReport::Add(const QaRecord& record, std::string message) {
    if ((record.skipped >> check_) & 1) return;
    ++counts_[check_];
    ++total_;
    QaFinding finding{record.file, record.index, record.line, check_, std::move(message)};
    if (out_ != nullptr) {
        Write(finding);
    } else {
        kept_.push_back(std::move(finding));
    }
}

std::string QaReport::Tr(const char* format, std::initializer_list<std::string_view> args) const {
    return translated_ ? vkcdict::Tr(format, args) : FillPlaceholders(format, args);
}

std::string QaReport::Show(std::string_view text) const {
    return Quote(text.data(), text.size(), terminal_);
}

std::string QaReport::Where(uint32_t file, uint32_t index) const {
    return (*files_)[file].Where(index);
}

QaRecord QaReport::RecordAt(uint32_t file, uint32_t index) const {
    const DictFile& f = (*files_)[file];
    const StringEntry& e = f.record(index);
    QaRecord r;
    r.file = file;
    r.index = index;
    r.line = f.lines[index];
    r.eng = std::string_view(e.eng, e.engLen);
    r.chi = std::string_view(e.chi, e.chiLen);
    r.remark = std::string_view(e.remark, e.remarkLen);
    r.skipped = r.remark.empty() ? 0 : SkippedChecks(r.remark);
    return r;
}

namespace {

// `utf8` as a JSON string. Bytes that are not UTF-8 (a path may hold any)
// are written as the four characters \xNN, like undefined GBK bytes.
std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const size_t n =
            Utf8Step(reinterpret_cast<const unsigned char*>(utf8.data()) + i, utf8.size() - i);
        if (n == 0) {
            out += "\\\\" + HexBytes(utf8.data() + i, 1).substr(1);
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", c);
            out += escape;
        } else {
            out.append(utf8.data() + i, n);
        }
        i += n;
    }
    return out + "\"";
}

std::string Utf8(std::string_view gbk) {
    return gbk::ToDisplay(gbk.data(), gbk.size());
}

}  // namespace

void QaReport::Stream(bool json, FILE* out) {
    json_ = json;
    out_ = out;
    std::stable_sort(kept_.begin(), kept_.end(), [](const QaFinding& a, const QaFinding& b) {
        if (a.file != b.file) return a.file < b.file;
        if (a.index != b.index) return a.index < b.index;
        return a.check < b.check;
    });
}

void QaReport::WriteKept(uint32_t file, uint32_t index, uint32_t check) {
    for (; nextKept_ < kept_.size(); ++nextKept_) {
        const QaFinding& f = kept_[nextKept_];
        if (f.file != file || f.index != index || f.check != check) break;
        Write(f);
    }
}

void QaReport::Write(const QaFinding& f) {
    const DictFile& file = (*files_)[f.file];
    const char* id = QaChecks()[f.check].id;
    std::string& line = line_;
    if (json_) {
        const StringEntry& e = file.record(f.index);
        line = "{\"file\":" + JsonString(file.path) + ",\"line\":" + std::to_string(f.line) +
               ",\"record\":" + std::to_string(f.index) + ",\"check\":\"" + id +
               "\",\"message\":" + JsonString(Utf8(f.message)) +
               ",\"eng\":" + JsonString(Utf8(std::string_view(e.eng, e.engLen))) +
               ",\"chi\":" + JsonString(Utf8(std::string_view(e.chi, e.chiLen))) + "}\n";
    } else {
        // Appended into one buffer kept from line to line: a run may write a
        // finding for every record.
        char number[24];
        line.clear();
        AppendShown(file.path, &line);
        line += ':';
        line.append(number,
                    static_cast<size_t>(std::snprintf(number, sizeof(number), "%llu",
                                                      static_cast<unsigned long long>(f.line))));
        line += ": warning: ";
        AppendShown(f.message, &line);  // another record's file name may be quoted
        line += " [";
        line += id;
        line += "]\n";
    }
    std::fwrite(line.data(), 1, line.size(), out_);
}

}  // namespace vkcdict
