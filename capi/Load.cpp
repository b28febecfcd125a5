// Loading and saving through the C interface. The class reports a failed load
// only as 0; the cause is read from what the load left behind: the path it
// set (or not), the size it measured, and the failure note (dict/FailureNote.h)
// for memory and broken records.
#include <cstring>

#include "capi/Handle.h"
#include "dict/FailureNote.h"
#include "dict/SaveHeader.h"
#include "dict/TextFormat.h"
#include "fileio/FileRange.h"

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
                "%s: the file name '%.200s' is too long (260 bytes or more, counting the "
                "current directory when the name has no folder)",
                operation, name);
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
        return Fail(d, VKC_E_OPEN, "%.200s: %s", source,
                    size == 0             ? "the file is empty"
                    : size == 0xFFFFFFFFu ? "cannot open or read the file"
                                          : "the file is larger than 200,000,000 bytes");
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
        return TextLoadResult(d, loaded, d->dict.path, false, count);
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
                        "%.200s: out of memory while loading; no records are loaded", d->dict.path);
        }
        const uint32_t size = static_cast<uint32_t>(ReadFileRangeA(d->dict.path, nullptr, 0, 0));
        if (!AcceptableSize(size)) {
            return Fail(d, VKC_E_OPEN,
                        "%.200s: cannot open or read the file, or it is empty or larger than "
                        "200,000,000 bytes",
                        d->dict.path);
        }
        return Fail(d, VKC_E_FORMAT, "%.200s: not a valid binary dictionary image", d->dict.path);
    });
}

int vkc_dict_append_to_file(vkc_dict* d, const char* path) {
    if (d == nullptr) return capi::NullHandle();
    if (path == nullptr) return Fail(d, VKC_E_ARGUMENT, "append_to_file: the file name is NULL");
    return capi::Guarded(d, "append_to_file", [&] {
        // The class adds up what its three writes report; the save is whole
        // when that is the file text's size: header, records, terminator.
        SYSTEMTIME now;
        GetSystemTime(&now);
        char header[saveheader::kBufferSize];
        uint64_t expected = saveheader::ComposeHeader(now, header) + textformat::kTerminator.length;
        const VKCStringDict& dict = d->dict;
        const uint32_t records = dict.entries != nullptr ? dict.count : 0;
        for (uint32_t i = 0; i < records; ++i) {
            const StringEntry& e = dict.entries[i];
            expected += textformat::kFixedRecordBytes + (e.eng != nullptr ? e.engLen : 0) +
                        (e.chi != nullptr ? e.chiLen : 0) + (e.remark != nullptr ? e.remarkLen : 0);
        }
        const int32_t written = d->dict.SaveToTXTFileA(path);
        if (written >= 0 && static_cast<uint64_t>(written) == expected) return VKC_OK;
        return Fail(d, VKC_E_IO, "%.200s: the dictionary was not written whole", path);
    });
}

}  // extern "C"
