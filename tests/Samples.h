// Builders of dictionary files for the tests and the fuzz targets: the text
// file and the binary image, well-formed or made to order. Nothing here
// depends on a test framework.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace samples {

// One record as a file holds it.
struct Record {
    std::string eng;
    std::string chi;
    std::string remark;
};

// A well-formed dictionary text file holding `records` in the given order:
// header, records numbered by position, terminator.
std::string DictionaryText(const std::vector<Record>& records);

// `value` as four little-endian bytes.
std::string Word(uint32_t value);

// One row of an image's table: the offsets of the ENG, CHI and remark texts
// in the text block, then their three lengths.
using Row = std::array<uint32_t, 6>;

// An image whose head says `format` and `count` (the number of rows when
// not given), whatever the table holds, then `table` and `block`.
std::string RawImage(const std::vector<Row>& table, const std::string& block, uint32_t format = 1,
                     std::optional<uint32_t> count = std::nullopt);

// A well-formed image of `records` in the given order, their texts laid out
// one after another in the text block, each with a NUL after it.
std::string Image(const std::vector<Record>& records);

}  // namespace samples
