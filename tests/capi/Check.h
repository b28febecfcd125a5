/* Checks for the C interface's tests, in C: each failed check is reported
 * with its line and counted, and the program exits 1 when any failed. */
#ifndef VKC_TESTS_CAPI_CHECK_H
#define VKC_TESTS_CAPI_CHECK_H

#include <stdio.h>
#include <string.h>

static int g_failures = 0;

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++g_failures;                                                                 \
        }                                                                                 \
    } while (0)

/* A call's result against the expected one, both printed when they differ. */
#define CHECK_RESULT(call, expected)                                                         \
    do {                                                                                     \
        long actual_ = (long)(call);                                                         \
        long expected_ = (long)(expected);                                                   \
        if (actual_ != expected_) {                                                          \
            fprintf(stderr, "%s:%d: %s gave %ld, expected %ld\n", __FILE__, __LINE__, #call, \
                    actual_, expected_);                                                     \
            ++g_failures;                                                                    \
        }                                                                                    \
    } while (0)

/* True when the `length` bytes at `bytes` are the NUL-terminated `text`. */
static inline int SameBytes(const char* bytes, size_t length, const char* text) {
    return length == strlen(text) && memcmp(bytes, text, length) == 0;
}

#endif
