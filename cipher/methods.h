#pragma once
// The method table: what each encryption method is, in one place — its
// code, its name, the version field its blocks carry, whether it needs a
// phrase, how long a phrase and a text may be, and the family that writes
// and reads its blocks. The dialogs, the commands and `mus` ask here; the
// engine reaches a family only through its row. A new method is one row
// here and one family file.

#include <array>
#include <cstdint>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/group_codec.h"
#include "cipher/legacy_method.h"
#include "cipher/method02.h"
#include "cipher/method_family.h"

namespace mus {

// clang-format off
inline constexpr std::array<MethodInfo, 3> kMethods = {{
    {kMethod00, "00", "Method 00", "Requires version 1.0 or higher to decrypt.", kWriterVersion, false, kMaxPhraseLength, kMaxTextLength, &kLegacyFamily},
    {kMethod01, "01", "Method 01", "Requires version 1.1 or higher to decrypt.", kWriterVersion, false, kMaxPhraseLength, kMaxTextLength, &kLegacyFamily},
    {kMethod02, "02", "Method 02", "Strong encryption. Requires version 1.30 or higher to decrypt.", kMethod02WriterVersion, true, kMethod02PhraseLimit, kMethod02TextLimit, &kSealedFamily},
}};
// clang-format on

// The highest method code this version reads and writes.
inline constexpr std::int32_t kHighestMethod = kMethods.back().code;

// The description of `code`, or null for a code this version does not know.
constexpr const MethodInfo* FindMethod(std::int32_t code) noexcept
{
    for (const MethodInfo& method : kMethods)
        if (method.code == code) return &method;
    return nullptr;
}

// The method whose field is `field` ("00", "01", "02"), or null.
constexpr const MethodInfo* FindMethodField(std::string_view field) noexcept
{
    for (const MethodInfo& method : kMethods)
        if (method.field == field) return &method;
    return nullptr;
}

// The row whose family reads a block of `code` (at most kHighestMethod): its
// own, or the first row's for a code below every row's, which that family
// reads as it reads an unknown code.
constexpr const MethodInfo& ReaderMethod(std::int32_t code) noexcept
{
    const MethodInfo* method = FindMethod(code);
    return method != nullptr ? *method : kMethods.front();
}

// The longest phrase, in bytes, that any method takes.
inline constexpr std::int32_t kLongestPhrase = [] {
    std::int32_t longest = 0;
    for (const MethodInfo& method : kMethods)
        if (method.phraseLimit > longest) longest = method.phraseLimit;
    return longest;
}();

} // namespace mus
