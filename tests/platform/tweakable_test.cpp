#include <ostream>
#include <string>

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

} // namespace
