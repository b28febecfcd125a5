// Loading through the C interface. The class reports a failed load only as 0;
// the cause is read from what the load left behind: the path it set (or not),
// the size it measured, and the failure note (dict/FailureNote.h) for memory
// and broken records; a file that could not be read is looked at again.
// Messages name a file as the caller gave it.
#include <cstring>

#include "capi/FileCause.h"
#include "capi/Handle.h"
#include "dict/FailureNote.h"
#include "dict/TextFormat.h"
#include "fileio/FileRange.h"
#include "platform/Win32.h"

namespace {

using capi::Fail;

// The markers by the index the loader's broken-record note carries.
const textformat::Marker* const kMarkers[6] = {&textformat::kEngStart,    &textformat::kEngEnd,
                                               &textformat::kChiStart,    &textformat::kChiEnd,
                                               &textformat::kRemarkStart, &textformat::kRemarkEnd};

bool AcceptableSize(uint32_t size) {
    return size != 0 && size != 0xFFFFFFFFu && size <= textformat::kMaxDataSize;
}

void TellCount(const vkc_dict* d, uint32_t* count) {
    if (count != nullptr) *count = d->dict.entries != nullptr ? d->dict.count : 0;
}

// Runs a load that takes a file name. A resolved name is never empty, so a
// path still empty after the load means the name was refused before anything
// changed; the former path is then put back. Returns the load's result, or
// VKC_E_ARGUMENT (with `*refused`) for a refused name.
template <class Load>
uint32_t LoadNamed(vkc_dict* d, const char* name, Load load, bool* refused) {
    char previous[sizeof(d->dict.path)];
    std::memcpy(previous, d->dict.path, sizeof(previous));
    d->dict.path[0] = '\0';
    failurenote::Clear();
    const uint32_t loaded = load(name);
    *refused = loaded == 0 && d->dict.path[0] == '\0';
    if (*refused) std::memcpy(d->dict.path, previous, sizeof(previous));
    return loaded;
}

int RefusedName(vkc_dict* d, const char* operation, const char* name) {
    return Fail(d, VKC_E_ARGUMENT,
                "%s: '%.200s': the path is longer than the %d bytes a file name may have (with "
                "the current directory in front when it names no folder)",
                operation, name, MAX_PATH - 1);
}

// Why the file that a load read (`read`: its name as the loader resolved it)
// did not load, for a size the load refused.
const char* SizeProblem(uint32_t size, const char* read) {
    if (size == 0) return "the file is empty";
    if (size != 0xFFFFFFFFu) return "the file is larger than 200,000,000 bytes";
    const char* cause = capi::WhyNotReadable(read);
    return cause != nullptr ? cause : "the file cannot be read";
}

// The result of a text load (file, text or reload) that returned `loaded`;
// `source` names what was loaded, for the messages.
int TextLoadResult(vkc_dict* d, uint32_t loaded, const char* source, bool fromText,
                   uint32_t* count) {
    TellCount(d, count);
    if (loaded != 0) return VKC_OK;
    const failurenote::Note note = failurenote::Last();
    if (note.cause == failurenote::Cause::kBrokenRecord) {
        const bool known = note.marker >= 0 && note.marker < 6;
        const textformat::Marker& marker = *kMarkers[known ? note.marker : 0];
        // The marker's name without its line break.
        const int nameLength = known ? static_cast<int>(marker.length) - 2 : 0;
        return Fail(d, VKC_E_BROKEN,
                    "%.200s: record %u is broken: its %.*s%s line is missing; the %u records "
                    "before it are loaded",
                    source, note.record, nameLength, marker.bytes, known ? "" : "section marker",
                    note.record);
    }
    if (note.cause == failurenote::Cause::kMemory) {
        return Fail(d, VKC_E_MEMORY, "%.200s: out of memory while loading; no records are loaded",
                    source);
    }
    const uint32_t size = d->dict.dataSize;
    if (!AcceptableSize(size)) {
        if (fromText) {
            return Fail(d, VKC_E_OPEN, "the text is %s",
                        size == 0 ? "empty" : "larger than 200,000,000 bytes");
        }
        return Fail(d, VKC_E_OPEN, "%.200s: %s", source, SizeProblem(size, d->dict.path));
    }
    return Fail(d, VKC_E_FORMAT,
                "%.200s: no record marker (mirok_res_No. after a CR LF line break): not "
                "dictionary text, or its line breaks are LF alone",
                source);
}

}  // namespace

