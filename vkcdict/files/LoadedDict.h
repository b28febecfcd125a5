// A dictionary for lookups: a text file (through OpenDictionary, so its load
// problems are reported and its records have lines) or a binary image
// (through the library's image loader). lookup, match and subst use it.
#pragma once

#include <cstdint>
#include <string>

#include "vkcdict/files/DictFile.h"

namespace vkcdict {

class LoadedDict {
public:
    // False, reported, when the file cannot be read, (an image) the loader
    // refuses it, or (a text file) OpenDictionary refuses it under `policy`
    // and `encoding`. A text file that gives no record, refused or not, gets
    // a note to add --image when it looks like a binary image.
    bool Open(const std::string& path, bool image, LoadPolicy policy, Diagnostics& diagnostics,
              EncodingPolicy encoding = EncodingPolicy::kReport);

    VKCStringDict* dict() { return file_.dict.get(); }
    const std::string& path() const { return file_.path; }
    // The line of a record's marker in a text file; 0 for an image.
    uint64_t LineOf(const StringEntry* entry) const;

private:
    bool image_ = false;
    DictFile file_;
};

}  // namespace vkcdict
