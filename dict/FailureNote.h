// Why the last failed operation of this thread failed, for the operations
// whose result alone cannot say: a load gives 0 for a missing file and for a
// broken record alike, a lookup null for a missing record and for memory that
// ran out. The operation notes the cause where it knows it; a caller that
// wants it clears the note, calls, and reads it (the C interface does so).
//
// The note is per thread, so operations on different dictionaries in
// different threads never see each other's. Noting costs nothing on the
// paths that succeed.
#pragma once

#include <cstdint>

namespace failurenote {

enum class Cause {
    kNone,
    kMemory,        // an allocation failed and the operation swallowed it
    kBrokenRecord,  // a text load met a record with a missing marker
    kPathTooLong,   // a load's path, with the current directory in front of a
                    // bare name, is longer than the 259 bytes `path` holds
};

struct Note {
    Cause cause;
    // kBrokenRecord: which marker is missing, as the index into
    // textformat::kMissingMarkerMessages, and the record's index in the load.
    int marker;
    uint32_t record;
};

void Clear();
void NoteMemory();
void NoteBrokenRecord(int marker, uint32_t record);
void NotePathTooLong();
// The note since the last Clear on this thread (kNone when nothing was noted).
Note Last();

}  // namespace failurenote
