/* Files for the C interface's tests: whole files written and read, a binary
 * dictionary image written from texts, and folders made, emptied and
 * counted (to see that nothing was left behind in one). */
#ifndef VKC_TESTS_CAPI_FILES_H
#define VKC_TESTS_CAPI_FILES_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "Check.h"

/* Calls `visit(folder, name)` for each entry of `folder` but "." and "..";
 * returns the number of entries. */
static inline int EachEntry(const char* folder, void (*visit)(const char*, const char*)) {
    int count = 0;
#if defined(_WIN32)
    char pattern[1024];
    struct _finddata_t found;
    intptr_t search;
    snprintf(pattern, sizeof(pattern), "%s\\*", folder);
    search = _findfirst(pattern, &found);
    if (search == -1) return 0;
    do {
        if (strcmp(found.name, ".") == 0 || strcmp(found.name, "..") == 0) continue;
        ++count;
        if (visit != NULL) visit(folder, found.name);
    } while (_findnext(search, &found) == 0);
    _findclose(search);
#else
    DIR* listing = opendir(folder);
    struct dirent* entry;
    if (listing == NULL) return 0;
    while ((entry = readdir(listing)) != NULL) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        ++count;
        if (visit != NULL) visit(folder, entry->d_name);
    }
    closedir(listing);
#endif
    return count;
}

static inline void RemoveEntry(const char* folder, const char* name) {
    char path[1024];
    snprintf(path, sizeof(path), "%s/%s", folder, name);
#if defined(_WIN32)
    _chmod(path, _S_IREAD | _S_IWRITE); /* a read-only file is not removed */
#endif
    remove(path);
}

/* `folder` made when missing, and emptied of files. */
static inline void FreshFolder(const char* folder) {
#if defined(_WIN32)
    _mkdir(folder);
#else
    mkdir(folder, 0777);
#endif
    EachEntry(folder, RemoveEntry);
}

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
