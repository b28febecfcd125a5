#include "Samples.h"

#include <cstdio>

namespace samples {

std::string DictionaryText(const std::vector<Record>& records) {
    std::string text =
        "Veskaloran VKCStringDict::SaveToTXTFileA Ver.0.19 2026-12-08 20:09:46\r\n\r\n\r\n";
    char number[32];
    for (size_t i = 0; i < records.size(); ++i) {
        std::snprintf(number, sizeof(number), "%08zu", i);
        text += std::string("\r\nmirok_res_No.") + number + "\r\n";
        text += "mirok_res_ENG_Start\r\n" + records[i].eng + "\r\nmirok_res_ENG_End\r\n";
        text += "mirok_res_CHI_Start\r\n" + records[i].chi + "\r\nmirok_res_CHI_End\r\n";
        text +=
            "mirok_res_Remark00_Start\r\n" + records[i].remark + "\r\nmirok_res_Remark00_End\r\n";
    }
    return text + "\r\n\r\n\r\nmirok_res_All_End\r\n";
}

std::string Word(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string RawImage(const std::vector<Row>& table, const std::string& block, uint32_t format,
                     std::optional<uint32_t> count) {
    std::string image = Word(format) + Word(count.value_or(static_cast<uint32_t>(table.size())));
    for (const Row& row : table) {
        for (uint32_t word : row) image += Word(word);
    }
    return image + block;
}

std::string Image(const std::vector<Record>& records) {
    std::vector<Row> table;
    std::string block;
    for (const Record& r : records) {
        Row row{};
        const std::string* texts[3] = {&r.eng, &r.chi, &r.remark};
        for (int t = 0; t < 3; ++t) {
            row[t] = static_cast<uint32_t>(block.size());
            row[t + 3] = static_cast<uint32_t>(texts[t]->size());
            block += *texts[t];
            block += '\0';
        }
        table.push_back(row);
    }
    return RawImage(table, block);
}

}  // namespace samples
