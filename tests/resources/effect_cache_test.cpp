// The effect cache: one effect per file name, read through the file cache on first use, a
// failed name tried again, and every effect released at the end.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "engine/resources/effect_cache.h"
#include "engine/resources/file_cache.h"
#include "support/engine_fixture.h"
#include "support/message_boxes.h"
#include "support/scratch.h"

namespace {

class EffectCacheTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::ifstream in("data/TestEffect.fxo", std::ios::binary);
        testEffect.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        ASSERT_FALSE(testEffect.empty());
        previous = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path());
        std::filesystem::create_directory("data");
    }
    void TearDown() override {
        std::filesystem::current_path(previous);
        // The program's shutdown order: the cache goes before the device.
        delete velmo::EffectCache::single;
        velmo::EffectCache::single = nullptr;
        EngineTest::TearDown();
    }
    void install(const std::string& path) { writeFile(path, testEffect.data(), testEffect.size()); }

    std::string testEffect;
    ScratchDir scratch;
    std::filesystem::path previous;
    MessageBoxRecorder boxes;
};

TEST_F(EffectCacheTest, ANameIsReadAndCreatedOnceAndSharedByEveryGet) {
    install("data/SolidObject.fxo");
    velmo::EffectCache* cache = velmo::EffectCache::instance();
    EXPECT_EQ(cache, velmo::EffectCache::instance());
    // Nobody preloaded the file: the cache has the file cache read it.
    ID3DXEffect* first = cache->get("SolidObject.fxo");
    ASSERT_NE(first, nullptr);
    std::filesystem::remove("data/SolidObject.fxo");
    EXPECT_EQ(cache->get("SolidObject.fxo"), first);
    EXPECT_EQ(cache->entries.size(), 1u);
    EXPECT_EQ(cache->find("SolidObject.fxo")->effect, first);
    EXPECT_EQ(cache->find("solidobject.fxo"), nullptr);
    EXPECT_NE(velmo::FileCache::instance()->find("SolidObject.fxo"), nullptr);
    // Only the cache's reference: the effect was made once.
    EXPECT_EQ(first->AddRef(), 2u);
    first->Release();
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(EffectCacheTest, AMissingFileGivesTheBoxAndNullAndIsTriedAgain) {
    velmo::EffectCache* cache = velmo::EffectCache::instance();
    EXPECT_EQ(cache->get("MappedBlur.fxo"), nullptr);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Couldn't open file!\nMappedBlur.fxo");
    ASSERT_NE(cache->find("MappedBlur.fxo"), nullptr);
    EXPECT_EQ(cache->find("MappedBlur.fxo")->effect, nullptr);

    install("MappedBlur.fxo");
    ID3DXEffect* effect = cache->get("MappedBlur.fxo");
    EXPECT_NE(effect, nullptr);
    EXPECT_EQ(cache->entries.size(), 1u);
    EXPECT_EQ(cache->find("MappedBlur.fxo")->effect, effect);
    EXPECT_EQ(boxes.boxes().size(), 1u);
}

TEST_F(EffectCacheTest, BytesThatAreNoEffectGiveNull) {
    writeFile("data/Broken.fxo", "technique {", 11);
    velmo::EffectCache* cache = velmo::EffectCache::instance();
    EXPECT_EQ(cache->get("Broken.fxo"), nullptr);
    EXPECT_EQ(cache->get("Broken.fxo"), nullptr);
    EXPECT_EQ(cache->entries.size(), 1u);
    EXPECT_TRUE(boxes.boxes().empty());
}

// Asked for on every draw, a failed effect is made again only from other bytes: what failed
// once (bytes that are no effect, or none from a file that does not open, or a directory in
// its place) is neither parsed nor reported again.
TEST_F(EffectCacheTest, AFailedEffectIsNotMadeAgainFromWhatFailed) {
    writeFile("data/Broken.fxo", "technique {", 11);
    std::filesystem::create_directory("data/Folder.fxo");
    velmo::EffectCache* cache = velmo::EffectCache::instance();
    for (const char* name : {"Broken.fxo", "Missing.fxo", "Folder.fxo"}) {
        SCOPED_TRACE(name);
        ::testing::internal::CaptureStderr();
        cache->get(name);
        const std::string first = ::testing::internal::GetCapturedStderr();
        ::testing::internal::CaptureStderr();
        for (int draw = 0; draw < 100; ++draw) {
            EXPECT_EQ(cache->get(name), nullptr);
        }
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "the first get said: " << first;
    }
    EXPECT_EQ(cache->entries.size(), 3u);
    EXPECT_EQ(boxes.boxes().size(), 2u);
}

// An effect file that does not make an effect is named, with the reason, in one line on
// standard error, however often it is asked for; each file has its own line.
TEST_F(EffectCacheTest, AnEffectThatDoesNotBuildIsNamedOnceWithTheReason) {
    std::string badState = testEffect;
    const size_t pass = badState.find("pass 0 {");
    ASSERT_NE(pass, std::string::npos);
    badState.insert(pass + 8, " FrobnicateEnable = true;");
    const int line = 1 + int(std::count(badState.begin(), badState.begin() + pass, '\n'));
    writeFile("data/SolidObject.fxo", badState.data(), badState.size());
    const std::string badGlsl = "vertex v { void main() { gl_Position = nonsense; } }\n"
                                "fragment f { out vec4 c; void main() { c = vec4(1.0); } }\n"
                                "technique T { pass 0 { vertex = v; fragment = f; } }\n";
    writeFile("data/Glow.fxo", badGlsl.data(), badGlsl.size());

    velmo::EffectCache* cache = velmo::EffectCache::instance();
    ::testing::internal::CaptureStderr();
    for (int draw = 0; draw < 3; ++draw) {
        EXPECT_EQ(cache->get("SolidObject.fxo"), nullptr);
        EXPECT_EQ(cache->get("Glow.fxo"), nullptr);
    }
    const std::string said = saidToTheUser(::testing::internal::GetCapturedStderr());
    const std::string solid = "velmo 08: effect SolidObject.fxo: line " + std::to_string(line) +
                              ": unknown state 'FrobnicateEnable'\n";
    EXPECT_EQ(said.substr(0, solid.size()), solid) << said;
    const std::string glow = "velmo 08: effect Glow.fxo: ";
    EXPECT_EQ(said.substr(solid.size(), glow.size()), glow) << said;
    EXPECT_NE(said.find("does not compile", solid.size()), std::string::npos) << said;
    EXPECT_EQ(said.find("velmo 08:", solid.size() + glow.size()), std::string::npos)
        << "said more than once: " << said;
    EXPECT_EQ(said.find("D3DXCreateEffect"), std::string::npos) << said;
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(EffectCacheTest, ReleaseAllAndTheDestructorReleaseEachEffectOnce) {
    install("data/A.fxo");
    install("data/B.fxo");
    velmo::EffectCache* cache = velmo::EffectCache::instance();
    ID3DXEffect* a = cache->get("A.fxo");
    ID3DXEffect* b = cache->get("B.fxo");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    cache->get("Missing.fxo");
    a->AddRef();
    b->AddRef();
    cache->releaseAll();
    EXPECT_EQ(a->Release(), 0u);

    ID3DXEffect* again = cache->get("B.fxo"); // released entries are made anew
    ASSERT_NE(again, nullptr);
    again->AddRef();
    delete velmo::EffectCache::single;
    velmo::EffectCache::single = nullptr;
    EXPECT_EQ(again->Release(), 0u);
    EXPECT_EQ(b->Release(), 0u);
}

} // namespace
