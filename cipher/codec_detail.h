#pragma once
// Inline forms of the group codec and of three keystream draws at a time, for
// the block writer and reader, whose inner loops run once per group. Not part
// of the library's interface: include group_codec.h and keystream.h instead.

#include <array>
#include <cstdint>
#include <cstring>

#include "cipher/errors.h"
#include "cipher/group_codec.h"
#include "cipher/keystream.h"

namespace mus::detail {

// Characters of Method 00 have the code of their value plus this base.
inline constexpr std::int32_t kCharacterBase = 63;

// Weights of the four 6-bit fields, most significant first, and of the three
// bytes of a group, the first byte least significant.
inline constexpr std::int32_t kFieldWeight1 = 262144; // 2^18
inline constexpr std::int32_t kFieldWeight2 = 4096;   // 2^12
inline constexpr std::int32_t kFieldWeight3 = 64;     // 2^6
inline constexpr std::int32_t kFieldWeight4 = 1;
inline constexpr std::int32_t kByteWeight1 = 1;
inline constexpr std::int32_t kByteWeight2 = 256;     // 2^8
inline constexpr std::int32_t kByteWeight3 = 65536;   // 2^16
inline constexpr std::int32_t kGroupRange = 16777216; // 2^24

// Each mask is the difference of two adjacent weights.
inline constexpr std::int32_t kFieldMask1 = kGroupRange - kFieldWeight1;
inline constexpr std::int32_t kFieldMask2 = kFieldWeight1 - kFieldWeight2;
inline constexpr std::int32_t kFieldMask3 = kFieldWeight2 - kFieldWeight3;
inline constexpr std::int32_t kFieldMask4 = kFieldWeight3 - kFieldWeight4;
inline constexpr std::int32_t kByteMask1 = kByteWeight2 - kByteWeight1;
inline constexpr std::int32_t kByteMask2 = kByteWeight3 - kByteWeight2;
inline constexpr std::int32_t kByteMask3 = kGroupRange - kByteWeight3;

// The character of every 6-bit value under one method.
struct Characters {
    char of[64];
};

// The value of every byte as a character under one method (-1 for a
// character outside Method 01's alphabet).
struct Values {
    std::int16_t of[256];
};

constexpr Characters MakeCharacters(std::int32_t method)
{
    Characters table{};
    for (std::int32_t f = 0; f < 64; ++f)
        table.of[f] = method == kMethod00 ? static_cast<char>(f + kCharacterBase)
                                          : kMethod01Alphabet[static_cast<std::size_t>(f)];
    return table;
}

// Under a method code other than 0 and 1 every value is 0, and so is V.
constexpr Values MakeValues(std::int32_t method)
{
    Values table{};
    for (std::int32_t c = 0; c < 256; ++c)
        table.of[c] = static_cast<std::int16_t>(method == kMethod00   ? c - kCharacterBase
                                                : method == kMethod01 ? -1
                                                                      : 0);
    if (method == kMethod01) {
        for (std::size_t i = 0; i < kMethod01Alphabet.size(); ++i)
            table.of[static_cast<std::uint8_t>(kMethod01Alphabet[i])] = static_cast<std::int16_t>(i);
    }
    return table;
}

inline constexpr Characters kMethod00Characters = MakeCharacters(kMethod00);
inline constexpr Characters kMethod01Characters = MakeCharacters(kMethod01);
inline constexpr Values kMethod00Values = MakeValues(kMethod00);
inline constexpr Values kMethod01Values = MakeValues(kMethod01);
inline constexpr Values kOtherMethodValues = MakeValues(-1);

inline const Values& ValuesOf(std::int32_t method) noexcept
{
    return method == kMethod00 ? kMethod00Values : method == kMethod01 ? kMethod01Values : kOtherMethodValues;
}

// The two characters of every pair of fields (12 bits, the more significant
// field first), so that a group is written with two look-ups.
struct CharacterPairs {
    char of[4096][2];
};

constexpr CharacterPairs MakePairs(const Characters& characters)
{
    CharacterPairs table{};
    for (std::int32_t pair = 0; pair < 4096; ++pair) {
        table.of[pair][0] = characters.of[pair / 64];
        table.of[pair][1] = characters.of[pair % 64];
    }
    return table;
}

inline constexpr CharacterPairs kMethod00Pairs = MakePairs(kMethod00Characters);
inline constexpr CharacterPairs kMethod01Pairs = MakePairs(kMethod01Characters);

// Codes other than 0 are written as Method 01; writers pass only 0 and 1.
inline const CharacterPairs& PairsOf(std::int32_t method) noexcept
{
    return method == kMethod00 ? kMethod00Pairs : kMethod01Pairs;
}

// Writes the four characters of the group b1 b2 b3 to `out`.
inline void Encode(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, const CharacterPairs& pairs, char* out) noexcept
{
    const std::int32_t v = b1 * kByteWeight1 + b2 * kByteWeight2 + b3 * kByteWeight3;
    const char* high = pairs.of[(v & (kFieldMask1 | kFieldMask2)) / kFieldWeight2];
    const char* low = pairs.of[v & (kFieldMask3 | kFieldMask4)];
    std::memcpy(out, high, 2);
    std::memcpy(out + 2, low, 2);
}

// V of four characters, summed with overflow detection (the largest
// magnitude, 192 * 266305, is far inside the range).
inline std::int32_t GroupValue(const char* four, const Values& values)
{
    const auto value = [&values](char c) -> std::int32_t { return values.of[static_cast<std::uint8_t>(c)]; };
    std::int32_t v = CheckedMul(value(four[0]), kFieldWeight1);
    v = CheckedAdd(v, CheckedMul(value(four[1]), kFieldWeight2));
    v = CheckedAdd(v, CheckedMul(value(four[2]), kFieldWeight3));
    return CheckedAdd(v, CheckedMul(value(four[3]), kFieldWeight4));
}

// The low three bytes of V in two's-complement form, first byte first.
inline Triple GroupBytes(std::int32_t v) noexcept
{
    return Triple{
        static_cast<std::uint8_t>((v & kByteMask1) / kByteWeight1),
        static_cast<std::uint8_t>((v & kByteMask2) / kByteWeight2),
        static_cast<std::uint8_t>((v & kByteMask3) / kByteWeight3),
    };
}

// Three successive Draw(256) results from `state`, which is advanced three
// steps. The states one, two and three steps ahead are computed side by side
// (s*a + 1, s*a^2 + a + 1, s*a^3 + a^2 + a + 1), so the draws of a group do
// not wait for each other.
struct ThreeDraws {
    std::uint8_t k1, k2, k3;
};

inline ThreeDraws DrawThree(std::uint32_t& state) noexcept
{
    constexpr std::uint32_t a1 = KeystreamGenerator::kMultiplier;
    constexpr std::uint32_t a2 = a1 * a1;
    constexpr std::uint32_t a3 = a2 * a1;
    const std::uint32_t s1 = state * a1 + 1u;
    const std::uint32_t s2 = state * a2 + (a1 + 1u);
    const std::uint32_t s3 = state * a3 + (a2 + a1 + 1u);
    state = s3;
    // For bound 256 a draw is the top 8 bits of the new state.
    return {static_cast<std::uint8_t>(s1 >> 24), static_cast<std::uint8_t>(s2 >> 24),
            static_cast<std::uint8_t>(s3 >> 24)};
}

} // namespace mus::detail
