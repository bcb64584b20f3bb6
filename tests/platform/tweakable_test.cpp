#include <iterator>
#include <ostream>
#include <string>

#include <d3d9.h>
#include <gtest/gtest.h>

#include "engine/platform/log.h"
#include "engine/platform/tweakable.h"
#include "support/message_boxes.h"

namespace {

struct TextCase {
    float value;
    const char* text;
};
void PrintTo(const TextCase& c, std::ostream* out) {
    *out << c.text;
}

class TweakableText : public ::testing::TestWithParam<TextCase> {};

// A stream's default float formatting: six significant digits, no trailing zeros.
TEST_P(TweakableText, IsTheValueAsAStreamWritesIt) {
    velmo::DData<float> value("name", GetParam().value);
    velmo::IDData& asInterface = value;
    EXPECT_EQ(asInterface.toString(), GetParam().text);
    EXPECT_EQ(value.name, "name");
}

INSTANTIATE_TEST_SUITE_P(Cases, TweakableText,
                         ::testing::Values(TextCase{0.5f, "0.5"}, TextCase{0.06f, "0.06"},
                                           TextCase{0.88f, "0.88"}, TextCase{0.17f, "0.17"},
                                           TextCase{1.0f / 3.0f, "0.333333"},
                                           TextCase{1234567.0f, "1.23457e+06"}));

TEST(FatalError, ShowsTheNumberedMessageInABoxCaptionedVelmoError) {
    MessageBoxRecorder boxes;
    velmo::fatalError(52);
    velmo::fatalError(113); // each report stands alone
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, "Unexpected fatal error(#52).");
    EXPECT_EQ(boxes.boxes()[0].caption, "Velmo error");
    EXPECT_EQ(boxes.boxes()[0].type, UINT(MB_OK));
    EXPECT_EQ(boxes.boxes()[1].text, "Unexpected fatal error(#113).");
}

// No log stream is ever opened, so closing the log prints nothing and can be repeated.
TEST(Log, CloseWithoutAStreamPrintsNothing) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    velmo::closeLog();
    velmo::closeLog();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

// The check sites' numbers are fixed; two checks of the subdivision share 230.
TEST(FatalError, SiteNumbersAreTheFixedOnes) {
    using namespace velmo::fatal;
    const int numbers[] = {kRenderTargetCreatedTwice,
                           kRenderTargetBegunBeforeCreated,
                           kRenderTargetBegunWhileActive,
                           kRenderTargetEndedWhileInactive,
                           kGeometryCopiedFromEmptyMesh,
                           kEmptyMeshDrawn,
                           kGeometryOfEmptyMeshRead,
                           kEmptyMeshPrepared,
                           kAdjacencyEntryFull,
                           kCornerEdgesShareNoVertex,
                           kFaceNotInSource,
                           kFaceVertexMissingAtUpload};
    const int expected[] = {52, 113, 118, 160, 117, 141, 166, 202, 188, 230, 230, 320};
    for (size_t i = 0; i < std::size(numbers); ++i) {
        EXPECT_EQ(numbers[i], expected[i]) << i;
    }
}

// A failed result is looked up and dropped; only the test builds write it to standard error,
// once for each place of the call and code, naming the place and the text. A success is
// silent in every build.
TEST(LookUp, AFailedCallShowsInTheTestBuildsOnly) {
    ::testing::internal::CaptureStderr();
    velmo::lookUp(S_OK);
    for (int i = 0; i < 3; ++i) {
        velmo::lookUp(D3DERR_INVALIDCALL); // one place, one code: reported once
    }
    velmo::lookUp(E_OUTOFMEMORY);
    const std::string errors = ::testing::internal::GetCapturedStderr();
#ifdef VELMO_LOG_FAILED_CALLS
    size_t lines = 0;
    for (char c : errors) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 2u) << errors;
    EXPECT_NE(errors.find("tweakable_test.cpp:"), std::string::npos) << errors;
    EXPECT_NE(errors.find("The method call is invalid"), std::string::npos) << errors;
    EXPECT_NE(errors.find("0x8876086C"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Not enough memory"), std::string::npos) << errors;
#else
    EXPECT_EQ(errors, "");
#endif
}

} // namespace
