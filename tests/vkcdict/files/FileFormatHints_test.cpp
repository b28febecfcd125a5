// The note to add --image: the head check against the library's own image
// loader, and lookup, match and subst given an image without --image.
#include "vkcdict/files/FileFormatHints.h"

#include <random>

#include "dict/BinaryFormat.h"
#include "dict/VKCStringDict.h"
#include "vkcdict/VkcdictFixture.h"

namespace vkcdicttest {
namespace {

void PutWord(std::string* bytes, size_t offset, uint32_t value) {
    for (int k = 0; k < 4; ++k) (*bytes)[offset + k] = static_cast<char>(value >> (8 * k) & 0xFF);
}

// On images of one record, whose head is all the loader checks, the head check
// says yes exactly when the loader loads the image; on longer ones whenever it
// does. The words are drawn near the bounds that matter.
TEST(VkcdictImageHint, AgreesWithTheImageLoader) {
    testutil::TempDir dir;
    const std::string path = dir.File("d.bin");
    std::mt19937 random(936);
    const auto near = [&random](uint32_t bound) {
        return static_cast<uint32_t>(bound + random() % 5 - 2);
    };
    size_t loaded = 0;
    for (int round = 0; round < 600; ++round) {
        const uint32_t records = random() % 4 == 0 ? 2 : 1;
        const size_t block = random() % 12;
        std::string bytes(8 + 24 * records + block, 'x');
        PutWord(&bytes, 0, random() % 8 == 0 ? near(binaryformat::kFormatWord) : 1);
        const uint32_t announced = random() % 8 == 0 ? near(records) : records;
        PutWord(&bytes, 4, announced);
        for (size_t word = 0; word < 6 * records; ++word) {
            PutWord(&bytes, 8 + 4 * word, near(static_cast<uint32_t>(block / 2)));
        }
        if (random() % 8 == 0) bytes.resize(random() % bytes.size());
        testutil::WriteBytes(path, bytes);
        VKCStringDict dict;
        const bool loads = dict.LoadFromBINFileA(path.c_str()) != 0;
        const bool looks = vkcdict::LooksLikeImage(
            std::string_view(bytes).substr(0, vkcdict::kImageHeadBytes), bytes.size());
        loaded += loads;
        if (announced == 1) {
            EXPECT_EQ(looks, loads) << testing::PrintToString(bytes);
        } else {
            EXPECT_TRUE(looks || !loads) << testing::PrintToString(bytes);
        }
    }
    EXPECT_GT(loaded, 60u);  // both answers were seen often
    EXPECT_LT(loaded, 540u);
}

// Each row: a file given to lookup, match and subst as a text dictionary, and
// whether it gets the note. Their status and errors stay as they were.
TEST_F(Vkcdict, AnImageReadAsTextGetsANoteToAddImage) {
    const std::string dict = Dict({{"a", "1", ""}, {"b", "2", ""}});
    Write("d.txt", dict);
    ASSERT_EQ(Run({"compile", "d.txt", "-o", "d.bin"}).status, 0);
    const std::string image = Read("d.bin");
    std::string tooMany = image;  // a record table longer than the file
    PutWord(&tooMany, 4, 3);
    std::string outside = image;  // the first ENG text behind the file's end
    PutWord(&outside, 8, static_cast<uint32_t>(image.size()));
    struct Row {
        const char* name;
        std::string bytes;
        bool note;
    };
    const std::vector<Row> rows = {
        {"an image", image, true},
        {"an image whose first text lies outside it", outside, false},
        {"a head announcing more records than the file holds", tooMany, false},
        {"a text dictionary", dict, false},
        {"a script", "[a] \"b\"", false},
        {"UTF-16", std::string("\xFF\xFE[\0a\0]\0", 8), false},
    };
    const std::string note = "d: note: " + std::string(vkcdict::kImageHint) + "\n";
    for (const Row& row : rows) {
        Write("d", row.bytes);
        Write("s.txt", "[a]");
        for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
                 {"lookup", "d", "a"},
                 {"match", "d"},
                 {"subst", "d", "s.txt", "-o", "out.txt"},
                 {"lookup", "d", "a", "--partial"},
             }) {
            const Result r = Run(args, "a\n");
            const std::string what = std::string(row.name) + ", " + args[0] + "\n" + r.err;
            EXPECT_EQ(r.err.find(note) != std::string::npos, row.note) << what;
            if (row.note && args.back() != "--partial") {
                EXPECT_EQ(r.status, 2) << what;
                // The note follows the load's own errors.
                EXPECT_NE(
                    r.err.find("d: error: not used: the loader loads no record from it\n" + note),
                    std::string::npos)
                    << what;
            }
        }
    }
}

}  // namespace
}  // namespace vkcdicttest
