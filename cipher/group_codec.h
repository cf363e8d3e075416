#pragma once
// The group codec: three cipher bytes as four printable characters and back.

#include <array>
#include <cstdint>
#include <string_view>

namespace mus {

using Triple = std::array<std::uint8_t, 3>;
using Quad = std::array<char, 4>;

inline constexpr std::int32_t kMethod00 = 0;
inline constexpr std::int32_t kMethod01 = 1;

// The characters of Method 01, a character's value being its index.
inline constexpr std::string_view kMethod01Alphabet =
    "AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz0123456789+-";

// method is 0 or 1.
Quad EncodeGroup(const Triple& group, std::int32_t method) noexcept;

// four points at exactly four characters; any method code is accepted
// (codes other than 0 and 1 give three zero bytes). Never fails.
Triple DecodeGroup(const char* four, std::int32_t method) noexcept;

} // namespace mus
