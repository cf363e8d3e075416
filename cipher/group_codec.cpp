#include "cipher/group_codec.h"

#include "cipher/errors.h"

namespace mus {

namespace {

// Characters of Method 00 have the code of their value plus this base.
constexpr std::int32_t kCharacterBase = 63;

// Weights of the four 6-bit fields, most significant first, and of the three
// bytes of a group, first byte least significant.
constexpr std::int32_t kFieldWeight1 = 262144;  // 2^18
constexpr std::int32_t kFieldWeight2 = 4096;    // 2^12
constexpr std::int32_t kFieldWeight3 = 64;      // 2^6
constexpr std::int32_t kFieldWeight4 = 1;
constexpr std::int32_t kByteWeight1 = 1;
constexpr std::int32_t kByteWeight2 = 256;      // 2^8
constexpr std::int32_t kByteWeight3 = 65536;    // 2^16
constexpr std::int32_t kGroupRange = 16777216;  // 2^24

// Each mask is the difference of two adjacent weights.
constexpr std::int32_t kFieldMask1 = kGroupRange - kFieldWeight1;
constexpr std::int32_t kFieldMask2 = kFieldWeight1 - kFieldWeight2;
constexpr std::int32_t kFieldMask3 = kFieldWeight2 - kFieldWeight3;
constexpr std::int32_t kFieldMask4 = kFieldWeight3 - kFieldWeight4;
constexpr std::int32_t kByteMask1 = kByteWeight2 - kByteWeight1;
constexpr std::int32_t kByteMask2 = kByteWeight3 - kByteWeight2;
constexpr std::int32_t kByteMask3 = kGroupRange - kByteWeight3;

struct Method01Values {
    std::int8_t value[256];
};

// Value of every byte under Method 01: its index in the alphabet, or -1.
constexpr Method01Values MakeMethod01Values()
{
    Method01Values table{};
    for (auto& v : table.value) v = -1;
    for (std::size_t i = 0; i < kMethod01Alphabet.size(); ++i)
        table.value[static_cast<std::uint8_t>(kMethod01Alphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}

constexpr Method01Values kMethod01Values = MakeMethod01Values();

inline char FieldCharacter(std::int32_t field, std::int32_t method) noexcept
{
    if (method == kMethod00) return static_cast<char>(field + kCharacterBase);
    return kMethod01Alphabet[static_cast<std::size_t>(field)];
}

inline std::int32_t CharacterValue(char c, std::int32_t method) noexcept
{
    if (method == kMethod00) return static_cast<std::int32_t>(static_cast<std::uint8_t>(c)) - kCharacterBase;
    return kMethod01Values.value[static_cast<std::uint8_t>(c)];
}

} // namespace

// Codes other than 0 are written as Method 01; callers pass only 0 and 1.
Quad EncodeGroup(const Triple& group, std::int32_t method) noexcept
{
    const std::int32_t v = group[0] * kByteWeight1 + group[1] * kByteWeight2 + group[2] * kByteWeight3;
    return Quad{
        FieldCharacter((v & kFieldMask1) / kFieldWeight1, method),
        FieldCharacter((v & kFieldMask2) / kFieldWeight2, method),
        FieldCharacter((v & kFieldMask3) / kFieldWeight3, method),
        FieldCharacter((v & kFieldMask4) / kFieldWeight4, method),
    };
}

Triple DecodeGroup(const char* four, std::int32_t method) noexcept
{
    std::int32_t v = 0;
    if (method == kMethod00 || method == kMethod01) {
        // The largest magnitude, four characters of code 255 under Method 00,
        // is 192 * 266305: within the program's inputs no overflow can occur,
        // and a function that cannot fail would end the process if one did.
        v = CheckedAdd(CheckedAdd(CheckedMul(CharacterValue(four[0], method), kFieldWeight1),
                                  CheckedMul(CharacterValue(four[1], method), kFieldWeight2)),
                       CheckedAdd(CheckedMul(CharacterValue(four[2], method), kFieldWeight3),
                                  CharacterValue(four[3], method) * kFieldWeight4));
    }
    return Triple{
        static_cast<std::uint8_t>((v & kByteMask1) / kByteWeight1),
        static_cast<std::uint8_t>((v & kByteMask2) / kByteWeight2),
        static_cast<std::uint8_t>((v & kByteMask3) / kByteWeight3),
    };
}

} // namespace mus
