/* find_from_c DICT KEYS PASSES: loads DICT through the C interface, reads the
 * texts of KEYS (one a line), looks each up once (building the lookup index),
 * then times PASSES passes over all of them and prints the best pass's
 * nanoseconds of CPU time per lookup. bench/python.py times the same lookups from Python
 * against it. */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "capi/vkcstringdict.h"

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    vkc_dict* d = vkc_dict_new();
    if (d == NULL || vkc_dict_load_file(d, argv[1], NULL) != VKC_OK) return 1;
    FILE* file = fopen(argv[2], "rb");
    if (file == NULL) return 1;
    size_t count = 0, capacity = 0;
    char** keys = NULL;
    char* line = NULL;
    size_t size = 0;
    ssize_t length;
    while ((length = getline(&line, &size, file)) > 0) {
        if (line[length - 1] == '\n') line[length - 1] = '\0';
        if (count == capacity) {
            capacity = capacity ? 2 * capacity : 1024;
            keys = realloc(keys, capacity * sizeof *keys);
            if (keys == NULL) return 1;
        }
        keys[count++] = strdup(line);
    }
    fclose(file);
    vkc_record record;
    size_t found = 0;
    for (size_t i = 0; i < count; ++i) found += vkc_dict_find(d, keys[i], &record, NULL) == VKC_OK;
    double best = 1e9;
    for (int pass = 0; pass < atoi(argv[3]); ++pass) {
        double start = Now();
        for (size_t i = 0; i < count; ++i) found += vkc_dict_find(d, keys[i], &record, NULL) == VKC_OK;
        double seconds = Now() - start;
        if (seconds < best) best = seconds;
    }
    printf("%.1f %zu\n", best * 1e9 / (double)count, found);
    vkc_dict_free(d);
    return 0;
}
