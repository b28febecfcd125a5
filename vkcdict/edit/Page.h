// The editor's page: the files of vkcdict/edit/page/, built into the program
// by CMake (no file is read at run time and nothing is fetched).
#pragma once

#include <cstddef>
#include <string_view>

namespace vkcdict::edit {

struct PageFile {
    const char* name;  // "index.html", "app.js", ...
    const char* type;  // its media type ("text/html"), all UTF-8
    const unsigned char* data;
    size_t size;
};

// The page file named `name`, or null. The data lives as long as the program.
const PageFile* FindPageFile(std::string_view name);

}  // namespace vkcdict::edit
