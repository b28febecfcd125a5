#include "dict/FailureNote.h"

namespace failurenote {

namespace {
// Plain data, zero-initialised: no per-thread construction is needed.
thread_local Note t_note;
}  // namespace

void Clear() {
    t_note = Note{Cause::kNone, 0, 0};
}

void NoteMemory() {
    t_note = Note{Cause::kMemory, 0, 0};
}

void NoteBrokenRecord(int marker, uint32_t record) {
    t_note = Note{Cause::kBrokenRecord, marker, record};
}

void NotePathTooLong() {
    t_note = Note{Cause::kPathTooLong, 0, 0};
}

Note Last() {
    return t_note;
}

}  // namespace failurenote
