#include "fileio/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/ReplaceFile.h"
#include "platform/TemporaryFiles.h"

namespace fileio {

namespace fs = std::filesystem;

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::Fail(const std::string& error) {
    error_ = error;
    Discard();
    return false;
}

void AtomicFile::Discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!temporary_.empty()) {
        std::remove(temporary_.c_str());
        platform::ForgetTemporary(slot_);
    }
    temporary_.clear();
    slot_ = -1;
}

bool AtomicFile::Open(const std::string& target, const AtomicFileOptions& options) {
    Discard();
    error_.clear();
    warning_.clear();
    direct_ = false;
    createNew_ = options.createNew;
    durable_ = options.durable;
    refusedReadOnly_ = false;
    exists_ = false;
    platform::PrepareForWrites();
    std::string reason;
    const int descriptor = platform::OwnDescriptor(target);
    if (descriptor >= 0 && !createNew_) {
        destination_ = target;
        direct_ = true;
        stream_ = platform::OpenDescriptor(descriptor, &reason);
        return stream_ != nullptr || Fail(reason);
    }
    if (createNew_) {
        destination_ = target;
        if (platform::NameTaken(target)) {
            exists_ = true;
            return Fail("it already exists");
        }
    } else if (!platform::FollowLinks(target, &destination_, &reason)) {
        destination_ = target;
        return Fail(reason);
    }
    const platform::FileFacts facts = platform::InspectFile(destination_);
    if (facts.directory) return Fail("it is a folder");
    if (facts.exists && !facts.regular) {
        // A device, FIFO or terminal: a rename would put a plain file in its
        // place (as root, even in place of /dev/null).
        direct_ = true;
        stream_ = std::fopen(destination_.c_str(), "wb");
        return stream_ != nullptr || Fail(platform::LastErrorText());
    }
    if (facts.exists && facts.readOnly && !options.force) {
        refusedReadOnly_ = true;
        return Fail("it is read-only");
    }
    const char* like = facts.exists ? destination_.c_str() : options.modeOf;
    stream_ = platform::CreateFileBeside(destination_, like, &temporary_, &reason);
    // Writing the target in place instead would cut it short before the new
    // content is complete: a full disk or a kill would then lose both.
    if (stream_ == nullptr) return Fail("no temporary file can be made beside it (" + reason + ")");
    // Removed on a signal from here until it replaces the target.
    slot_ = platform::RememberTemporary(temporary_.c_str());
    if (facts.links > 1) {
        warning_ = "it has " + std::to_string(facts.links) +
                   " hard links; only this name gets the new content, the others keep the old";
    }
    return true;
}

bool AtomicFile::Commit() {
    if (stream_ == nullptr) return false;
    bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    std::string reason = written ? "" : std::strerror(errno);
    if (written && durable_ && !direct_) written = platform::SyncToDisk(stream_, &reason);
    const int closed = std::fclose(stream_);
    stream_ = nullptr;
    if (closed != 0 && written) {
        written = false;
        reason = std::strerror(errno);
    }
    if (!written) return Fail(reason);
    if (direct_) return true;
    bool taken = false;
    if (!platform::MoveIntoPlace(temporary_, destination_, !createNew_, &reason, &taken)) {
        exists_ = taken;
        return Fail(taken ? "it already exists" : reason);
    }
    platform::ForgetTemporary(slot_);
    temporary_.clear();
    slot_ = -1;
    // The rename itself is durable once the folder is: a failure here is
    // reported, though the new content already stands in the target's place.
    if (durable_ && !platform::SyncFolderOf(destination_, &reason)) {
        error_ = "the folder could not be put on the disk: " + reason;
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (platform::SameExistingFile(a, b)) return true;
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return false;
    // Not both there: the same name, made absolute and normal, is the same file.
    const fs::path x = fs::weakly_canonical(a, error);
    if (error) return a == b;
    const fs::path y = fs::weakly_canonical(b, error);
    return error ? a == b : x == y;
}

}  // namespace fileio
