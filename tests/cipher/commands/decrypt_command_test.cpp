#include "cipher/commands/decrypt_command.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "cipher/messages.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

const std::string kNew = NewDialogLine(16);
const std::string kGone = "phrase dialog destroyed";
const std::string kAsk = PromptLine(msg::kPromptProtected, PromptTopic::ProtectedText);
const Log kDecoded = {"busy cursor", "document replaced", "normal cursor"};
const Log kMismatch = {SoundLine(AlertSound::Stop), BoxLine(BoxKind::Error, "Cancel Retry", msg::kPhraseMismatch)};

Log Concat(std::initializer_list<Log> parts)
{
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Log Warning(std::string_view text)
{
    return {SoundLine(AlertSound::Exclamation), BoxLine(BoxKind::Warning, "OK", text)};
}

std::string Replace(std::string text, std::string_view what, std::string_view with)
{
    const auto at = text.find(what);
    if (at != std::string::npos) text.replace(at, what.size(), with);
    return text;
}

// The block of "abc" without a phrase, Method 01.
const std::string kAbcBody = "Cx2uq\r\nMuS/882\r\n";

// ---------------------------------------------------------------------------
// Refusals: a stop sound, one error box, the document untouched.

struct RefusalRow {
    std::string name;
    std::string document;
    std::string message;
};

void PrintTo(const RefusalRow& row, std::ostream* out)
{
    *out << row.name;
}

class DecryptRefusal : public testing::TestWithParam<RefusalRow> {};

TEST_P(DecryptRefusal, ShowsOneErrorBox)
{
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, GetParam().document);
    DecryptCommand(user, document);
    EXPECT_EQ(log, (Log{SoundLine(AlertSound::Stop), BoxLine(BoxKind::Error, "OK", GetParam().message)}));
    EXPECT_EQ(document.Replacements(), 0);
    EXPECT_FALSE(user.Busy());
}

const std::string kNoBlock(msg::kNoHeaderAndFooter);
const std::string kBadHeader(msg::kInvalidHeader);
const std::string kMethodPrefix(msg::kUnsupportedMethodPrefix);

