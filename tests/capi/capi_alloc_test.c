/* Memory running out at each allocation of each operation of the C interface:
 * the operation gives VKC_E_MEMORY (vkc_dict_new: NULL) with a message, the
 * dictionary stays as it was (a load: empty, or as it was), it works on
 * afterwards, nothing leaks, and a save leaves no file behind. The C interface is linked statically with an
 * allocator that fails its k-th allocation on request (AllocShim.cpp). */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Check.h"
#include "Dictionaries.h"
#include "Files.h"
#include "vkcstringdict.h"

void vkc_test_arm(uint64_t k);
int vkc_test_disarm(void);
int64_t vkc_test_outstanding(void);

#define DICT_FILE "capi_alloc_dict.txt"
#define IMAGE_FILE "capi_alloc_image.bin"
#define SAVE_FILE "capi_alloc_saved.txt"
#define SAVE_FOLDER "capi_alloc_save"
/* Longer than anything in the dictionary: setting it grows the pool. */
#define LONG_TEXT "a text longer than every text the dictionary holds, so that it is appended"

/* The records' bytes, for telling whether a dictionary changed. */
static char* Snapshot(vkc_dict* d, size_t* length) {
    uint32_t count = 0;
    uint32_t i;
    size_t size = 16;
    char* block;
    vkc_record r;
    vkc_dict_count(d, &count);
    for (i = 0; i < count; ++i) {
        vkc_dict_record(d, i, &r);
        size += r.eng_len + r.chi_len + r.remark_len + 3;
    }
    block = (char*)malloc(size);
    *length = 0;
    for (i = 0; i < count; ++i) {
        vkc_dict_record(d, i, &r);
        memcpy(block + *length, r.eng, r.eng_len);
        *length += r.eng_len;
        block[(*length)++] = '\1';
        memcpy(block + *length, r.chi, r.chi_len);
        *length += r.chi_len;
        block[(*length)++] = '\2';
        memcpy(block + *length, r.remark, r.remark_len);
        *length += r.remark_len;
        block[(*length)++] = '\3';
    }
    return block;
}

static int LoadString(vkc_dict* d) { return vkc_dict_load_string(d, VKC_THREE, NULL); }
static int LoadFile(vkc_dict* d) { return vkc_dict_load_file(d, DICT_FILE, NULL); }
static int Reload(vkc_dict* d) { return vkc_dict_reload(d, NULL); }
static int LoadImage(vkc_dict* d) { return vkc_dict_load_image(d, IMAGE_FILE, NULL); }
static int Append(vkc_dict* d) { return vkc_dict_append_to_file(d, SAVE_FILE); }
static int Save(vkc_dict* d) { return vkc_dict_save(d, SAVE_FOLDER "/dict.txt"); }
static int Find(vkc_dict* d) {
    vkc_record r;
    return vkc_dict_find(d, " Hello world ", &r, NULL);
}
static int FindIndex(vkc_dict* d) {
    uint32_t index;
    int found;
    return vkc_dict_find_index(d, "Mango", &index, &found);
}
static int Add(vkc_dict* d) { return vkc_dict_add(d, "Mango", "MANG GUO", NULL, NULL, NULL); }
static int AddExisting(vkc_dict* d) { return vkc_dict_add(d, "Apple", NULL, NULL, NULL, NULL); }
static int InsertBlank(vkc_dict* d) { return vkc_dict_insert_blank(d, 1, NULL); }
static int SetEng(vkc_dict* d) { return vkc_dict_set_eng(d, 1, LONG_TEXT); }
static int SetChi(vkc_dict* d) { return vkc_dict_set_chi(d, 0, LONG_TEXT); }
static int SetRemark(vkc_dict* d) { return vkc_dict_set_remark(d, 2, LONG_TEXT); }
static int Match(vkc_dict* d) {
    char out[16];
    return vkc_dict_match(d, "Hello", out, sizeof(out));
}
static int MatchCapacity(vkc_dict* d) {
    uint32_t capacity;
    return vkc_dict_match_capacity(d, &capacity);
}
static int Rewrite(vkc_dict* d) {
    static const char kScript[] = "[Apple] \"Hello world\" [Zebra] \"x";
    char* out = NULL;
    size_t length = 0;
    int result = vkc_rewrite(d, kScript, sizeof(kScript) - 1, &out, &length);
    CHECK((result == VKC_OK) == (out != NULL));
    vkc_buffer_free(out);
    return result;
}

