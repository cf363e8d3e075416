#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cipher/document_lines.h"

namespace mus {
namespace {

struct LinesRow {
    std::string text;
    std::vector<std::string> lines;
    std::int64_t length;
};

class TextLinesTest : public testing::TestWithParam<LinesRow> {};

TEST_P(TextLinesTest, SplitsAtEveryKindOfLineBreak)
{
    const LinesRow& row = GetParam();
    const TextLines lines(row.text);
    EXPECT_EQ(lines.TextLength(), row.length);
    ASSERT_EQ(lines.LineCount(), static_cast<std::int32_t>(row.lines.size()));
    for (std::size_t i = 0; i < row.lines.size(); ++i)
        EXPECT_EQ(lines.Line(static_cast<std::int32_t>(i)), row.lines[i]);
    EXPECT_EQ(lines.Line(lines.LineCount()), "");
    EXPECT_EQ(lines.Line(-1), "");
}

INSTANTIATE_TEST_SUITE_P(Texts, TextLinesTest,
                         testing::Values(LinesRow{"", {}, 0}, LinesRow{"abc", {"abc"}, 3},
                                         LinesRow{"abc\r\n", {"abc"}, 5}, LinesRow{"abc\n", {"abc"}, 5},
                                         LinesRow{"abc\r", {"abc"}, 5}, LinesRow{"\r\n", {""}, 2},
                                         LinesRow{"\r\n\r\n", {"", ""}, 4},
                                         LinesRow{"a\r\nb\nc\rd", {"a", "b", "c", "d"}, 10},
                                         // LF CR is two breaks; CR CR LF is two breaks
                                         LinesRow{"a\n\rb", {"a", "", "b"}, 6}, LinesRow{"a\r\r\nb", {"a", "", "b"}, 6},
                                         LinesRow{"\xC3\xA9t\xC3\xA9\r\n", {"\xC3\xA9t\xC3\xA9"}, 7}));

TEST(TextLinesTest, ReadsAtMost4096BytesOfALine)
{
    const std::string text = std::string(5000, 'x') + "\r\nshort";
    const TextLines lines(text);
    EXPECT_EQ(lines.Line(0).size(), 4096u);
    EXPECT_EQ(lines.Line(1), "short");
    EXPECT_EQ(lines.TextLength(), 5007);
}

TEST(TextLinesTest, FindsEveryLineInAnyOrder)
{
    // Enough lines for several remembered starts; every kind of break.
    const char* breaks[] = {"\r\n", "\n", "\r"};
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 10000; ++i) {
        expected.push_back(i % 7 == 0 ? "" : "line " + std::to_string(i));
        text += expected.back() + breaks[i % 3];
    }
    const TextLines lines(text);
    ASSERT_EQ(lines.LineCount(), 10000);
    std::vector<std::int32_t> order;
    for (std::int32_t i = 9999; i >= 0; i -= 3) order.push_back(i);            // backwards
    for (std::int32_t i = 0; i < 10000; i += 1 + i % 5000) order.push_back(i); // forwards in jumps
    for (const std::int32_t i : order) ASSERT_EQ(lines.Line(i), expected[std::size_t(i)]) << i;
}

struct NormaliseRow {
    std::string in;
    std::string out;
};

class NormaliseLineBreaksTest : public testing::TestWithParam<NormaliseRow> {};

TEST_P(NormaliseLineBreaksTest, EveryBreakBecomesCrLf)
{
    EXPECT_EQ(NormaliseLineBreaks(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Texts, NormaliseLineBreaksTest,
                         testing::Values(NormaliseRow{"", ""}, NormaliseRow{"a\r\nb", "a\r\nb"},
                                         NormaliseRow{"a\nb\n", "a\r\nb\r\n"}, NormaliseRow{"a\rb\r", "a\r\nb\r\n"},
                                         NormaliseRow{"\n\r", "\r\n\r\n"}, NormaliseRow{"\r\r\n", "\r\n\r\n"},
                                         NormaliseRow{"\r\n\n", "\r\n\r\n"}));

} // namespace
} // namespace mus
