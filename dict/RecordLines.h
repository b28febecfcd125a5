// The line of each record's "mirok_res_No." marker, noted by the text loader
// during its own parse, for programs that report on a dictionary file by line:
// they then need neither a second copy of the file nor a second parse. The
// parse visits every line feed anyway, so counting them costs next to nothing.
//
// A note is per thread, installed for the life of a RecordLines::Noting.
// While one lives, every text load on its thread (LoadFromTXTFileA,
// LoadFromTXTStringA, ReloadTXTFileA) first clears `*lines`, then appends the
// line number, from 1, of each record marker word it takes as a record's start,
// in record order: the records it loads, and a broken record's own marker
// last. Line numbers count line feeds of the loaded bytes. A load that runs
// out of memory leaves `*lines` in an unspecified state (the load gives 0).
#pragma once

#include <cstdint>
#include <vector>

namespace recordlines {

class Noting {
public:
    // `lines` must outlive the Noting; it is not owned.
    explicit Noting(std::vector<uint32_t>* lines);
    ~Noting();
    Noting(const Noting&) = delete;
    Noting& operator=(const Noting&) = delete;

private:
    std::vector<uint32_t>* outer_;
};

// The vector notes go to on this thread, or null.
std::vector<uint32_t>* Current();

}  // namespace recordlines
