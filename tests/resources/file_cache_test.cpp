// The file cache: where a name is looked for, what it is kept as, and the box when it is
// missing. Each test runs in a scratch folder of its own.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/resources/file_cache.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

class FileCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path());
        std::filesystem::create_directory("data");
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    static void write(const std::string& path, const std::string& text) {
        writeFile(path, text.data(), text.size());
    }
    static std::string bytes(const std::string& name) {
        const velmo::FileCacheEntry* entry = velmo::FileCache::instance()->find(name);
        if (entry == nullptr) {
            return "(none)";
        }
        return {reinterpret_cast<const char*>(entry->data), entry->size};
    }

    ScratchDir scratch;
    std::filesystem::path previous;
    MessageBoxRecorder boxes;
};

struct Lookup {
    const char* name;
    bool underData;
    bool bare;
    const char* expected; // the bytes cached under "loading.jpg"
};

class FileLookup : public FileCacheTest, public ::testing::WithParamInterface<Lookup> {};

INSTANTIATE_TEST_SUITE_P(Places, FileLookup,
                         ::testing::Values(Lookup{"UnderDataOnly", true, false, "from data"},
                                           Lookup{"BareOnly", false, true, "bare"},
                                           Lookup{"BothPrefersData", true, true, "from data"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(FileLookup, FindsTheFileUnderDataFirstAndKeysItByTheNameGiven) {
    const Lookup& c = GetParam();
    if (c.underData) {
        write("data/loading.jpg", "from data");
    }
    if (c.bare) {
        write("loading.jpg", "bare");
    }
    EXPECT_EQ(velmo::preloadFile("loading.jpg"), "loading.jpg");
    EXPECT_EQ(bytes("loading.jpg"), c.expected);
    EXPECT_EQ(bytes("data/loading.jpg"), "(none)");
    EXPECT_EQ(velmo::FileCache::instance()->entries.size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(FileCacheTest, ASecondLoadOfANameNeitherOpensTheFileNorShowsABox) {
    write("data/a.bin", "first");
    velmo::FileCache::instance()->load("a.bin");
    std::filesystem::remove("data/a.bin"); // opening it again would fail with a box
    velmo::FileCache::instance()->load("a.bin");
    EXPECT_EQ(velmo::preloadFile(std::string("a.bin")), "a.bin");
    EXPECT_EQ(bytes("a.bin"), "first");
    EXPECT_EQ(velmo::FileCache::instance()->entries.size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(FileCacheTest, AMissingFileShowsOneBoxNamingItAndCachesNothing) {
    // Asked for again and again (as an effect is on every draw), each missing name gives one
    // box for the run, its first line the same for every file and the name on the second.
    for (int i = 0; i < 5; ++i) {
        velmo::preloadFile("missing.fxo");
        velmo::preloadFile("data/other.png");
    }
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, "Couldn't open file!\nmissing.fxo");
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_EQ(boxes.boxes()[0].type, UINT(MB_OK));
    EXPECT_EQ(boxes.boxes()[1].text, "Couldn't open file!\ndata/other.png");
    EXPECT_EQ(velmo::FileCache::instance()->find("missing.fxo"), nullptr);
    EXPECT_TRUE(velmo::FileCache::instance()->entries.empty());

    // A name reported once is still looked for: when the file turns up, it is read.
    write("data/missing.fxo", "late");
    velmo::preloadFile("missing.fxo");
    EXPECT_EQ(bytes("missing.fxo"), "late");
    EXPECT_EQ(boxes.boxes().size(), 2u);
}

TEST_F(FileCacheTest, NamesWithAndWithoutDataAreDifferentKeysAndEmptyFilesAreKept) {
    write("data/x.txt", "inner");
    std::filesystem::create_directory("data/data");
    write("data/data/x.txt", "nested");
    write("empty", "");
    velmo::preloadFile("x.txt");
    velmo::preloadFile("data/x.txt");
    velmo::preloadFile("empty");
    EXPECT_EQ(bytes("x.txt"), "inner");
    EXPECT_EQ(bytes("data/x.txt"), "nested");
    ASSERT_NE(velmo::FileCache::instance()->find("empty"), nullptr);
    EXPECT_EQ(velmo::FileCache::instance()->find("empty")->size, 0u);
    EXPECT_EQ(velmo::FileCache::instance()->find("X.txt"), nullptr);
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
