#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/document_lines.h"
#include "cipher/group_codec.h"
#include "cipher/keystream.h"
#include "test_support.h"

namespace mus {
namespace {

using test::Block;
using test::BlockLines;

std::string Group(const Triple& triple, std::int32_t method = kMethod01)
{
    const Quad quad = EncodeGroup(triple, method);
    return std::string(quad.data(), quad.size());
}

TEST(ArmouredBlockTest, FrameLinesAreSixtyFiveCharacters)
{
    EXPECT_EQ(kStartLine.size(), 65u);
    EXPECT_EQ(kEndLine.size(), 65u);
    EXPECT_EQ(kStartLine, std::string(22, '*') + " START  Murmurscript " + std::string(22, '*'));
    EXPECT_EQ(kEndLine, std::string(22, '*') + "  END   Murmurscript " + std::string(22, '*'));
}

struct WorkedExample {
    std::string text;
    std::int32_t method;
    std::vector<std::string> lines; // between the START and END lines
};

class WorkedExampleTest : public testing::TestWithParam<WorkedExample> {};

TEST_P(WorkedExampleTest, WritesTheExpectedBlock)
{
    const WorkedExample& example = GetParam();
    std::vector<std::string> expected{std::string(kStartLine)};
    expected.insert(expected.end(), example.lines.begin(), example.lines.end());
    expected.emplace_back(kEndLine);
    EXPECT_EQ(BlockLines(example.text, "", example.method), expected);
}

// No phrase: the seed is 0 and the keystream begins 00 08 DC 33 45.
INSTANTIATE_TEST_SUITE_P(
    NoPhrase, WorkedExampleTest,
    testing::Values(WorkedExample{"abc", kMethod01, {"MuS/0120/01/0/3", "Cx2uq", "MuS/882"}},
                    WorkedExample{"a", kMethod01, {"MuS/0120/01/0/1", "CEAqq", "MuS/209"}},
                    // "ab": the third byte is the zero byte XORed with DC
                    WorkedExample{"ab",
                                  kMethod01,
                                  {"MuS/0120/01/0/2", "C" + Group({0x61, 0x6A, 0xDC}),
                                   "MuS/" + std::to_string(0x61 + 2 * 0x6A + 3 * 0xDC)}},
                    // "abcd": 64 XOR 33, 00 XOR 45, then a pad byte
                    WorkedExample{"abcd",
                                  kMethod01,
                                  {"MuS/0120/01/0/4", "C" + Group({0x61, 0x6A, 0xBF}) + Group({0x57, 0x45, 0x20}),
                                   "MuS/" + std::to_string(882 + 0x57 + 2 * 0x45 + 3 * 0x20)}},
                    WorkedExample{"abcd",
                                  kMethod00,
                                  {"MuS/0120/00/0/4", "C" + Group({0x61, 0x6A, 0xBF}, kMethod00) + "GCTV",
                                   "MuS/" + std::to_string(882 + 0x57 + 2 * 0x45 + 3 * 0x20)}}));

TEST(ArmouredBlockTest, OneCharacterPhraseGivesOneGroupPaddedWithBlanks)
{
    const auto lines = BlockLines("abc", "K", kMethod01);
    KeystreamGenerator generator;
    generator.Seed(PhraseSeed("K"));
    const std::uint32_t k0 = generator.Draw(256), k1 = generator.Draw(256), k2 = generator.Draw(256);
    const std::string phraseGroup = Group({static_cast<std::uint8_t>('K' ^ k0), 0x20, 0x20});
    // The text pass restarts the keystream: its first byte meets the same draw.
    const std::string textGroup = Group({static_cast<std::uint8_t>('a' ^ k0), static_cast<std::uint8_t>('b' ^ k1),
                                         static_cast<std::uint8_t>('c' ^ k2)});
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "MuS/0120/01/1/3");
    EXPECT_EQ(lines[2], "C" + phraseGroup + textGroup);
}

TEST(ArmouredBlockTest, SixteenCharacterPhraseLeavesTenTextGroupsOnTheFirstLine)
{
    const auto lines = BlockLines(std::string(100, 'x'), "ABCDEFGHIJKLMNOP", kMethod01);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], "MuS/0120/01/16/100");
    // 6 phrase groups + 10 text groups on line 1; 34 - 10 = 24 text groups follow: 16 + 8.
    EXPECT_EQ(lines[2].size(), 65u);
    EXPECT_EQ(lines[3].size(), 65u);
    EXPECT_EQ(lines[4].size(), 1u + 4 * 8);
    EXPECT_EQ(lines.size(), 7u);
}

struct LayoutRow {
    std::size_t textLength;
    std::size_t phraseLength;
    std::vector<std::size_t> bodyLineLengths;
};

class BodyLayoutTest : public testing::TestWithParam<LayoutRow> {};