struct Step {
    const char* name;
    int (*run)(vkc_dict*);
    int success; /* its result when memory suffices */
    int load;    /* a load: on failure the content may be gone */
    const char* folder; /* a folder that holds one file before and after, or NULL */
};

/* Runs `step` with the k-th allocation failing, for k = 1, 2, ... until the
 * step makes fewer than k allocations. */
static void Sweep(const struct Step* step) {
    uint64_t k;
    for (k = 1; k < 100000; ++k) {
        vkc_dict* d = vkc_dict_new();
        size_t before = 0;
        size_t after = 0;
        char* was;
        char* now;
        int result;
        int reached;
        LoadFile(d); /* the three records, with a path to reload */
        was = Snapshot(d, &before);
        vkc_test_arm(k);
        result = step->run(d);
        reached = vkc_test_disarm();
        now = Snapshot(d, &after);
        if (!reached) {
            CHECK_RESULT(result, step->success);
        } else if (result != VKC_E_MEMORY) {
            fprintf(stderr, "%s, allocation %lu failing: result %d\n", step->name,
                    (unsigned long)k, result);
            ++g_failures;
        } else {
            CHECK(strstr(vkc_dict_last_error(d), "memory") != NULL);
            if (step->folder != NULL && EachEntry(step->folder, NULL) != 1) {
                fprintf(stderr, "%s, allocation %lu failing: a file was left behind\n",
                        step->name, (unsigned long)k);
                ++g_failures;
            }
            if (!step->load && (before != after || memcmp(was, now, before) != 0)) {
                fprintf(stderr, "%s, allocation %lu failing: the dictionary changed\n",
                        step->name, (unsigned long)k);
                ++g_failures;
            }
            /* The dictionary works on. */
            CHECK_RESULT(LoadFile(d), VKC_OK);
            CHECK_RESULT(step->run(d), step->success);
        }
        free(was);
        free(now);
        vkc_dict_free(d);
        if (!reached) break;
    }
}

int main(void) {
    static const char* const kImage[] = {"a", "A", "", "b", "B", "r"};
    static const struct Step kSteps[] = {
        {"load_string", LoadString, VKC_OK, 1, NULL},
        {"load_file", LoadFile, VKC_OK, 1, NULL},
        {"reload", Reload, VKC_OK, 1, NULL},
        {"load_image", LoadImage, VKC_OK, 1, NULL},
        {"append_to_file", Append, VKC_OK, 0, NULL},
        {"save", Save, VKC_OK, 0, SAVE_FOLDER},
        {"find", Find, VKC_OK, 0, NULL},
        {"find_index", FindIndex, VKC_OK, 0, NULL},
        {"add", Add, VKC_OK, 0, NULL},
        {"add existing", AddExisting, VKC_OK, 0, NULL},
        {"insert_blank", InsertBlank, VKC_OK, 0, NULL},
        {"set_eng", SetEng, VKC_OK, 0, NULL},
        {"set_chi", SetChi, VKC_OK, 0, NULL},
        {"set_remark", SetRemark, VKC_OK, 0, NULL},
        {"match", Match, 1, 0, NULL},
        {"match_capacity", MatchCapacity, VKC_OK, 0, NULL},
        {"rewrite", Rewrite, VKC_OK, 0, NULL},
    };
    int64_t outstanding;
    uint64_t k;
    size_t i;
    WriteWhole(DICT_FILE, VKC_THREE, strlen(VKC_THREE));
    WriteImage(IMAGE_FILE, kImage, 2);
    FreshFolder(SAVE_FOLDER);
    WriteWhole(SAVE_FOLDER "/dict.txt", VKC_THREE, strlen(VKC_THREE));
    outstanding = vkc_test_outstanding();

    for (k = 1;; ++k) {
        vkc_dict* d;
        int reached;
        vkc_test_arm(k);
        d = vkc_dict_new();
        reached = vkc_test_disarm();
        CHECK((d == NULL) == (reached != 0));
        vkc_dict_free(d);
        if (!reached) break;
    }
    for (i = 0; i < sizeof(kSteps) / sizeof(kSteps[0]); ++i) Sweep(&kSteps[i]);
    remove(SAVE_FILE);
    FreshFolder(SAVE_FOLDER);

    CHECK_RESULT(vkc_test_outstanding(), outstanding);
    if (g_failures != 0) {
        fprintf(stderr, "%d checks failed\n", g_failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
