#pragma once
// Helpers shared by the cipher tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/armoured_block.h"

namespace mus::test {

// The lines of a block as WriteArmouredBlock hands them out.
inline std::vector<std::string> BlockLines(std::string_view text, std::string_view phrase, std::int32_t method)
{
    std::vector<std::string> lines;
    WriteArmouredBlock(text, phrase, method, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

// Lines joined with CR LF, each one ended by it, as the editor holds a block.
inline std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

inline std::string Block(std::string_view text, std::string_view phrase = {}, std::int32_t method = 1)
{
    return JoinLines(BlockLines(text, phrase, method));
}

} // namespace mus::test
