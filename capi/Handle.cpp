// Handles, the library's version, and the messages of failing calls.
#include "capi/Handle.h"

#include <cstdarg>
#include <cstdio>

namespace {

#define VKC_TEXT_(x) #x
#define VKC_TEXT(x) VKC_TEXT_(x)
constexpr char kVersion[] =
    VKC_TEXT(VKC_VERSION_MAJOR) "." VKC_TEXT(VKC_VERSION_MINOR) "." VKC_TEXT(VKC_VERSION_PATCH);

#ifdef VKC_PROJECT_VERSION
constexpr bool SameText(const char* a, const char* b) {
    return *a == *b && (*a == '\0' || SameText(a + 1, b + 1));
}
static_assert(SameText(kVersion, VKC_PROJECT_VERSION),
              "the header's version numbers are the project's version");
#endif

const char kNullHandleMessage[] = "no dictionary: the handle is NULL";
const char kNoText[1] = {'\0'};

}  // namespace

namespace capi {

int Fail(vkc_dict* d, int result, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(d->message, sizeof(d->message), format, arguments);
    va_end(arguments);
    return result;
}

void FillRecord(const StringEntry& entry, vkc_record* out) {
    out->eng = entry.eng != nullptr ? entry.eng : kNoText;
    out->eng_len = entry.eng != nullptr ? entry.engLen : 0;
    out->chi = entry.chi != nullptr ? entry.chi : kNoText;
    out->chi_len = entry.chi != nullptr ? entry.chiLen : 0;
    out->remark = entry.remark != nullptr ? entry.remark : kNoText;
    out->remark_len = entry.remark != nullptr ? entry.remarkLen : 0;
}

}  // namespace capi

extern "C" {

const char* vkc_version(void) {
    return kVersion;
}

vkc_dict* vkc_dict_new(void) {
    try {
        return new vkc_dict();
    } catch (...) {
        return nullptr;
    }
}

void vkc_dict_free(vkc_dict* d) {
    delete d;
}

const char* vkc_dict_last_error(const vkc_dict* d) {
    return d != nullptr ? d->message : kNullHandleMessage;
}

}  // extern "C"
