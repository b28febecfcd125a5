/* vkc_c_consumer DICTIONARY TEXT...
 * The C interface from a C program, over the shared library: loads a
 * dictionary text file and prints each text's translation (GBK bytes), or the
 * text itself when it has none, then the texts rewritten as a script line
 * would be. Exits 1, with the library's message, when the dictionary does not
 * load. */
#include <stdio.h>
#include <string.h>

#include <vkcstringdict.h>

int main(int argc, char** argv) {
    vkc_dict* d;
    int i;
    if (argc < 2) return 2;
    d = vkc_dict_new();
    if (d == NULL) return 1;
    if (vkc_dict_load_file(d, argv[1], NULL) != VKC_OK) {
        fprintf(stderr, "%s\n", vkc_dict_last_error(d));
        vkc_dict_free(d);
        return 1;
    }
    for (i = 2; i < argc; ++i) {
        vkc_record record;
        char* line = NULL;
        size_t length = 0;
        char script[1024];
        if (vkc_dict_find(d, argv[i], &record, NULL) == VKC_OK && record.chi_len != 0) {
            printf("%.*s\n", (int)record.chi_len, record.chi);
        } else {
            printf("%s\n", argv[i]);
        }
        /* The same text as a quoted text of a script, rewritten in memory. */
        snprintf(script, sizeof(script), "say \"%s\"", argv[i]);
        if (vkc_rewrite(d, script, strlen(script), &line, &length) == VKC_OK) {
            printf("%.*s\n", (int)length, line);
            vkc_buffer_free(line);
        }
    }
    vkc_dict_free(d);
    return 0;
}
