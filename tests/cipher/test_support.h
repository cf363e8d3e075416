#pragma once
// Helpers shared by the cipher tests.

#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"

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

// Answers the phrase prompt from a script: each entry is one attempt, an
// empty optional the user giving up; `retries` answers the mismatch box.
class ScriptedPrompt final : public PhrasePrompt {
public:
    ScriptedPrompt(std::vector<std::optional<std::string>> answers, std::vector<bool> retries)
        : answers_(answers.begin(), answers.end()), retries_(retries.begin(), retries.end())
    {
    }

    std::optional<std::string> Ask(std::string_view, PromptTopic, const PhraseRule&) override
    {
        ++asked;
        if (answers_.empty()) return std::nullopt;
        auto answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    bool RetryAfter(std::string_view) override
    {
        ++mismatches;
        if (retries_.empty()) return false;
        const bool retry = retries_.front();
        retries_.pop_front();
        return retry;
    }

    int asked = 0;
    int mismatches = 0;

private:
    std::deque<std::optional<std::string>> answers_;
    std::deque<bool> retries_;
};

// `length` random bytes without a zero byte, whose line breaks are CR LF pairs.
inline std::string RandomText(std::mt19937& random, std::size_t length)
{
    std::uniform_int_distribution<int> byte(1, 255);
    std::string text;
    while (text.size() < length) {
        const int b = byte(random);
        if (b == '\r' || b == '\n') {
            if (text.size() + 2 <= length) text += "\r\n";
        } else {
            text += static_cast<char>(b);
        }
    }
    if (text.size() < length) text += 'z';
    return text;
}

} // namespace mus::test
