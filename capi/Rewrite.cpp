// vkc_rewrite: the substitution's rewriting (dict/ScriptRewrite.h) of a
// script held in memory, into a buffer handed to the caller. Every size is
// checked against SIZE_MAX before it is computed, so that none wraps on a
// 32-bit system either.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "capi/Handle.h"
#include "dict/FailureNote.h"
#include "dict/ScriptRewrite.h"
#include "platform/PageMemory.h"

namespace {

// The largest capacity of the output block: one byte is kept behind it.
constexpr size_t kMaxCapacity = SIZE_MAX - 1;

// The capacity that holds `need` bytes once the block grows: twice the larger
// of `need` and the present capacity, or as much as a size goes. Throws
// std::bad_alloc when no block can hold `need` bytes.
size_t GrownCapacity(size_t capacity, size_t need) {
    if (need > kMaxCapacity) throw std::bad_alloc();
    const size_t base = need > capacity ? need : capacity;
    return base <= kMaxCapacity / 2 ? 2 * base : kMaxCapacity;
}

// The rewritten script, gathered in one block that grows as needed. The block
// always keeps a byte behind the window for the closing NUL.
class BufferOutput : public scriptrewrite::Output {
public:
    explicit BufferOutput(size_t expected) { Reserve(expected); }
    ~BufferOutput() { delete[] block_; }

    // Ends the text with a NUL and hands the block over.
    char* Release(size_t* length) {
        *length = static_cast<size_t>(at_ - block_);
        *at_ = '\0';
        char* block = reinterpret_cast<char*>(block_);
        block_ = nullptr;
        return block;
    }

private:
    // REQUIRES: capacity <= kMaxCapacity, and at least the bytes used.
    void Reserve(size_t capacity) {
        unsigned char* block = new unsigned char[capacity + 1];
        platform::AdviseHugePages(block, capacity + 1);
        const size_t used = block_ != nullptr ? static_cast<size_t>(at_ - block_) : 0;
        if (used != 0) std::memcpy(block, block_, used);
        delete[] block_;
        block_ = block;
        at_ = block + used;
        end_ = block + capacity;
    }

    void Overflow(const void* bytes, size_t n) override {
        const size_t used = static_cast<size_t>(at_ - block_);
        const size_t capacity = static_cast<size_t>(end_ - block_);
        if (n > kMaxCapacity - used) throw std::bad_alloc();
        Reserve(GrownCapacity(capacity, used + n));
        std::memcpy(at_, bytes, n);
        at_ += n;
    }

    unsigned char* block_ = nullptr;
};

// Room for the rewritten script: the script's size and half as much again,
// enough for most translations; pages never written are never touched.
// REQUIRES: length <= PTRDIFF_MAX, so that the result is at most kMaxCapacity.
size_t ExpectedSize(size_t length) {
    const size_t extra = length / 2 + 64;
    return length <= kMaxCapacity - extra ? length + extra : length;
}

// No block of memory is longer than PTRDIFF_MAX bytes (pointers into it could
// not be subtracted), so a longer script is no script.
constexpr size_t kMaxScript = static_cast<size_t>(PTRDIFF_MAX);
static_assert(kMaxScript <= kMaxCapacity, "every script fits the output's first block");

}  // namespace

extern "C" {

int vkc_rewrite(vkc_dict* d, const void* script, size_t length, char** out, size_t* out_length) {
    if (out != nullptr) *out = nullptr;
    if (out_length != nullptr) *out_length = 0;
    if (d == nullptr) return capi::NullHandle();
    if (out == nullptr || out_length == nullptr) {
        return capi::Fail(d, VKC_E_ARGUMENT, "rewrite: a result pointer is NULL");
    }
    if (script == nullptr && length != 0) {
        return capi::Fail(d, VKC_E_ARGUMENT, "rewrite: the script is NULL");
    }
    if (length > kMaxScript) {
        return capi::Fail(d, VKC_E_ARGUMENT,
                          "rewrite: the script's length is larger than any block of memory");
    }
    return capi::Guarded(d, "rewrite", [&] {
        BufferOutput output(ExpectedSize(length));
        unsigned char open = 0;
        failurenote::Clear();
        // An empty script may come as NULL; the core is given a real block.
        static const unsigned char kEmpty[1] = {0};
        const unsigned char* bytes =
            script != nullptr ? static_cast<const unsigned char*>(script) : kEmpty;
        scriptrewrite::RewritePiece(d->dict, bytes, length, true, &open, output);
        // A lookup that ran out of memory would leave its text untranslated.
        if (failurenote::Last().cause == failurenote::Cause::kMemory) {
            return capi::Fail(d, VKC_E_MEMORY, "rewrite: out of memory");
        }
        *out = output.Release(out_length);
        return VKC_OK;
    });
}

void vkc_buffer_free(char* buffer) {
    delete[] buffer;
}

}  // extern "C"
