#pragma once
// What each encryption method is, in one place: its code, its name, the
// version field its blocks carry, whether it needs a phrase and how long a
// phrase may be. The dialogs, the commands and `mus` ask here.

#include <array>
#include <cstdint>
#include <string_view>

#include "cipher/group_codec.h"

namespace mus {

inline constexpr std::int32_t kMethod02 = 2;
// The highest method code this version reads and writes.
inline constexpr std::int32_t kHighestMethod = kMethod02;

struct MethodInfo {
    std::int32_t code;
    std::string_view field;         // in the header line and on `mus`'s command line: "00"
    std::string_view name;          // "Method 00"
    std::string_view note;          // the method dialog's line below the name
    std::string_view writerVersion; // the header's version field of its blocks
    bool needsPhrase;
    std::int32_t phraseLimit; // bytes of folded UTF-8
};

inline constexpr std::array<MethodInfo, 3> kMethods = {{
    {kMethod00, "00", "Method 00", "Requires version 1.0 or higher to decrypt.", "0120", false, 16},
    {kMethod01, "01", "Method 01", "Requires version 1.1 or higher to decrypt.", "0120", false, 16},
    {kMethod02, "02", "Method 02", "Strong encryption. Requires version 1.30 or higher to decrypt.", "0130", true, 64},
}};

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

// The longest phrase, in bytes, that any method takes.
inline constexpr std::int32_t kLongestPhrase = [] {
    std::int32_t longest = 0;
    for (const MethodInfo& method : kMethods)
        if (method.phraseLimit > longest) longest = method.phraseLimit;
    return longest;
}();

} // namespace mus