INSTANTIATE_TEST_SUITE_P(
    Rows, DecryptRefusal,
    testing::Values(RefusalRow{"EmptyDocument", "", std::string(msg::kNoTextToDecrypt)},
                    RefusalRow{"OnlyLineBreaks", "\r\n\r\n\r\n", kNoBlock},
                    RefusalRow{"OneTaggedLine", "MuS/0120/01/0/3\r\nCx2uq\r\n", kNoBlock},
                    RefusalRow{"TagInOtherCase", "mus/0120/01/0/3\r\nCx2uq\r\nMUS/882\r\n", kNoBlock},
                    // Quoted or indented, a block is read repaired; that reading
                    // releases it only when its CRC value is right.
                    RefusalRow{"QuotedBlockCrcDiffers", "> MuS/0120/01/0/3\r\n> Cx2uq\r\n> MuS/883\r\n", kNoBlock},
                    RefusalRow{"IndentedBlockCrcDiffers", " MuS/0120/01/0/3\r\n Cx2uq\r\n MuS/883\r\n", kNoBlock},
                    RefusalRow{"HeaderOf14Characters", "MuS/0120/1/0/3\r\n" + kAbcBody, kBadHeader},
                    RefusalRow{"HeaderWithFiveSlashes", "MuS/0120/01/0/3/\r\n" + kAbcBody, kBadHeader},
                    RefusalRow{"HeaderWithThreeSlashes", "MuS/0120/01/003xx\r\n" + kAbcBody, kBadHeader},
                    RefusalRow{"NegativeTextLength", "MuS/0120/01/0/-3\r\n" + kAbcBody, kBadHeader},
                    RefusalRow{"Method02OverAnotherBody", "MuS/0130/02/0/3\r\n" + kAbcBody, std::string(msg::kDamaged)},
                    RefusalRow{"Method03", "MuS/0140/03/1/3\r\n" + kAbcBody, kMethodPrefix + "1.40."},
                    RefusalRow{"Method99", "MuS/0200/99/0/3\r\n" + kAbcBody, kMethodPrefix + "2.00."}),
    [](const testing::TestParamInfo<RefusalRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Runs that decode: the exchange, then the text, then any warning.

struct DecodeRow {
    std::string name;
    std::string document;
    std::vector<Step> script;
    Log log;
    std::string result; // the document afterwards
};

void PrintTo(const DecodeRow& row, std::ostream* out)
{
    *out << row.name;
}

class DecryptFlow : public testing::TestWithParam<DecodeRow> {};

TEST_P(DecryptFlow, FollowsTheSteps)
{
    const DecodeRow& row = GetParam();
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, row.document);
    user.Script(row.script);

    DecryptCommand(user, document);

    EXPECT_EQ(log, row.log);
    EXPECT_EQ(document.Bytes(), row.result);
    EXPECT_FALSE(user.Busy());
    EXPECT_EQ(user.PhraseDialogsAlive(), 0);
    EXPECT_TRUE(user.ScriptUsedUp());
}

std::string CutLine(std::string block, int lineIndex, std::size_t length)
{
    std::size_t start = 0;
    for (int i = 0; i < lineIndex; ++i) start = block.find("\r\n", start) + 2;
    const std::size_t end = block.find("\r\n", start);
    block.erase(start + length, end - start - length);
    return block;
}

std::string WithoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

// Body lines start with some other character and carry junk after the 65th.
std::string ScribbledBody(const std::string& block)
{
    std::string out;
    std::size_t start = 0;
    while (start < block.size()) {
        const std::size_t end = block.find("\r\n", start);
        std::string line = block.substr(start, end - start);
        if (!line.empty() && line[0] == 'C') {
            line[0] = 'X';
            line += "junk after the body";
        }
        out += line + "\r\n";
        start = end + 2;
    }
    return out;
}

// clang-format off
std::vector<DecodeRow> DecodeRows()
{
    const std::string hello = BlockDocument("Hello");
    const std::string protectedHello = BlockDocument("Hello", "ABC");
    const std::string hundred = BlockDocument(std::string(100, 'x'));
    const std::string helloCrc = hello.substr(hello.rfind("MuS/"));
    return {
        {"NoPhrase", hello, {}, kDecoded, "Hello"},
        {"Method00", BlockDocument("Hello", "", 0), {}, kDecoded, "Hello"},
        {"Version9999", Replace(hello, "MuS/0120/", "MuS/9999/"), {}, kDecoded, "Hello"},
        {"TrailingBlanksAfterTextLength", "MuS/0120/01/0/3  \r\n" + kAbcBody, {}, kDecoded, "abc"},
        {"FrameLinesMissing", "MuS/0120/01/0/3\r\n" + kAbcBody, {}, kDecoded, "abc"},
        {"TextAroundTheBlockIsDropped", "before\r\n" + hello + "after\r\n", {}, kDecoded, "Hello"},
        {"FirstOfTwoBlocks", BlockDocument("first") + BlockDocument("second"), {}, kDecoded, "first"},
        {"TextLength4ReadsTwoGroups", BlockDocument("abcd"), {}, kDecoded, "abcd"},
        {"LoneLineFeeds", WithoutCarriageReturns(hello), {}, kDecoded, "Hello"},
        {"BodyLineFirstCharacterAndTailIgnored", ScribbledBody(hundred), {}, kDecoded, std::string(100, 'x')},
        {"DecodedZeroByteEndsTheText", BlockDocument(std::string("ab\0cd", 5)), {}, kDecoded, "ab"},
        {"CrcLineWithoutNumber", Replace(hello, helloCrc, "MuS/\r\n"), {},
         Concat({kDecoded, Warning(msg::kCrcMissing)}), "Hello"},
        {"CrcValueDiffers", Replace(hello, helloCrc, "MuS/1\r\n"), {}, Concat({kDecoded, Warning(msg::kCrcError)}),
         "Hello"},
        {"TextLength0StoredCrc0", "MuS/0120/01/0/0\r\nC\r\nMuS/0\r\n", {},
         Concat({kDecoded, Warning(msg::kCrcMissing)}), ""},
        {"TextLength0StoredCrc5", "MuS/0120/01/0/0\r\nC\r\nMuS/5\r\n", {}, Concat({kDecoded, Warning(msg::kCrcError)}),
         ""},
        // 34 groups: 16 on the first line, then a second line cut after 7
        // groups (30 characters): 23 groups are read.
        {"BodyLineCutShort", CutLine(hundred, 3, 30), {}, Concat({kDecoded, Warning(msg::kEndedEarly)}),
         std::string(69, 'x')},
        {"PhraseRight", protectedHello, {Phrase("ABC")}, Concat({{kNew, kAsk, kGone}, kDecoded}), "Hello"},
        {"PhraseCancelled", protectedHello, {CancelPhrase()}, {kNew, kAsk, kGone}, protectedHello},
        {"WrongPhraseThenCancel", protectedHello, {Phrase("ABD"), Reply(Answer::Cancel)},
         Concat({{kNew, kAsk, kGone}, kMismatch}), protectedHello},
        {"PhraseOneCharacterShort", protectedHello, {Phrase("AB"), Reply(Answer::Cancel)},
         Concat({{kNew, kAsk, kGone}, kMismatch}), protectedHello},
        {"WrongPhraseRetryRightPhraseInANewDialog", protectedHello,
         {Phrase("XYZ"), Reply(Answer::Retry), Phrase("ABC")},
         Concat({{kNew, kAsk, kGone}, kMismatch, {kNew, kAsk, kGone}, kDecoded}), "Hello"},
        {"WrongPhraseRetryCancel", protectedHello, {Phrase("XYZ"), Reply(Answer::Retry), CancelPhrase()},
         Concat({{kNew, kAsk, kGone}, kMismatch, {kNew, kAsk, kGone}}), protectedHello},
        {"PhraseLengthAbove16NeverMatches", Replace(protectedHello, "/01/3/", "/01/17/"),
         {Phrase("ABCDEFGHIJKLMNOP"), Reply(Answer::Cancel)}, Concat({{kNew, kAsk, kGone}, kMismatch}),
         Replace(protectedHello, "/01/3/", "/01/17/")},
    };
}
// clang-format on

// Method 02: a dialog of 64 bytes, the busy cursor around each derivation
// and around the decryption, the damaged box, and only an authenticated text.
// clang-format off
std::vector<DecodeRow> SealedRows()
{
    const std::string sealed = SealedDocument("Hello", "KEY");
    const std::string crc = sealed.substr(sealed.rfind("MuS/"));
    const std::string wrongCrc = Replace(sealed, crc, "MuS/1\r\n");
    std::string changed = sealed;
    char& c = changed[changed.rfind("\r\nC", changed.rfind("MuS/")) + 4];
    c = c == 'A' ? 'B' : 'A';
    const Log ask = {NewDialogLine(64), kAsk, kGone};
    const Log derive = {"busy cursor", kKeyDerived, "normal cursor"};
    const Log damaged = {SoundLine(AlertSound::Stop), BoxLine(BoxKind::Error, "OK", msg::kDamaged)};
    return {
        {"Sealed", sealed, {Phrase("KEY")}, Concat({ask, derive, kDecoded}), "Hello"},
        {"SealedWrongPhraseRetryRightPhrase", sealed, {Phrase("KEX"), Reply(Answer::Retry), Phrase("KEY")},
         Concat({ask, derive, kMismatch, ask, derive, kDecoded}), "Hello"},
        {"SealedEmptyEntryIsAWrongPhrase", sealed, {Phrase(""), Reply(Answer::Cancel)}, Concat({ask, kMismatch}),
         sealed},
        {"SealedCancelled", sealed, {CancelPhrase()}, ask, sealed},
        {"SealedWrongPhraseWhileTheCrcDiffersIsDamage", wrongCrc, {Phrase("KEX")}, Concat({ask, derive, damaged}),
         wrongCrc},
        {"SealedRightPhraseNeedsNoCrc", wrongCrc, {Phrase("KEY")}, Concat({ask, derive, kDecoded}), "Hello"},
        {"SealedTextChanged", changed, {Phrase("KEY")},
         Concat({ask, derive, {"busy cursor", "normal cursor"}, damaged}), changed},
        {"SealedHeaderChangedBeforeThePrompt", Replace(sealed, "/02/1/", "/02/2/"), {}, damaged,
         Replace(sealed, "/02/1/", "/02/2/")},
    };
}
// clang-format on

INSTANTIATE_TEST_SUITE_P(Method02, DecryptFlow, testing::ValuesIn(SealedRows()),
                         [](const testing::TestParamInfo<DecodeRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Rows, DecryptFlow, testing::ValuesIn(DecodeRows()),
                         [](const testing::TestParamInfo<DecodeRow>& info) { return info.param.name; });

TEST(DecryptCommandTest, ChangedCharacterGivesWrongBytesInItsTripleAndACrcWarning)
{
    std::string block = BlockDocument("Hello");
    char& first = block[block.find("\r\nC") + 3];
    first = first == 'B' ? 'C' : 'B';
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, block);
    DecryptCommand(user, document);

    EXPECT_EQ(log, Concat({kDecoded, Warning(msg::kCrcError)}));
    ASSERT_EQ(document.Bytes().size(), 5u);
    EXPECT_NE(document.Bytes().substr(0, 3), "Hel");
    EXPECT_EQ(document.Bytes().substr(3), "lo");
}

TEST(DecryptCommandTest, EditorRefusingTheTextIsAFailure)
{
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, BlockDocument(std::string(300, 'y')));
    document.LimitCapacity(200);
    try {
        DecryptCommand(user, document);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(std::string(failure.what()), "Text exceeds memo capacity");
    }
    EXPECT_FALSE(user.Busy());
    EXPECT_EQ(log, (Log{"busy cursor", "normal cursor"}));
}

} // namespace
} // namespace mus::fake
