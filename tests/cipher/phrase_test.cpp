#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cipher/phrase.h"
#include "cipher/phrase_strength.h"

namespace mus {
namespace {

struct FoldRow {
    std::string in;
    std::string out;
};

class FoldPhraseTest : public testing::TestWithParam<FoldRow> {};

TEST_P(FoldPhraseTest, FoldsAsciiAndLatin1SmallLetters)
{
    EXPECT_EQ(FoldPhrase(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Phrases, FoldPhraseTest,
                         testing::Values(FoldRow{"", ""}, FoldRow{"secret", "SECRET"},
                                         FoldRow{"MiXeD 12!{}", "MIXED 12!{}"}, FoldRow{"azAZ`{@[", "AZAZ`{@["},
                                         // à (U+00E0) -> À, þ (U+00FE) -> Þ, é -> É
                                         FoldRow{"\xC3\xA0", "\xC3\x80"}, FoldRow{"\xC3\xBE", "\xC3\x9E"},
                                         FoldRow{"caf\xC3\xA9", "CAF\xC3\x89"},
                                         // ÷ (U+00F7) and ÿ (U+00FF) stay; so do capitals and ß (U+00DF)
                                         FoldRow{"\xC3\xB7", "\xC3\xB7"}, FoldRow{"\xC3\xBF", "\xC3\xBF"},
                                         FoldRow{"\xC3\x89\xC3\x9F", "\xC3\x89\xC3\x9F"},
                                         // other scripts are left as they are: Greek alpha, Cyrillic a, euro sign
                                         FoldRow{"\xCE\xB1\xD0\xB0\xE2\x82\xAC", "\xCE\xB1\xD0\xB0\xE2\x82\xAC"},
                                         // the bytes of a longer character are never taken as Latin-1
                                         FoldRow{"\xE3\x83\xA0", "\xE3\x83\xA0"},
                                         // a stray lead byte does not swallow the letter after it
                                         FoldRow{"\xC3"
                                                 "a",
                                                 "\xC3"
                                                 "A"},
                                         FoldRow{"x\xC3", "X\xC3"}));

struct StrengthRow {
    std::string phrase;
    StrengthLevel level;
};

void PrintTo(const StrengthRow& row, std::ostream* out)
{
    *out << '"' << row.phrase << '"';
}

class PhraseStrengthTest : public testing::TestWithParam<StrengthRow> {};

// The levels stand at 40 and 60 bits, and case is not counted: the phrase is
// folded to upper case before it derives a key.
TEST_P(PhraseStrengthTest, RatesThePhraseWhateverItsCase)
{
    std::string upper = GetParam().phrase;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const PhraseStrength strength = EstimatePhraseStrength(GetParam().phrase);
    EXPECT_EQ(strength.level, GetParam().level) << strength.bits;
    EXPECT_EQ(strength.bits < kWeakPhraseBits, strength.level == StrengthLevel::Weak);
    EXPECT_EQ(EstimatePhraseStrength(upper).bits, strength.bits);
}

INSTANTIATE_TEST_SUITE_P(Phrases, PhraseStrengthTest,
                         testing::Values(StrengthRow{"", StrengthLevel::Weak}, StrengthRow{"a", StrengthLevel::Weak},
                                         StrengthRow{" ", StrengthLevel::Weak},
                                         StrengthRow{"password", StrengthLevel::Weak},
                                         StrengthRow{"correct horse", StrengthLevel::Weak},
                                         StrengthRow{"otter quilt 19", StrengthLevel::Fair},
                                         StrengthRow{"meet me at the old mill", StrengthLevel::Strong}));

TEST(PhraseStrengthTest, SaysHowManyGuesses)
{
    EXPECT_EQ(EstimatePhraseStrength("").bits, 0);
    EXPECT_EQ(GuessesText(0), "about 1 guess");
    EXPECT_EQ(GuessesText(23), "about 2^23 guesses");
}

} // namespace
} // namespace mus
