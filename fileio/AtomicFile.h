// Writing a file so that its target holds either its old content or the
// whole new one, never a part: the output goes to a temporary file beside the
// target, which replaces the target in one step (a rename) only once it is
// complete. A failed write (a full disk), a failed replacement, or a run
// ended by SIGINT, SIGTERM or SIGHUP (Ctrl-C or Ctrl-Break on Windows) leaves
// the target as it was and no temporary file behind.
//
// What the user set on the target is kept:
//   - a symbolic link is followed and the file it reaches is replaced, so the
//     link stays a link; a chain that loops or is longer than the system
//     follows, and a link that the system itself would not follow (one that
//     another user planted in a shared folder such as /tmp), are refused;
//   - the new file gets the replaced file's permission bits and, where the
//     process may set them, its owner and group (Windows: its attributes);
//   - a read-only target (no write permission) is refused unless `force`.
// An existing target is never cut short: when no temporary file can be made
// beside it (a full disk, a folder that takes no new file, a name too long),
// the output is refused and the target left as it was.
// A target that is not a regular file (a device such as /dev/null, a FIFO, a
// terminal) is written directly, never renamed over, and so is a name of one
// of the process's own descriptors (/dev/stdout, /dev/stderr, /dev/fd/N,
// /proc/self/fd/N), which is written through that descriptor: appended to the
// file the shell opened with >>, or into a pipe. A target with several hard
// links is replaced under the name given: the other names keep the old
// content (warning() says so); writing through all of them in place could
// not be undone halfway, and would lose the old content on a full disk or a
// kill.
//
// One AtomicFile writes one target at a time; it is not copyable.
#pragma once

#include <cstdio>
#include <string>

namespace fileio {

struct AtomicFileOptions {
    // Replace a read-only target too (its mode is kept).
    bool force = false;
    // The output is a new file (a backup): nothing that stands at the
    // target's name, a link included, is followed or replaced. Open() fails
    // with exists() when the name is taken, and so does Commit() when it was
    // taken meanwhile.
    bool createNew = false;
    // A target that does not exist yet takes the mode and owner of this
    // file (a backup those of its original), not those of any new file.
    const char* modeOf = nullptr;
    // Commit() puts the content on the disk before the rename and the
    // folder after it: once it returns true, a power cut or a kill keeps
    // the new content. Off by default, as it costs a disk flush per file.
    bool durable = false;
};

class AtomicFile {
public:
    AtomicFile() = default;
    // Discards whatever was not committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Prepares the output for `target`: the temporary file beside it, or the
    // target itself for a device, a FIFO or a descriptor of the process.
    // False when the target is a folder, is read-only without `force`, when
    // no temporary file can be made, or the target cannot be written;
    // error() says why and nothing was created.
    bool Open(const std::string& target, const AtomicFileOptions& options = AtomicFileOptions());

    // The stream to write the content to, owned by this object; valid from a
    // successful Open() until Commit() or Discard(). Its buffering is the
    // caller's to set.
    FILE* stream() const { return stream_; }

    // Flushes and closes the stream and puts the file in the target's place.
    // False when a write, the close or the replacement failed: error() says
    // why, the target is as it was (a device, FIFO or descriptor excepted:
    // what was written there stays) and the temporary file is gone.
    bool Commit();

    // Closes the stream and removes the temporary file; the target is left
    // alone. Safe to call at any time.
    void Discard();

    // The temporary file being written, between a successful Open() and
    // Commit() or Discard() (empty for a target written directly), so that
    // the caller may read back what it wrote (after flushing stream()).
    const std::string& temporary() const { return temporary_; }
    // The file that is (or would be) written: the target, links followed.
    const std::string& destination() const { return destination_; }
    // True when the target is written directly, not replaced.
    bool direct() const { return direct_; }
    // Why Open() or Commit() failed, in the system's words or ours.
    const std::string& error() const { return error_; }
    // True when Open() failed only because the target is read-only.
    bool refusedReadOnly() const { return refusedReadOnly_; }
    // True when a `createNew` output failed because its name is taken.
    bool exists() const { return exists_; }
    // A note for the user after a successful Open() (hard links kept apart),
    // or empty.
    const std::string& warning() const { return warning_; }

private:
    bool Fail(const std::string& error);

    std::string destination_;
    std::string temporary_;
    int slot_ = -1;
    FILE* stream_ = nullptr;
    bool direct_ = false;
    bool createNew_ = false;
    bool durable_ = false;
    bool refusedReadOnly_ = false;
    bool exists_ = false;
    std::string error_;
    std::string warning_;
};

// True when `a` and `b` name the same file: by identity (device and file
// number, so through links of either kind) when both exist, otherwise by
// their names made absolute and normal.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace fileio
