/* The C interface, from C, through the shared library: every function, every
 * result and every NULL argument; lookups and edits against a plain model;
 * vkc_rewrite against the substitution tool's own output; and the library
 * loaded at run time by name (LoadLibrary and GetProcAddress, or dlopen).
 *
 * Compile definitions: VKCSUBST_PATH (the tool), VKC_TEST_DATA_DIR and
 * VKC_EXAMPLES_DIR (scripts), VKC_SHARED_LIBRARY (the library's file name),
 * VKC_EXPECTED_VERSION (the project's version). Files are made in the
 * current folder. */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 200809L
#endif

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "Check.h"
#include "Dictionaries.h"
#include "Files.h"
#include "vkcstringdict.h"

/* Runs the substitution tool on files; returns its exit status. */
static int RunVkcsubst(const char* script, const char* dictionary, const char* output) {
#if defined(_WIN32)
    const char* arguments[] = {"vkcsubst", "2", script, dictionary, output, NULL};
    return (int)_spawnv(_P_WAIT, VKCSUBST_PATH, arguments);
#else
    int status = -1;
    pid_t child = fork();
    if (child == 0) {
        execl(VKCSUBST_PATH, "vkcsubst", "2", script, dictionary, output, (char*)NULL);
        _exit(127);
    }
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

/* ---- Handles, versions, NULL */

static void TestVersion(void) {
    char expected[32];
    sprintf(expected, "%d.%d.%d", VKC_VERSION_MAJOR, VKC_VERSION_MINOR, VKC_VERSION_PATCH);
    CHECK(strcmp(vkc_version(), expected) == 0);
    CHECK(strcmp(vkc_version(), VKC_EXPECTED_VERSION) == 0);
}

/* Every function given a NULL handle: VKC_E_ARGUMENT and no crash. */
static void TestNullHandle(void) {
    uint32_t n = 7;
    int found = 0;
    vkc_record record;
    char out[16];
    char* buffer = (char*)"x";
    size_t length = 9;
    CHECK_RESULT(vkc_dict_load_file(NULL, "a", &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_load_string(NULL, VKC_THREE, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_reload(NULL, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_load_image(NULL, "a", &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_append_to_file(NULL, "a"), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_save(NULL, "a"), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_count(NULL, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_record(NULL, 0, &record), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_find(NULL, "a", &record, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_find_index(NULL, "a", &n, &found), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_add(NULL, "a", NULL, NULL, &record, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_insert_blank(NULL, 0, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_set_eng(NULL, 0, "a"), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_set_chi(NULL, 0, "a"), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_set_remark(NULL, 0, "a"), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_match(NULL, "a", out, sizeof(out)), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_match_capacity(NULL, &n), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_rewrite(NULL, "[a]", 3, &buffer, &length), VKC_E_ARGUMENT);
    CHECK(buffer == NULL && length == 0);
    CHECK(n == 7);
    CHECK(strlen(vkc_dict_last_error(NULL)) > 0);
    vkc_dict_free(NULL);
    vkc_buffer_free(NULL);
}

/* A NULL where the operation gives it no meaning: VKC_E_ARGUMENT, a message,
 * and the dictionary unchanged. */
static void TestNullArguments(void) {
    vkc_dict* d = vkc_dict_new();
    vkc_record record;
    uint32_t n = 0;
    int found = 0;
    char out[16];
    char* buffer = NULL;
    size_t length = 0;
    const char* message = vkc_dict_last_error(d);
    CHECK(d != NULL && strcmp(message, "") == 0);
    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);

#define CHECK_ARGUMENT(call)                                      \
    do {                                                          \
        CHECK_RESULT(call, VKC_E_ARGUMENT);                       \
        CHECK(strlen(vkc_dict_last_error(d)) > 0);                \
        CHECK(vkc_dict_count(d, &n) == VKC_OK && n == 3);         \
    } while (0)
    CHECK_ARGUMENT(vkc_dict_load_file(d, NULL, &n));
    CHECK_ARGUMENT(vkc_dict_load_string(d, NULL, &n));
    CHECK_ARGUMENT(vkc_dict_load_image(d, NULL, &n));
    CHECK_ARGUMENT(vkc_dict_append_to_file(d, NULL));
    CHECK_ARGUMENT(vkc_dict_save(d, NULL));
    CHECK_ARGUMENT(vkc_dict_save(d, ""));
    CHECK_ARGUMENT(vkc_dict_count(d, NULL));
    CHECK_ARGUMENT(vkc_dict_record(d, 0, NULL));
    CHECK_ARGUMENT(vkc_dict_find(d, NULL, &record, NULL));
    CHECK_ARGUMENT(vkc_dict_find(d, "Apple", NULL, NULL));
    CHECK_ARGUMENT(vkc_dict_find_index(d, NULL, &n, &found));
    CHECK_ARGUMENT(vkc_dict_find_index(d, "Apple", NULL, &found));
    CHECK_ARGUMENT(vkc_dict_find_index(d, "Apple", &n, NULL));
    CHECK_ARGUMENT(vkc_dict_add(d, NULL, "x", "y", &record, NULL));
    CHECK_ARGUMENT(vkc_dict_match(d, NULL, out, sizeof(out)));
    CHECK_ARGUMENT(vkc_dict_match(d, "Hello", NULL, sizeof(out)));
    CHECK_ARGUMENT(vkc_dict_match(d, "Hello", out, 0));
    CHECK_ARGUMENT(vkc_dict_match_capacity(d, NULL));
    CHECK_ARGUMENT(vkc_rewrite(d, "[a]", 3, NULL, &length));
    CHECK_ARGUMENT(vkc_rewrite(d, "[a]", 3, &buffer, NULL));
    CHECK_ARGUMENT(vkc_rewrite(d, NULL, 3, &buffer, &length));
    CHECK(buffer == NULL && length == 0);
#undef CHECK_ARGUMENT

    /* Where NULL has a meaning it is kept: no count wanted, CHI and remark
     * standing for the ENG text, the empty text, an empty script. */
    CHECK_RESULT(vkc_dict_add(d, " Pear ", NULL, NULL, NULL, NULL), VKC_OK);
    CHECK_RESULT(vkc_dict_find(d, "Pear", &record, NULL), VKC_OK);
    CHECK(SameBytes(record.eng, record.eng_len, "Pear"));
    CHECK(SameBytes(record.chi, record.chi_len, " Pear "));
    CHECK(SameBytes(record.remark, record.remark_len, " Pear "));
    CHECK_RESULT(vkc_dict_set_chi(d, 0, NULL), VKC_OK);
    CHECK(vkc_dict_record(d, 0, &record) == VKC_OK && record.chi_len == 0 && record.chi != NULL);
    CHECK_RESULT(vkc_rewrite(d, NULL, 0, &buffer, &length), VKC_OK);
    CHECK(buffer != NULL && length == 0 && buffer[0] == '\0');
    vkc_buffer_free(buffer);
    /* The message block stays where it is. */
    CHECK(vkc_dict_last_error(d) == message);
    vkc_dict_free(d);
}

/* ---- Loading */

/* One load and what it must give: result, records usable after it, words
 * the message must hold. */
struct LoadCase {
    const char* name;
    int how; /* 0 text in memory, 1 text file, 2 image file */
    const char* path;
    const char* text;
    int result;
    uint32_t count;
    const char* message[2];
    int skip; /* the case cannot be made here */
};

/* The folder the tests use as a file that is none. */
#define FOLDER "capi_test_folder"

/* True where a file's read permission binds (not on Windows, not for root). */
static int ReadPermissionBinds(void) {
#if defined(_WIN32)
    return 0;
#else
    return geteuid() != 0;
#endif
}

static void TestLoads(void) {
    static const char* const kImage[] = {"b-first", "B", "", "a-second", "A", "r"};
    const char kBrokenRemark[] = VKC_HEADER VKC_RECORD("00000000", "a", "A", "")
        VKC_RECORD("00000001", "b", "B", "") VKC_ENG("00000002", "c") VKC_CHI("C")
            "mirok_res_Remark00_Start\r\n" VKC_END;
    const char kBrokenEng[] = VKC_HEADER VKC_RECORD("00000000", "a", "A", "")
        "\r\nmirok_res_No.00000001\r\nENG\r\n" VKC_END;
    char longName[301];
    char missing[128];
    char denied[128];
    const struct LoadCase cases[] = {
        {"three records", 0, NULL, VKC_THREE, VKC_OK, 3, {"", ""}, 0},
        {"empty text", 0, NULL, "", VKC_E_OPEN, 3, {"empty", ""}, 0},
        {"no record marker", 0, NULL, "mirok_res_No.1\nLF only", VKC_E_FORMAT, 0,
         {"no record marker", ""}, 0},
        {"remark end missing", 0, NULL, kBrokenRemark, VKC_E_BROKEN, 2,
         {"record 2", "mirok_res_Remark00_End"}, 0},
        {"ENG start missing", 0, NULL, kBrokenEng, VKC_E_BROKEN, 1,
         {"record 1", "mirok_res_ENG_Start"}, 0},
        {"file", 1, "capi_test_dict.txt", VKC_THREE, VKC_OK, 3, {"", ""}, 0},
        /* A file that cannot be read is named as given, with the cause. */
        {"missing file", 1, "capi_test_missing.txt", NULL, VKC_E_OPEN, 3,
         {"capi_test_missing.txt", missing}, 0},
        {"folder", 1, FOLDER, NULL, VKC_E_OPEN, 3, {"it is a folder", ""}, 0},
        {"unreadable file", 1, "capi_test_unreadable.txt", NULL, VKC_E_OPEN, 3,
         {"capi_test_unreadable.txt", denied}, !ReadPermissionBinds()},
        {"empty file", 1, "capi_test_empty.txt", "", VKC_E_OPEN, 3, {"empty", ""}, 0},
        {"oversized file", 1, "capi_test_huge.txt", NULL, VKC_E_OPEN, 3, {"200,000,000", ""}, 0},
        {"name too long", 1, longName, NULL, VKC_E_ARGUMENT, 3, {"259 bytes", ""}, 0},
        {"image", 2, "capi_test_image.bin", NULL, VKC_OK, 2, {"", ""}, 0},
        {"image of no records", 2, "capi_test_image0.bin", NULL, VKC_OK, 0, {"", ""}, 0},
        {"text as image", 2, "capi_test_dict.txt", NULL, VKC_E_FORMAT, 0, {"image", ""}, 0},
        {"missing image", 2, "capi_test_missing.bin", NULL, VKC_E_OPEN, 0, {missing, ""}, 0},
        {"folder as image", 2, FOLDER, NULL, VKC_E_OPEN, 0, {"it is a folder", ""}, 0},
        {"empty image", 2, "capi_test_empty.txt", NULL, VKC_E_OPEN, 0, {"empty", ""}, 0},
        {"image name too long", 2, longName, NULL, VKC_E_ARGUMENT, 3, {"259 bytes", ""}, 0},
    };
    size_t i;
    vkc_dict* d = vkc_dict_new();
    FILE* huge = fopen("capi_test_huge.txt", "wb");
    CHECK(huge != NULL);
    if (huge != NULL) {
        fseek(huge, 200000000L, SEEK_SET); /* one byte over the limit, sparse */
        fputc('x', huge);
        fclose(huge);
    }
    memset(longName, 'n', 300);
    longName[300] = '\0';
    /* The system's words for the causes. */
    snprintf(missing, sizeof(missing), "%s", strerror(ENOENT));
    snprintf(denied, sizeof(denied), "%s", strerror(EACCES));
    FreshFolder(FOLDER);
    WriteWhole("capi_test_unreadable.txt", VKC_THREE, strlen(VKC_THREE));
#if !defined(_WIN32)
    chmod("capi_test_unreadable.txt", 0);
#endif
    WriteWhole("capi_test_dict.txt", VKC_THREE, strlen(VKC_THREE));
    WriteWhole("capi_test_empty.txt", "", 0);
    WriteImage("capi_test_image.bin", kImage, 2);
    WriteImage("capi_test_image0.bin", kImage, 0);
    remove("capi_test_missing.txt");

    for (i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const struct LoadCase* c = &cases[i];
        uint32_t count = 12345;
        int result;
        int k;
        if (c->skip) continue;
        /* Each case starts from the three records, so that what stays shows. */
        CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
        result = c->how == 0   ? vkc_dict_load_string(d, c->text, &count)
                 : c->how == 1 ? vkc_dict_load_file(d, c->path, &count)
                               : vkc_dict_load_image(d, c->path, &count);
        if (result != c->result || count != c->count) {
            fprintf(stderr, "load case '%s': result %d, count %u; expected %d, %u (%s)\n",
                    c->name, result, (unsigned)count, c->result, (unsigned)c->count,
                    vkc_dict_last_error(d));
            ++g_failures;
        }
        for (k = 0; k < 2; ++k) {
            if (strstr(vkc_dict_last_error(d), c->message[k]) == NULL) {
                fprintf(stderr, "load case '%s': message '%s' lacks '%s'\n", c->name,
                        vkc_dict_last_error(d), c->message[k]);
                ++g_failures;
            }
        }
        /* A file that did not load is named as the caller named it. */
        if (c->how != 0 && (result == VKC_E_OPEN || result == VKC_E_FORMAT) &&
            strncmp(vkc_dict_last_error(d), c->path, strlen(c->path)) != 0) {
            fprintf(stderr, "load case '%s': message '%s' does not begin with the name given\n",
                    c->name, vkc_dict_last_error(d));
            ++g_failures;
        }
    }

    /* The image's records keep its order; reload takes the file again. */
    {
        vkc_record record;
        uint32_t count = 0;
        CHECK_RESULT(vkc_dict_load_image(d, "capi_test_image.bin", &count), VKC_OK);
        CHECK(vkc_dict_record(d, 0, &record) == VKC_OK &&
              SameBytes(record.eng, record.eng_len, "b-first"));
        CHECK_RESULT(vkc_dict_load_file(d, "capi_test_dict.txt", NULL), VKC_OK);
        WriteWhole("capi_test_dict.txt", kBrokenRemark, strlen(kBrokenRemark));
        CHECK_RESULT(vkc_dict_reload(d, &count), VKC_E_BROKEN);
        CHECK(count == 2);
        CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
        CHECK_RESULT(vkc_dict_reload(d, &count), VKC_E_OPEN);
        CHECK(count == 0);
    }
    vkc_dict_free(d);
    remove("capi_test_huge.txt");
    remove("capi_test_unreadable.txt");
}

/* ---- Records, lookups and edits against a plain model */

/* The model: unique trimmed keys in ascending byte order, each with the CHI
 * text it was added with. */
#define MODEL_MAX 400
struct Model {
    char keys[MODEL_MAX][8];
    char chis[MODEL_MAX][12];
    uint32_t count;
};

/* The insertion position of `key` and whether it is there. */
static uint32_t ModelFind(const struct Model* m, const char* key, int* found) {
    uint32_t i = 0;
    while (i < m->count && strcmp(m->keys[i], key) < 0) ++i;
    *found = i < m->count && strcmp(m->keys[i], key) == 0;
    return i;
}

static uint32_t g_seed = 12345;
static uint32_t Next(uint32_t bound) {
    g_seed = g_seed * 1103515245u + 12345u;
    return (g_seed >> 8) % bound;
}

/* A key of 1 to 3 letters from a small alphabet, so that lookups hit often;
 * bytes above 0x7F test the unsigned order. */
static void RandomKey(char* key) {
    static const char kLetters[] = "ab\xB0z";
    int n = 1 + (int)Next(3);
    int i;
    for (i = 0; i < n; ++i) key[i] = kLetters[Next(4)];
    key[n] = '\0';
}

static void TestAgainstModel(void) {
    struct Model m;
    vkc_dict* d = vkc_dict_new();
    int step;
    m.count = 0;
    for (step = 0; step < 3000; ++step) {
        char key[8];
        char padded[16];
        uint32_t index = 99999;
        uint32_t modelIndex;
        int found = -1;
        int modelFound;
        vkc_record record;
        RandomKey(key);
        sprintf(padded, "%s%s%s", Next(2) ? "  " : "", key, Next(2) ? " " : "");
        modelIndex = ModelFind(&m, key, &modelFound);
        switch (Next(3)) {
            case 0: { /* add */
                char chi[12];
                sprintf(chi, "C%d", step);
                CHECK_RESULT(vkc_dict_add(d, padded, chi, "r", &record, &index), VKC_OK);
                CHECK(index == modelIndex && SameBytes(record.eng, record.eng_len, key));
                CHECK(SameBytes(record.chi, record.chi_len, modelFound ? m.chis[modelIndex] : chi));
                if (!modelFound && m.count < MODEL_MAX) {
                    memmove(m.keys[modelIndex + 1], m.keys[modelIndex],
                            sizeof(m.keys[0]) * (m.count - modelIndex));
                    memmove(m.chis[modelIndex + 1], m.chis[modelIndex],
                            sizeof(m.chis[0]) * (m.count - modelIndex));
                    strcpy(m.keys[modelIndex], key);
                    strcpy(m.chis[modelIndex], chi);
                    ++m.count;
                }
                break;
            }
            case 1: /* find */
                CHECK_RESULT(vkc_dict_find(d, padded, &record, &index),
                             modelFound ? VKC_OK : VKC_NOT_FOUND);
                if (modelFound) {
                    CHECK(index == modelIndex);
                    CHECK(SameBytes(record.chi, record.chi_len, m.chis[modelIndex]));
                }
                break;
            default: /* find_index */
                CHECK_RESULT(vkc_dict_find_index(d, padded, &index, &found), VKC_OK);
                CHECK(index == modelIndex && found == modelFound);
                break;
        }
    }
    {
        uint32_t count = 0;
        uint32_t i;
        vkc_record record;
        CHECK(vkc_dict_count(d, &count) == VKC_OK && count == m.count);
        for (i = 0; i < count; ++i) {
            CHECK(vkc_dict_record(d, i, &record) == VKC_OK);
            CHECK(SameBytes(record.eng, record.eng_len, m.keys[i]));
            CHECK(SameBytes(record.remark, record.remark_len, "r"));
        }
        CHECK_RESULT(vkc_dict_record(d, count, &record), VKC_E_RANGE);
        CHECK(strstr(vkc_dict_last_error(d), "out of range") != NULL);
    }
    vkc_dict_free(d);
}

/* Blank records, the set operations and their index bounds, on a fresh and on
 * a loaded dictionary. */
static void TestEdits(void) {
    vkc_dict* d = vkc_dict_new();
    vkc_record record;
    uint32_t count = 0;
    CHECK_RESULT(vkc_dict_set_eng(d, 0, "x"), VKC_E_RANGE);
    CHECK_RESULT(vkc_dict_insert_blank(d, 1, &count), VKC_E_RANGE);
    CHECK_RESULT(vkc_dict_insert_blank(d, 0, &count), VKC_OK);
    CHECK(count == 1);
    CHECK(vkc_dict_record(d, 0, &record) == VKC_OK && record.eng_len == 0 && record.eng != NULL);

    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
    CHECK_RESULT(vkc_dict_insert_blank(d, 3, &count), VKC_OK); /* appends */
    CHECK_RESULT(vkc_dict_insert_blank(d, 1, &count), VKC_OK);
    CHECK(count == 5);
    CHECK_RESULT(vkc_dict_insert_blank(d, 6, NULL), VKC_E_RANGE);
    CHECK(vkc_dict_record(d, 2, &record) == VKC_OK &&
          SameBytes(record.eng, record.eng_len, "Hello world"));
    CHECK_RESULT(vkc_dict_set_eng(d, 1, " Banana "), VKC_OK);
    CHECK_RESULT(vkc_dict_set_chi(d, 1, "XIANG JIAO"), VKC_OK);
    CHECK_RESULT(vkc_dict_set_remark(d, 1, "yellow"), VKC_OK);
    CHECK_RESULT(vkc_dict_set_chi(d, 4, "Y"), VKC_OK);
    CHECK_RESULT(vkc_dict_set_eng(d, 5, "x"), VKC_E_RANGE);
    CHECK_RESULT(vkc_dict_set_chi(d, 5, "x"), VKC_E_RANGE);
    CHECK_RESULT(vkc_dict_set_remark(d, 5, "x"), VKC_E_RANGE);
    CHECK(vkc_dict_record(d, 1, &record) == VKC_OK);
    CHECK(SameBytes(record.eng, record.eng_len, " Banana ")); /* stored as given */
    CHECK(SameBytes(record.chi, record.chi_len, "XIANG JIAO"));
    CHECK(SameBytes(record.remark, record.remark_len, "yellow"));
    /* A text of the dictionary's own, set into another record. */
    CHECK(vkc_dict_record(d, 0, &record) == VKC_OK);
    CHECK_RESULT(vkc_dict_set_remark(d, 4, record.chi), VKC_OK);
    CHECK(vkc_dict_record(d, 4, &record) == VKC_OK &&
          SameBytes(record.remark, record.remark_len, "PING GUO"));
    vkc_dict_free(d);
}

/* ---- Saving */

static void TestAppend(void) {
    vkc_dict* d = vkc_dict_new();
    vkc_dict* again = vkc_dict_new();
    vkc_record record;
    uint32_t count = 0;
    size_t once = 0;
    size_t twice = 0;
    char* text;
    remove("capi_test_saved.txt");
    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
    CHECK_RESULT(vkc_dict_add(d, "Mango", "MANG GUO", NULL, NULL, NULL), VKC_OK);
    CHECK_RESULT(vkc_dict_append_to_file(d, "capi_test_saved.txt"), VKC_OK);
    CHECK_RESULT(vkc_dict_load_file(again, "capi_test_saved.txt", &count), VKC_OK);
    CHECK(count == 4);
    CHECK(vkc_dict_find(again, "Mango", &record, NULL) == VKC_OK &&
          SameBytes(record.chi, record.chi_len, "MANG GUO"));
    /* The file's bytes past the header are the records and the terminator. */
    text = ReadWhole("capi_test_saved.txt", &once);
    CHECK(text != NULL && once > 75 && strstr(text, "\r\nmirok_res_No.00000003\r\n") != NULL);
    free(text);
    /* It appends: a second save doubles the file. */
    CHECK_RESULT(vkc_dict_append_to_file(d, "capi_test_saved.txt"), VKC_OK);
    free(ReadWhole("capi_test_saved.txt", &twice));
    CHECK(twice == 2 * once);
    vkc_dict_free(d);
    vkc_dict_free(again);
}

/* True when two dictionary texts are the same after their header lines,
 * which hold the time of writing. */
static int SameBody(const char* a, size_t aLength, const char* b, size_t bLength) {
    size_t aHeader = 0;
    size_t bHeader = 0;
    while (aHeader + 1 < aLength && memcmp(a + aHeader, "\r\n", 2) != 0) ++aHeader;
    while (bHeader + 1 < bLength && memcmp(b + bHeader, "\r\n", 2) != 0) ++bHeader;
    return aHeader == bHeader && aLength == bLength &&
           memcmp(a + aHeader, b + bHeader, aLength - aHeader) == 0;
}

/* The bytes of a save are those the appending writer writes to an empty file:
 * for no records, records loaded, records with empty texts, an image's. */
static void TestSaveWritesWhatAppendWrites(void) {
    static const char* const kImage[] = {"b-first", "B", "", "a-second", "A", "r"};
    vkc_dict* d = vkc_dict_new();
    int step;
    WriteImage("capi_test_image.bin", kImage, 2);
    for (step = 0; step < 4; ++step) {
        size_t savedLength = 0;
        size_t appendedLength = 0;
        char* saved;
        char* appended;
        if (step == 1) CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
        if (step == 2) {
            CHECK_RESULT(vkc_dict_insert_blank(d, 1, NULL), VKC_OK);
            CHECK_RESULT(vkc_dict_set_chi(d, 3, NULL), VKC_OK);
        }
        if (step == 3) CHECK_RESULT(vkc_dict_load_image(d, "capi_test_image.bin", NULL), VKC_OK);
        remove("capi_test_appended.txt");
        CHECK_RESULT(vkc_dict_append_to_file(d, "capi_test_appended.txt"), VKC_OK);
        /* Twice: a save replaces what was there. */
        CHECK_RESULT(vkc_dict_save(d, "capi_test_saved.txt"), VKC_OK);
        CHECK_RESULT(vkc_dict_save(d, "capi_test_saved.txt"), VKC_OK);
        saved = ReadWhole("capi_test_saved.txt", &savedLength);
        appended = ReadWhole("capi_test_appended.txt", &appendedLength);
        if (saved == NULL || appended == NULL ||
            !SameBody(saved, savedLength, appended, appendedLength)) {
            fprintf(stderr, "save, step %d: %lu bytes saved, %lu appended, and they differ\n", step,
                    (unsigned long)savedLength, (unsigned long)appendedLength);
            ++g_failures;
        }
        free(saved);
        free(appended);
    }
    vkc_dict_free(d);
}

/* Writes that fail change nothing in FOLDER, say why, and name the file as
 * given (a save never names the file it made beside its target); a name is
 * refused only beyond 259 bytes. */
static void TestWriteFailures(void) {
    struct WriteCase {
        int save; /* vkc_dict_save, or vkc_dict_append_to_file */
        const char* path;
        int result;
        const char* message[2];
    };
    char longest[300];
    char tooLong[300];
    char missing[128];
#define NO_FOLDER "capi_test_no_such_folder/x.txt"
    const struct WriteCase cases[] = {
        {0, NO_FOLDER, VKC_E_IO, {NO_FOLDER ": ", missing}},
        {0, FOLDER, VKC_E_IO, {FOLDER ": ", "it is a folder"}},
        {0, tooLong, VKC_E_ARGUMENT, {"259 bytes", NULL}},
        {1, FOLDER, VKC_E_IO, {FOLDER ": ", "it is a folder"}},
#if defined(_WIN32)
        /* (The system's words: not the C library's.) */
        {1, NO_FOLDER, VKC_E_IO, {NO_FOLDER ": ", NULL}},
#else
        {1, NO_FOLDER, VKC_E_IO, {NO_FOLDER ": ", missing}},
        /* (Windows counts the current folder in.) */
        {0, longest, VKC_OK, {NULL, NULL}},
        {0, "/dev/full", VKC_E_IO, {"/dev/full: ", "fell short"}},
#endif
    };
#undef NO_FOLDER
    vkc_dict* d = vkc_dict_new();
    size_t i;
    int k;
    snprintf(missing, sizeof(missing), "%s", strerror(ENOENT));
    FreshFolder(FOLDER);
    /* 259 and 260 bytes, in a folder so that no part of the name is too long. */
    memset(longest, 'n', sizeof(longest));
    memcpy(longest, FOLDER "/", strlen(FOLDER "/"));
    longest[259] = '\0';
    memcpy(tooLong, longest, 259);
    tooLong[259] = 'n';
    tooLong[260] = '\0';
    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
    for (i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        const struct WriteCase* c = &cases[i];
        const int result =
            c->save ? vkc_dict_save(d, c->path) : vkc_dict_append_to_file(d, c->path);
        const char* message = vkc_dict_last_error(d);
        if (result != c->result) {
            fprintf(stderr, "write case %lu: result %d, expected %d (%s)\n", (unsigned long)i,
                    result, c->result, message);
            ++g_failures;
        }
        for (k = 0; k < 2; ++k) {
            if (c->message[k] != NULL && strstr(message, c->message[k]) == NULL) {
                fprintf(stderr, "write case %lu: message '%s' lacks '%s'\n", (unsigned long)i,
                        message, c->message[k]);
                ++g_failures;
            }
        }
        if (c->save) CHECK(strstr(message, "vkcdict-") == NULL);
        if (c->result != VKC_OK) CHECK(EachEntry(FOLDER, NULL) == 0);
        FreshFolder(FOLDER);
    }
    vkc_dict_free(d);
}

#if !defined(_WIN32)

/* A save whose writes fail (a limit on file sizes) leaves the target and its
 * folder as they were and tells the system's cause. */
static void TestSaveCutShort(void) {
    const char target[] = FOLDER "/dict.txt";
    struct rlimit limit;
    struct rlimit cut;
    vkc_dict* d = vkc_dict_new();
    size_t length = 0;
    char* content;
    int k;
    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
    for (k = 0; k < 30; ++k) { /* over the limit below */
        char key[16];
        sprintf(key, "key %d", k);
        CHECK_RESULT(vkc_dict_add(d, key, "CHI", NULL, NULL, NULL), VKC_OK);
    }
    FreshFolder(FOLDER);
    WriteWhole(target, "old", 3);
    CHECK(getrlimit(RLIMIT_FSIZE, &limit) == 0);
    cut = limit;
    cut.rlim_cur = 1000;
    signal(SIGXFSZ, SIG_IGN);
    CHECK(setrlimit(RLIMIT_FSIZE, &cut) == 0);
    CHECK_RESULT(vkc_dict_save(d, target), VKC_E_IO);
    setrlimit(RLIMIT_FSIZE, &limit);
    CHECK(strncmp(vkc_dict_last_error(d), target, strlen(target)) == 0);
    CHECK(strstr(vkc_dict_last_error(d), strerror(EFBIG)) != NULL);
    content = ReadWhole(target, &length);
    CHECK(content != NULL && SameBytes(content, length, "old"));
    free(content);
    CHECK(EachEntry(FOLDER, NULL) == 1);
    FreshFolder(FOLDER);
    vkc_dict_free(d);
}

static void OnInterrupt(int signal) {
    (void)signal;
}

/* A save keeps the handler the program set for SIGINT, and leaves the
 * library's own where the action was the default (SIGTERM). Run before any
 * other save: the library sets its handlers once. */
static void TestSaveKeepsSignalHandlers(void) {
    struct sigaction ours;
    struct sigaction after;
    vkc_dict* d = vkc_dict_new();
    memset(&ours, 0, sizeof(ours));
    ours.sa_handler = OnInterrupt;
    sigemptyset(&ours.sa_mask);
    CHECK(sigaction(SIGINT, &ours, NULL) == 0);
    CHECK_RESULT(vkc_dict_save(d, "capi_test_signals.txt"), VKC_OK);
    CHECK(sigaction(SIGINT, NULL, &after) == 0 && after.sa_handler == OnInterrupt);
    CHECK(sigaction(SIGTERM, NULL, &after) == 0 && after.sa_handler != SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    remove("capi_test_signals.txt");
    vkc_dict_free(d);
}

#endif /* !_WIN32 */

/* ---- Piecewise matching */

static void TestMatch(void) {
    vkc_dict* d = vkc_dict_new();
    char out[16];
    uint32_t capacity = 0;
    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
    CHECK(vkc_dict_match_capacity(d, &capacity) == VKC_OK && capacity == 9);
    CHECK_RESULT(vkc_dict_match(d, " Hello", out, sizeof(out)), 1);
    CHECK(strcmp(out, "\xC4\xE3\xBA\xC3\xCA\xC0") == 0);
    /* A NULL argument leaves the match in progress. */
    CHECK_RESULT(vkc_dict_match(d, NULL, out, sizeof(out)), VKC_E_ARGUMENT);
    CHECK_RESULT(vkc_dict_match(d, "world", out, sizeof(out)), 2);
    CHECK(strcmp(out, "\xBD\xE7") == 0);
    CHECK_RESULT(vkc_dict_match(d, "world", out, sizeof(out)), 0); /* idle again */
    CHECK_RESULT(vkc_dict_match(d, "Apple", out, sizeof(out)), 0); /* an exact hit begins none */
    CHECK_RESULT(vkc_dict_match(d, "Hel", out, 2), 0);             /* does not fit */
    CHECK_RESULT(vkc_dict_add(d, "Kiwi fruit", "MI HOU TAO TAO", NULL, NULL, NULL), VKC_OK);
    CHECK(vkc_dict_match_capacity(d, &capacity) == VKC_OK && capacity == 15);
    vkc_dict_free(d);
}

/* ---- Rewriting, against the substitution tool */

/* Adds a record for every closed text of `script` (scanned simply: this is
 * only data), each third one with an empty translation, so that the tool and
 * vkc_rewrite have much to replace and much to leave. */
static void AddScriptTexts(vkc_dict* d, const char* script, size_t length) {
    size_t i = 0;
    unsigned n = 0;
    while (i < length) {
        char close = script[i] == '[' ? ']' : script[i] == '"' ? '"' : 0;
        size_t j = i + 1;
        if (close == 0) {
            ++i;
            continue;
        }
        while (j < length && script[j] != close) ++j;
        if (j < length && j - i - 1 < 300) {
            char text[300];
            char chi[320];
            memcpy(text, script + i + 1, j - i - 1);
            text[j - i - 1] = '\0';
            if (memchr(text, '\0', j - i - 1) == NULL && text[0] != '\0') {
                if (n % 3 == 2) {
                    chi[0] = '\0';
                } else {
                    sprintf(chi, "<%u:%.300s>", n, text);
                }
                vkc_dict_add(d, text, chi, NULL, NULL, NULL);
                ++n;
            }
        }
        i = j + 1;
    }
}

static void CompareRewrite(const char* name, const char* script, size_t length) {
    vkc_dict* d = vkc_dict_new();
    char* rewritten = NULL;
    size_t rewrittenLength = 0;
    char* expected;
    size_t expectedLength = 0;
    AddScriptTexts(d, script, length);
    remove("capi_test_rewrite_dict.txt");
    CHECK_RESULT(vkc_dict_append_to_file(d, "capi_test_rewrite_dict.txt"), VKC_OK);
    WriteWhole("capi_test_rewrite_in.txt", script, length);
    CHECK_RESULT(RunVkcsubst("capi_test_rewrite_in.txt", "capi_test_rewrite_dict.txt",
                             "capi_test_rewrite_out.txt"),
                 0);
    expected = ReadWhole("capi_test_rewrite_out.txt", &expectedLength);
    /* A fresh dictionary from the same file, as the tool has it. */
    CHECK_RESULT(vkc_dict_load_file(d, "capi_test_rewrite_dict.txt", NULL), VKC_OK);
    CHECK_RESULT(vkc_rewrite(d, script, length, &rewritten, &rewrittenLength), VKC_OK);
    if (expected == NULL || rewritten == NULL || expectedLength != rewrittenLength ||
        memcmp(expected, rewritten, expectedLength) != 0) {
        fprintf(stderr, "%s: vkc_rewrite gave %lu bytes, vkcsubst %lu\n", name,
                (unsigned long)rewrittenLength, (unsigned long)expectedLength);
        ++g_failures;
    }
    CHECK(rewritten != NULL && rewritten[rewrittenLength] == '\0');
    free(expected);
    vkc_buffer_free(rewritten);
    vkc_dict_free(d);
}

/* Lengths no block of memory has are refused, whatever the script: sizes
 * computed from them would wrap. */
static void TestRewriteImpossibleLengths(void) {
    static const char kScript[] = "[Apple]";
    const size_t lengths[] = {SIZE_MAX, SIZE_MAX - 1, SIZE_MAX - 64, SIZE_MAX / 2 + 1};
    vkc_dict* d = vkc_dict_new();
    size_t i;
    CHECK_RESULT(vkc_dict_load_string(d, VKC_THREE, NULL), VKC_OK);
    for (i = 0; i < sizeof(lengths) / sizeof(lengths[0]); ++i) {
        char* out = (char*)"x";
        size_t length = 9;
        CHECK_RESULT(vkc_rewrite(d, kScript, lengths[i], &out, &length), VKC_E_ARGUMENT);
        CHECK(out == NULL && length == 0);
        CHECK(strstr(vkc_dict_last_error(d), "length") != NULL);
        vkc_buffer_free(out);
    }
    vkc_dict_free(d);
}

static void TestRewrite(void) {
    static const char* const kScripts[] = {
        VKC_EXAMPLES_DIR "/script.txt",
        VKC_TEST_DATA_DIR "/ink-TheIntercept.ink",
        VKC_TEST_DATA_DIR "/renpy-tutorial_quickstart.rpy",
    };
    /* NUL bytes, a '[' inside a text, a text too long to be looked up, and an
     * opening delimiter never closed. */
    static const char kHead[] = "say [Apple] \"a\0b\" [x [y] \"  Zebra  \" \"";
    char edge[6000];
    size_t length = sizeof(kHead) - 1;
    size_t i;
    memcpy(edge, kHead, length);
    memset(edge + length, 'L', 2100);
    length += 2100;
    memcpy(edge + length, "\" [tail", 7);
    length += 7;
    CompareRewrite("edge cases", edge, length);
    for (i = 0; i < sizeof(kScripts) / sizeof(kScripts[0]); ++i) {
        size_t scriptLength = 0;
        char* script = ReadWhole(kScripts[i], &scriptLength);
        CHECK(script != NULL);
        if (script == NULL) continue;
        CompareRewrite(kScripts[i], script, scriptLength);
        free(script);
    }
}

/* ---- The library loaded by name at run time */

#if defined(_WIN32)
typedef HMODULE Library;
static Library OpenLibrary(void) {
    return LoadLibraryA(VKC_SHARED_LIBRARY);
}
static void* Symbol(Library library, const char* name) {
    return (void*)GetProcAddress(library, name);
}
static void CloseLibrary(Library library) {
    FreeLibrary(library);
}
#else
typedef void* Library;
static Library OpenLibrary(void) {
    return dlopen(VKC_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
}
static void* Symbol(Library library, const char* name) {
    return dlsym(library, name);
}
static void CloseLibrary(Library library) {
    dlclose(library);
}
#endif

static void TestLoadedByName(void) {
    static const char* const kNames[] = {
        "vkc_version",         "vkc_dict_new",         "vkc_dict_free",
        "vkc_dict_last_error", "vkc_dict_load_file",   "vkc_dict_load_string",
        "vkc_dict_reload",     "vkc_dict_load_image",  "vkc_dict_append_to_file",
        "vkc_dict_save",
        "vkc_dict_count",      "vkc_dict_record",      "vkc_dict_find",
        "vkc_dict_find_index", "vkc_dict_add",         "vkc_dict_insert_blank",
        "vkc_dict_set_eng",    "vkc_dict_set_chi",     "vkc_dict_set_remark",
        "vkc_dict_match",      "vkc_dict_match_capacity", "vkc_rewrite",
        "vkc_buffer_free"};
    typedef vkc_dict*(VKC_CALL * NewFn)(void);
    typedef void(VKC_CALL * FreeFn)(vkc_dict*);
    typedef int(VKC_CALL * LoadStringFn)(vkc_dict*, const char*, uint32_t*);
    typedef int(VKC_CALL * FindFn)(vkc_dict*, const char*, vkc_record*, uint32_t*);
    typedef int(VKC_CALL * RewriteFn)(vkc_dict*, const void*, size_t, char**, size_t*);
    typedef void(VKC_CALL * BufferFreeFn)(char*);
    Library library = OpenLibrary();
    size_t i;
    CHECK(library != NULL);
    if (library == NULL) return;
    for (i = 0; i < sizeof(kNames) / sizeof(kNames[0]); ++i) {
        if (Symbol(library, kNames[i]) == NULL) {
            fprintf(stderr, "%s is not exported by that name\n", kNames[i]);
            ++g_failures;
        }
    }
    {
        NewFn dictNew = (NewFn)Symbol(library, "vkc_dict_new");
        FreeFn dictFree = (FreeFn)Symbol(library, "vkc_dict_free");
        LoadStringFn loadString = (LoadStringFn)Symbol(library, "vkc_dict_load_string");
        FindFn find = (FindFn)Symbol(library, "vkc_dict_find");
        RewriteFn rewrite = (RewriteFn)Symbol(library, "vkc_rewrite");
        BufferFreeFn bufferFree = (BufferFreeFn)Symbol(library, "vkc_buffer_free");
        if (dictNew && dictFree && loadString && find && rewrite && bufferFree) {
            vkc_dict* d = dictNew();
            vkc_record record;
            uint32_t count = 0;
            char* out = NULL;
            size_t length = 0;
            CHECK(loadString(d, VKC_THREE, &count) == VKC_OK && count == 3);
            CHECK(find(d, "Zebra", &record, NULL) == VKC_OK &&
                  SameBytes(record.remark, record.remark_len, "animal"));
            CHECK(rewrite(d, "[Apple] \"Zebra\"", 15, &out, &length) == VKC_OK &&
                  SameBytes(out, length, "[PING GUO] \"Zebra\""));
            bufferFree(out);
            dictFree(d);
        }
    }
    CloseLibrary(library);
}

int main(void) {
#if !defined(_WIN32)
    TestSaveKeepsSignalHandlers();
#endif
    TestVersion();
    TestNullHandle();
    TestNullArguments();
    TestLoads();
    TestAgainstModel();
    TestEdits();
    TestAppend();
    TestSaveWritesWhatAppendWrites();
    TestWriteFailures();
#if !defined(_WIN32)
    TestSaveCutShort();
#endif
    TestMatch();
    TestRewriteImpossibleLengths();
    TestRewrite();
    TestLoadedByName();
    if (g_failures != 0) {
        fprintf(stderr, "%d checks failed\n", g_failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
