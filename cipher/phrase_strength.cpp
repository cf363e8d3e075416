#include "cipher/phrase_strength.h"

#include <zxcvbn.h>

#include <cmath>

#include "cipher/secret.h"

namespace mus {

PhraseStrength EstimatePhraseStrength(std::string_view phrase)
{
    // The estimator knows its words in lower case and counts capitals as
    // extra guesses, which folding takes away again.
    std::string lower(phrase.substr(0, phrase.find('\0')));
    const ScopedWipe wipe(lower);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const double entropy = ZxcvbnMatch(lower.c_str(), nullptr, nullptr);

    PhraseStrength strength;
    strength.bits = entropy > 0 ? static_cast<std::int32_t>(std::floor(entropy)) : 0;
    strength.level = strength.bits < kWeakPhraseBits     ? StrengthLevel::Weak
                     : strength.bits < kStrongPhraseBits ? StrengthLevel::Fair
                                                         : StrengthLevel::Strong;
    return strength;
}

std::string GuessesText(std::int32_t bits)
{
    if (bits <= 0) return "about 1 guess";
    return "about 2^" + std::to_string(bits) + " guesses";
}

std::string_view LevelName(StrengthLevel level)
{
    switch (level) {
    case StrengthLevel::Weak: return "weak";
    case StrengthLevel::Fair: return "fair";
    case StrengthLevel::Strong: return "strong";
    }
    return "weak";
}

} // namespace mus
