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

// Method 02's folding, and which foldings count against a limit.
struct FitRow {
    std::string entry;
    std::string folded; // FoldPhraseFully
    PhraseRule rule;
    bool fits;
};

class PhraseFitsTest : public testing::TestWithParam<FitRow> {};

TEST_P(PhraseFitsTest, CountsTheFoldedBytes)
{
    EXPECT_EQ(FoldPhraseFully(GetParam().entry), GetParam().folded);
    EXPECT_EQ(PhraseFits(GetParam().rule, GetParam().entry), GetParam().fits);
}

std::string Times(int n, const std::string& piece)
{
    std::string out;
    for (int i = 0; i < n; ++i) out += piece;
    return out;
}

const PhraseRule kTyped{.limit = 16, .folding = Folding::WhileTyping};
const PhraseRule kNew{.limit = 64, .folding = Folding::AfterEntry};
const PhraseRule kEither{.limit = 64, .folding = Folding::AfterEntry, .earlierFoldingFits = true};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Phrases, PhraseFitsTest, testing::Values(
    FitRow{Times(16, "a"), Times(16, "A"), kTyped, true},
    FitRow{Times(17, "a"), Times(17, "A"), kTyped, false},
    // 32 decomposed e-acute: 96 bytes typed, 64 composed
    FitRow{Times(32, "e\xCC\x81"), Times(32, "\xC3\x89"), kNew, true},
    // U+0149 (2 bytes) folds to U+02BC N (3 bytes): 64 bytes typed, 96 folded
    FitRow{Times(32, "\xC5\x89"), Times(32, "\xCA\xBCN"), kNew, false},
    FitRow{Times(32, "\xC5\x89"), Times(32, "\xCA\xBCN"), kEither, true},
    FitRow{Times(33, "\xC5\x89"), Times(33, "\xCA\xBCN"), kEither, false},
    // a byte that is not UTF-8 counts as U+FFFD
    FitRow{"a\xFF", "A\xEF\xBF\xBD", kNew, true}));
// clang-format on

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
