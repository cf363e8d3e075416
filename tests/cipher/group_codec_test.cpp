#include <gtest/gtest.h>

#include <string>

#include "cipher/group_codec.h"

namespace mus {
namespace {

std::string Encoded(const Triple& group, std::int32_t method)
{
    const Quad quad = EncodeGroup(group, method);
    return std::string(quad.data(), quad.size());
}

struct CodecRow {
    Triple group;
    const char* method00;
    const char* method01;
};

class GroupCodecTableTest : public testing::TestWithParam<CodecRow> {};

TEST_P(GroupCodecTableTest, EncodesAndDecodesInBothMethods)
{
    const CodecRow& row = GetParam();
    EXPECT_EQ(Encoded(row.group, kMethod00), row.method00);
    EXPECT_EQ(Encoded(row.group, kMethod01), row.method01);
    EXPECT_EQ(DecodeGroup(row.method00, kMethod00), row.group);
    EXPECT_EQ(DecodeGroup(row.method01, kMethod01), row.group);
}

INSTANTIATE_TEST_SUITE_P(
    Reference, GroupCodecTableTest,
    testing::Values(CodecRow{{0x00, 0x00, 0x00}, "????", "AAAA"}, CodecRow{{0xFF, 0xFF, 0xFF}, "~~~~", "----"},
                    CodecRow{{0x20, 0x20, 0x20}, "GA?_", "EBAQ"}, CodecRow{{0x41, 0x42, 0x43}, "OsH@", "I0ea"},
                    CodecRow{{0x57, 0x45, 0x20}, "GCTV", "ECkl"}, CodecRow{{0x01, 0x00, 0x00}, "???@", "AAAa"},
                    CodecRow{{0x00, 0x01, 0x00}, "??C?", "AACA"}, CodecRow{{0x00, 0x00, 0x01}, "?O??", "AIAA"},
                    // the worked example's group of the text "abc"
                    CodecRow{{0x61, 0x6A, 0xBF}, "nuh`", "x2uq"}));

struct DecodeRow {
    const char* four;
    std::int32_t method;
    Triple group;
};

class DecodeGroupTest : public testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeGroupTest, TakesOutOfRangeCharactersAsTheyCome)
{
    EXPECT_EQ(DecodeGroup(GetParam().four, GetParam().method), GetParam().group);
}

INSTANTIATE_TEST_SUITE_P(Foreign, DecodeGroupTest,
                         testing::Values(
                             // a foreign last character counts as -1, so V = -1
                             DecodeRow{"AAA*", kMethod01, {0xFF, 0xFF, 0xFF}},
                             // ">" is one below the base
                             DecodeRow{"?"
                                       "?"
                                       "?>",
                                       kMethod00,
                                       {0xFF, 0xFF, 0xFF}},
                             // "@" one above the base in the most significant field
                             DecodeRow{"@???", kMethod00, {0x00, 0x00, 0x04}},
                             // "!" is -30 in the most significant field
                             DecodeRow{"!???", kMethod00, {0x00, 0x00, 0x88}},
                             // letters are case-sensitive: "a" is 1, "A" is 0
                             DecodeRow{"AAAa", kMethod01, {0x01, 0x00, 0x00}},
                             DecodeRow{"aAAA", kMethod01, {0x00, 0x00, 0x04}},
                             // codes other than 0 and 1 give three zero bytes
                             DecodeRow{"x2uq", -1, {0x00, 0x00, 0x00}}, DecodeRow{"~~~~", 2, {0x00, 0x00, 0x00}},
                             DecodeRow{"----", INT32_MIN, {0x00, 0x00, 0x00}},
                             // four foreign characters: V = -266305, whose low three bytes are FB EF BF
                             DecodeRow{"\x01\x01\x01\x01", kMethod01, {0xBF, 0xEF, 0xFB}}));

TEST(DecodeGroupTest, LargestMagnitudeIsTheWeightedSumWithoutWrapping)
{
    // V = 192 * 266305 = 51130560 = 0x030C30C0 for four bytes 255 in Method 00.
    const Triple expected{0xC0, 0x30, 0x0C};
    EXPECT_EQ(DecodeGroup("\xFF\xFF\xFF\xFF", kMethod00), expected);
}

// Every 3-byte group survives EncodeGroup followed by DecodeGroup. Under the
// sanitizers a stride through all groups keeps the run short; the optimised
// build sweeps every one of the 16,777,216 groups.
TEST(GroupCodecRoundTripTest, EveryGroupInBothMethods)
{
#ifdef MUS_SAMPLED_SWEEP
    constexpr std::uint32_t kStride = 251;
#else
    constexpr std::uint32_t kStride = 1;
#endif
    std::uint32_t checked = 0;
    for (const std::int32_t method : {kMethod00, kMethod01}) {
        for (std::uint32_t v = 0; v < (1u << 24); v += kStride) {
            const Triple group{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16)};
            const Quad quad = EncodeGroup(group, method);
            for (const char c : quad) {
                if (method == kMethod00) ASSERT_TRUE(c >= '?' && c <= '~') << v;
                else ASSERT_NE(kMethod01Alphabet.find(c), std::string_view::npos) << v;
            }
            if (DecodeGroup(quad.data(), method) != group) FAIL() << "group " << v << " method " << method;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2 * ((1u << 24) + kStride - 1) / kStride);
}

} // namespace
} // namespace mus