TEST_P(BodyLayoutTest, BodyLinesHoldSixteenGroupsEach)
{
    const LayoutRow& row = GetParam();
    const auto lines = BlockLines(std::string(row.textLength, 'q'), std::string(row.phraseLength, 'P'), kMethod00);
    ASSERT_EQ(lines.size(), row.bodyLineLengths.size() + 4);
    for (std::size_t i = 0; i < row.bodyLineLengths.size(); ++i) {
        EXPECT_EQ(lines[2 + i].size(), row.bodyLineLengths[i]) << "body line " << i;
        EXPECT_EQ(lines[2 + i][0], 'C');
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BodyLayoutTest,
                         testing::Values(LayoutRow{48, 0, {65}}, LayoutRow{49, 0, {65, 5}}, LayoutRow{1, 0, {5}},
                                         LayoutRow{1, 16, {29}}, LayoutRow{30, 16, {65}}, LayoutRow{31, 16, {65, 5}}));

TEST(ArmouredBlockTest, LargestTextWithLongestPhrase)
{
    const auto lines = BlockLines(std::string(22528, '\xE9'), "ABCDEFGHIJKLMNOP", kMethod01);
    ASSERT_EQ(lines.size(), 474u);
    EXPECT_EQ(lines[0], kStartLine);
    EXPECT_EQ(lines[1], "MuS/0120/01/16/22528");
    for (std::size_t i = 2; i < 471; ++i) EXPECT_EQ(lines[i].size(), 65u) << i;
    // 6 + 7510 groups: 469 full lines and one of 12 groups.
    EXPECT_EQ(lines[471].size(), 1u + 4 * 12);
    EXPECT_EQ(lines[472].substr(0, 4), "MuS/");
    EXPECT_EQ(lines[473], kEndLine);
    std::size_t bytes = 0;
    for (const auto& line : lines) bytes += line.size() + 2;
    EXPECT_NEAR(static_cast<double>(bytes), 31 * 1024.0, 1024.0);
}

TEST(ArmouredBlockTest, TheKeystreamIsLeftAsTheTextPassLeavesIt)
{
    for (const std::size_t length : {3u, 4u, 5u}) {
        WriteArmouredBlock(std::string(length, 'z'), "PQ", kMethod01, [](std::string_view) {});
        KeystreamGenerator expected;
        expected.Seed(PhraseSeed("PQ"));
        // L draws when L is a multiple of 3, L + 1 otherwise
        const std::size_t draws = length % 3 == 0 ? length : length + 1;
        for (std::size_t i = 0; i < draws; ++i) expected.Draw(256);
        EXPECT_EQ(Keystream().State(), expected.State()) << length;
    }
}

TEST(ArmouredBlockTest, SameInputGivesTheSameBlock)
{
    Keystream().Seed(12345); // earlier use of the generator does not matter
    const std::string first = Block("The same text\r\n", "PHRASE", kMethod00);
    Keystream().Seed(-7);
    EXPECT_EQ(Block("The same text\r\n", "PHRASE", kMethod00), first);
    EXPECT_NE(Block("The same text\r\n", "PHRASF", kMethod00), first);
}

TEST(ArmouredBlockTest, ZeroCrcIsWrittenAsMuSZero)
{
    // A text equal to the keystream makes every cipher byte zero.
    KeystreamGenerator generator;
    generator.Seed(PhraseSeed("A"));
    std::string text;
    for (int i = 0; i < 3; ++i) text += static_cast<char>(generator.Draw(256));
    const auto lines = BlockLines(text, "A", kMethod01);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].substr(5), "AAAA");
    EXPECT_EQ(lines[3], "MuS/0");
}

TEST(ArmouredBlockTest, RefusesInputOutsideTheWritersLimits)
{
    const auto ignore = [](std::string_view) {};
    EXPECT_THROW(WriteArmouredBlock("", "", kMethod01, ignore), std::invalid_argument);
    EXPECT_THROW(WriteArmouredBlock(std::string(22529, 'a'), "", kMethod01, ignore), std::invalid_argument);
    EXPECT_THROW(WriteArmouredBlock("a", std::string(17, 'A'), kMethod01, ignore), std::invalid_argument);
    EXPECT_THROW(WriteArmouredBlock("a", "", 2, ignore), std::invalid_argument);
}

struct DetectionRow {
    std::string document;
    bool encrypted;
};

class IsEncryptedTextTest : public testing::TestWithParam<DetectionRow> {};

TEST_P(IsEncryptedTextTest, NeedsTwoLinesThatBeginWithTheTag)
{
    const std::string& document = GetParam().document;
    const TextLines lines(document);
    EXPECT_EQ(IsEncryptedText(lines), GetParam().encrypted) << document;
    // The same answer from the counter, whatever the pieces it is fed.
    for (std::size_t piece = 1; piece <= 7; ++piece) {
        TaggedLineCounter counter;
        for (std::size_t at = 0; at < document.size(); at += piece)
            counter.Feed(std::string_view(document).substr(at, piece));
        EXPECT_EQ(counter.Count() >= 2, GetParam().encrypted) << document << " in pieces of " << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, IsEncryptedTextTest,
                         testing::Values(DetectionRow{Block("abc"), true}, DetectionRow{"MuS/\r\nMuS/", true},
                                         DetectionRow{"text\nMuS/x\nmore\nMuS/y\n", true},
                                         DetectionRow{"MuS/only one\r\n", false}, DetectionRow{"", false},
                                         DetectionRow{"\r\n\r\n\r\n", false}, DetectionRow{"MUS/a\r\nMuS/b", false},
                                         DetectionRow{"MuS\r\nMuS/b", false}, DetectionRow{" MuS/a\r\nMuS/b", false},
                                         DetectionRow{"> MuS/0120/01/0/3\r\n> MuS/882\r\n", false},
                                         DetectionRow{"MuS/a\rMuS/b", true},
                                         DetectionRow{"Mu\nS/\nMuMuS/\nMuS/", false}));

TEST(TaggedLinesTest, FirstTwoTaggedLinesOnly)
{
    const TextLines lines("x\r\nMuS/1\r\nC\r\nMuS/2\r\nMuS/3\r\n");
    const TaggedLines tagged = FindTaggedLines(lines);
    EXPECT_EQ(tagged.first, 1);
    EXPECT_EQ(tagged.second, 3);
}

} // namespace
} // namespace mus
