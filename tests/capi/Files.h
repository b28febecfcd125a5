/* Files for the C interface's tests: whole files written and read, and a
 * binary dictionary image written from texts. */
#ifndef VKC_TESTS_CAPI_FILES_H
#define VKC_TESTS_CAPI_FILES_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Check.h"

static inline void WriteWhole(const char* path, const void* bytes, size_t length) {
    FILE* f = fopen(path, "wb");
    CHECK(f != NULL);
    if (f == NULL) return;
    CHECK(fwrite(bytes, 1, length, f) == length);
    fclose(f);
}

/* The whole file in a malloc'd block (NULL when it cannot be read). */
static inline char* ReadWhole(const char* path, size_t* length) {
    FILE* f = fopen(path, "rb");
    char* block;
    long size;
    if (f == NULL) return NULL;
    fseek(f, 0, SEEK_END);
    size = ftell(f);
    fseek(f, 0, SEEK_SET);
    block = (char*)malloc((size_t)size + 1);
    *length = fread(block, 1, (size_t)size, f);
    fclose(f);
    return block;
}

/* Writes an image of `count` records whose texts are `texts[3 * i + k]`. */
static inline void WriteImage(const char* path, const char* const* texts, uint32_t count) {
    unsigned char block[4096];
    size_t at = 8 + 24 * (size_t)count;
    size_t text = 0;
    uint32_t i;
    int k;
    const uint32_t head[2] = {1, count};
    unsigned char* word = block;
    for (i = 0; i < 2; ++i, word += 4) {
        word[0] = (unsigned char)head[i];
        word[1] = (unsigned char)(head[i] >> 8);
        word[2] = (unsigned char)(head[i] >> 16);
        word[3] = (unsigned char)(head[i] >> 24);
    }
    for (i = 0; i < count; ++i) {
        uint32_t fields[6];
        for (k = 0; k < 3; ++k) {
            size_t length = strlen(texts[3 * i + k]);
            memcpy(block + at + text, texts[3 * i + k], length + 1);
            fields[k] = (uint32_t)text;
            fields[3 + k] = (uint32_t)length;
            text += length + 1;
        }
        for (k = 0; k < 6; ++k, word += 4) {
            word[0] = (unsigned char)fields[k];
            word[1] = (unsigned char)(fields[k] >> 8);
            word[2] = word[3] = 0;
        }
    }
    WriteWhole(path, block, at + text);
}

#endif
