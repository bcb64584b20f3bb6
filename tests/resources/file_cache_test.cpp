// The file cache: where a name is looked for, what it is kept as, and the box when it is
// missing or is no file it can read. Each test runs in a scratch folder of its own.
#include <cstdint>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/resources/file_cache.h"
#include "support/message_boxes.h"
#include "support/not_regular.h"
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

// A named pipe, a directory or a device where a data file belongs is a file that does not
// open: the missing file's one box naming it, nothing cached, and no wait for a writer.
class NotAFile : public FileCacheTest, public ::testing::WithParamInterface<NotRegular> {};

INSTANTIATE_TEST_SUITE_P(Kinds, NotAFile, ::testing::ValuesIn(kNotRegularKinds),
                         [](const auto& info) { return std::string(notRegularName(info.param)); });

TEST_P(NotAFile, GivesTheMissingFilesBoxOnceAndCachesNothing) {
    makeNotRegular("data/SolidObject.fxo", GetParam());
    const Deadline deadline(10);
    for (int i = 0; i < 3; ++i) {
        velmo::preloadFile("SolidObject.fxo");
    }
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Couldn't open file!\nSolidObject.fxo");
    EXPECT_EQ(boxes.boxes()[0].caption, "error");
    EXPECT_TRUE(velmo::FileCache::instance()->entries.empty());
}

// An entry's size has 32 bits: a file of 4 GiB or more (sparse here) is not cut to its low 32
// bits but refused as unreadable, with a word on why and the box of a file that does not open.
TEST_F(FileCacheTest, AFileOf4GiBOrMoreIsRefusedWithAWordAndTheBox) {
    const uintmax_t sizes[] = {uintmax_t(1) << 32, (uintmax_t(1) << 32) + 5};
    for (uintmax_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string name = "huge" + std::to_string(size) + ".jpg";
        write("data/" + name, "");
        std::filesystem::resize_file("data/" + name, size);
        ::testing::internal::CaptureStderr();
        velmo::preloadFile(name);
        velmo::preloadFile(name);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(velmo::FileCache::instance()->find(name), nullptr);
        EXPECT_NE(said.find(name + " is larger than 4 GiB (" + std::to_string(size) + " bytes)"),
                  std::string::npos)
            << said;
        EXPECT_EQ(said.find(name), said.rfind(name)) << "said once: " << said;
        ASSERT_FALSE(boxes.boxes().empty());
        EXPECT_EQ(boxes.boxes().back().text, "Couldn't open file!\n" + name);
    }
    EXPECT_EQ(boxes.boxes().size(), 2u);
}

// A file that gives fewer bytes than its size says: a kernel attribute file, sized a page,
// holding a line. The entry keeps the size, and what was not read is zeros, not whatever the
// allocator left there.
TEST_F(FileCacheTest, AShortReadKeepsTheSizeAndZerosWhatDidNotArrive) {
    const std::optional<ShortReadFile> file = findShortReadFile();
    if (!file) {
        GTEST_SKIP() << "no page-sized kernel attribute file here";
    }
    const std::string& path = file->path;
    const std::string& line = file->gives;
    {
        // Blocks of that size, dirtied and freed, are what the allocator hands out next.
        unsigned char* dirty[16];
        for (unsigned char*& block : dirty) {
            block = new unsigned char[4096];
            volatile unsigned char* bytes = block;
            for (size_t i = 0; i < 4096; ++i) {
                bytes[i] = 0xa5;
            }
        }
        for (unsigned char* block : dirty) {
            delete[] block;
        }
    }
    velmo::preloadFile(path);
    const std::string held = bytes(path);
    ASSERT_EQ(held.size(), 4096u);
    EXPECT_EQ(held.substr(0, line.size()), line);
    EXPECT_EQ(held.substr(line.size()), std::string(4096 - line.size(), '\0'));
    EXPECT_TRUE(boxes.boxes().empty());
}

} // namespace
