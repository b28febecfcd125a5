// vkc_consumer DICTIONARY TEXT...
// Loads a dictionary text file and prints each text's translation (GBK
// bytes), or the text itself when it has none. Exits 1 when the dictionary
// does not load.
#include <cstdio>

#include "dict/VKCStringDict.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    VKCStringDict dictionary;
    if (dictionary.LoadFromTXTFileA(argv[1]) == 0) return 1;
    for (int i = 2; i < argc; ++i) {
        const StringEntry* entry = dictionary.FindStringA(argv[i]);
        std::printf("%s\n", entry != nullptr && entry->chiLen != 0 ? entry->chi : argv[i]);
    }
    return 0;
}
