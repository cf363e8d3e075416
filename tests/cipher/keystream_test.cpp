#include <gtest/gtest.h>

#include <string>

#include "cipher/errors.h"
#include "cipher/keystream.h"

namespace mus {
namespace {

TEST(KeystreamTest, StatesAfterTheFirstSixDrawsFromSeedZero)
{
    KeystreamGenerator generator;
    generator.Seed(0);
    const std::uint32_t expected[] = {0x00000001u, 0x08088406u, 0xDC6DAC1Fu, 0x33DC589Cu, 0x45DE2B0Du, 0xABF18B42u};
    for (const std::uint32_t state : expected) {
        generator.Draw(256);
        EXPECT_EQ(generator.State(), state);
    }
}

TEST(KeystreamTest, FirstTwelveKeystreamBytesFromSeedZero)
{
    KeystreamGenerator generator;
    generator.Seed(0);
    const std::uint32_t expected[] = {0x00, 0x08, 0xDC, 0x33, 0x45, 0xAB, 0x51, 0x29, 0x5F, 0x6C, 0x14, 0x79};
    for (const std::uint32_t byte : expected) EXPECT_EQ(generator.Draw(256), byte);
}

TEST(KeystreamTest, FirstDrawAfterSeedOneIsEight)
{
    KeystreamGenerator generator;
    generator.Seed(1);
    EXPECT_EQ(generator.Draw(256), 8u);
}

TEST(KeystreamTest, DrawIsTheHighWordOfStateTimesBound)
{
    KeystreamGenerator generator;
    generator.Seed(0);
    generator.Draw(256); // state 1
    EXPECT_EQ(generator.Draw(1000), static_cast<std::uint32_t>((std::uint64_t{0x08088406u} * 1000) >> 32));
    generator.Seed(-1); // the 32-bit pattern FFFFFFFF
    EXPECT_EQ(generator.Draw(0x80000000u), (0xFFFFFFFFu * 134775813u + 1u) >> 1);
}

TEST(KeystreamTest, SeedingAgainRestartsTheSequence)
{
    KeystreamGenerator generator;
    generator.Seed(590);
    std::string first;
    for (int i = 0; i < 40; ++i) first += static_cast<char>(generator.Draw(256));
    generator.Seed(590);
    std::string second;
    for (int i = 0; i < 40; ++i) second += static_cast<char>(generator.Draw(256));
    EXPECT_EQ(first, second);
}

struct SeedCase {
    std::string bytes;
    std::int32_t seed;
};

class PhraseSeedTest : public testing::TestWithParam<SeedCase> {};

TEST_P(PhraseSeedTest, IsThePositionWeightedByteSum)
{
    EXPECT_EQ(PhraseSeed(GetParam().bytes), GetParam().seed);
}

INSTANTIATE_TEST_SUITE_P(Examples, PhraseSeedTest,
                         testing::Values(SeedCase{"abc", 590}, SeedCase{"\x61\x6A\xBF", 882}, SeedCase{"", 0},
                                         // a byte 255 at position 16 contributes 4,080, never a negative value
                                         SeedCase{std::string(15, '\0') + "\xFF", 4080},
                                         SeedCase{std::string(16, '\xFF'), 34680}, SeedCase{"\xFF\xFF\xFF", 1530}));

TEST(PhraseSeedOverflowTest, ALongStringOfHighBytesRaisesIntegerOverflow)
{
    // 255 * n(n+1)/2 passes 2^31 - 1 at n = 4104.
    EXPECT_EQ(PhraseSeed(std::string(4103, '\xFF')), 255 * (4103 * 4104 / 2));
    try {
        PhraseSeed(std::string(4104, '\xFF'));
        FAIL() << "no overflow reported";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "Integer overflow");
    }
}

TEST(CheckedArithmeticTest, RaisesInsteadOfWrapping)
{
    EXPECT_EQ(CheckedAdd(INT32_MAX - 1, 1), INT32_MAX);
    EXPECT_THROW(CheckedAdd(INT32_MAX, 1), IntegerOverflow);
    EXPECT_THROW(CheckedAdd(INT32_MIN, -1), IntegerOverflow);
    EXPECT_EQ(CheckedMul(-65536, 32768), INT32_MIN);
    EXPECT_THROW(CheckedMul(65536, 32768), IntegerOverflow);
}

} // namespace
} // namespace mus