extern "C" {

int vkc_dict_load_file(vkc_dict* d, const char* path, uint32_t* count) {
    if (d == nullptr) return capi::NullHandle();
    if (path == nullptr) {
        TellCount(d, count);
        return Fail(d, VKC_E_ARGUMENT, "load_file: the file name is NULL");
    }
    return capi::Guarded(d, "load_file", [&] {
        capi::Changing(d);
        bool refused;
        const uint32_t loaded = LoadNamed(
            d, path, [d](const char* name) { return d->dict.LoadFromTXTFileA(name); }, &refused);
        if (refused) {
            TellCount(d, count);
            return RefusedName(d, "load_file", path);
        }
        return TextLoadResult(d, loaded, path, false, count);
    });
}

int vkc_dict_load_string(vkc_dict* d, const char* text, uint32_t* count) {
    if (d == nullptr) return capi::NullHandle();
    if (text == nullptr) {
        TellCount(d, count);
        return Fail(d, VKC_E_ARGUMENT, "load_string: the text is NULL");
    }
    return capi::Guarded(d, "load_string", [&] {
        capi::Changing(d);
        failurenote::Clear();
        const uint32_t loaded = d->dict.LoadFromTXTStringA(text);
        return TextLoadResult(d, loaded, "the text", true, count);
    });
}

int vkc_dict_reload(vkc_dict* d, uint32_t* count) {
    if (d == nullptr) return capi::NullHandle();
    return capi::Guarded(d, "reload", [&] {
        capi::Changing(d);
        char previous[sizeof(d->dict.path)];
        std::memcpy(previous, d->dict.path, sizeof(previous));
        failurenote::Clear();
        const uint32_t loaded = d->dict.ReloadTXTFileA();
        if (loaded == 0 && previous[0] == '\0') {
            TellCount(d, count);
            return Fail(d, VKC_E_OPEN, "reload: the content was not loaded from a file");
        }
        return TextLoadResult(d, loaded, previous, false, count);
    });
}

int vkc_dict_load_image(vkc_dict* d, const char* path, uint32_t* count) {
    if (d == nullptr) return capi::NullHandle();
    if (path == nullptr) {
        TellCount(d, count);
        return Fail(d, VKC_E_ARGUMENT, "load_image: the file name is NULL");
    }
    return capi::Guarded(d, "load_image", [&] {
        capi::Changing(d);
        bool refused;
        const uint32_t loaded = LoadNamed(
            d, path, [d](const char* name) { return d->dict.LoadFromBINFileA(name); }, &refused);
        TellCount(d, count);
        if (refused) return RefusedName(d, "load_image", path);
        // A refused image leaves dataSize 0; an accepted one, its file's size,
        // even when it holds no records.
        if (loaded != 0 || d->dict.dataSize != 0) return VKC_OK;
        if (failurenote::Last().cause == failurenote::Cause::kMemory) {
            return Fail(d, VKC_E_MEMORY,
                        "%.200s: out of memory while loading; no records are loaded", path);
        }
        const uint32_t size = static_cast<uint32_t>(ReadFileRangeA(d->dict.path, nullptr, 0, 0));
        if (!AcceptableSize(size)) {
            return Fail(d, VKC_E_OPEN, "%.200s: %s", path, SizeProblem(size, d->dict.path));
        }
        return Fail(d, VKC_E_FORMAT, "%.200s: not a valid binary dictionary image", path);
    });
}

}  // extern "C"
