#pragma once
// How hard a phrase is to guess: an estimate of the guesses an attacker
// needs, from the patterns people use (dictionary words, names, keyboard
// runs, repeats, sequences, dates). A hint for the user, not a part of any
// block; the window's entry and `mus` share it.

#include <cstdint>
#include <string>
#include <string_view>

namespace mus {

// A phrase estimated below this many bits (2^40 guesses) is easy to guess.
inline constexpr std::int32_t kWeakPhraseBits = 40;
// From this many bits on a phrase counts as strong.
inline constexpr std::int32_t kStrongPhraseBits = 60;

enum class StrengthLevel { Weak, Fair, Strong };

struct PhraseStrength {
    std::int32_t bits = 0; // log2 of the guesses, rounded down
    StrengthLevel level = StrengthLevel::Weak;
};

// The estimate for `phrase` (UTF-8; up to a zero byte). Letter case is not
// counted: a phrase is folded to upper case before it derives a key.
PhraseStrength EstimatePhraseStrength(std::string_view phrase);

// "about 2^23 guesses", or "about 1 guess" for 0 bits.
std::string GuessesText(std::int32_t bits);

// "weak", "fair" or "strong".
std::string_view LevelName(StrengthLevel level);

} // namespace mus
