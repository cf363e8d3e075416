#include "cipher/commands/encrypt_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "cipher/commands/decrypt_command.h"
#include "cipher/messages.h"
#include "cipher/methods.h"
#include "cipher/phrase_strength.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

const std::string kNew = NewDialogLine(16);
const std::string kGone = "phrase dialog destroyed";
const std::string kBusy = "busy cursor";
const std::string kNormal = "normal cursor";
const std::string kReplaced = "document replaced";
const std::string kAskPhrase = PromptLine(msg::kPromptPhrase, PromptTopic::NewPhrase);
const std::string kAskConfirm = PromptLine(msg::kPromptConfirm, PromptTopic::Confirmation);
const std::string kStop = SoundLine(AlertSound::Stop);

Log Concat(std::initializer_list<Log> parts)
{
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// After the phrase exchange of a run that goes on to write the block.
const Log kWritten = {kGone, kBusy, kReplaced, kNormal};

struct Encrypted {
    std::string phrase;
    std::int32_t method;
};

struct EncryptRow {
    std::string name;
    std::string text;
    bool askForMethod;
    std::vector<Step> script;
    Log log;
    std::optional<Encrypted> result; // nothing: the document keeps its text
};

void PrintTo(const EncryptRow& row, std::ostream* out)
{
    *out << row.name;
}

std::string Lines(int count, std::string_view line)
{
    std::string text;
    for (int i = 0; i < count; ++i) text.append(line).append("\r\n");
    return text;
}

const std::string kTwoTagged = "MuS/ not a header\r\nsome text\r\nMuS/ nor a CRC line\r\n";

// clang-format off
std::vector<EncryptRow> EncryptRows()
{
    const Log refusedEmpty = {kStop, BoxLine(BoxKind::Error, "OK", msg::kNoTextToEncrypt)};
    const Log refusedLong = {kStop, BoxLine(BoxKind::Error, "OK", msg::kTextTooLong)};
    const Log question = {SoundLine(AlertSound::Question), BoxLine(BoxKind::Confirm, "Yes No", msg::kAlreadyEncrypted)};
    const Log mismatch = {kStop, BoxLine(BoxKind::Error, "Cancel Retry", msg::kPhrasesDoNotMatch)};
    return {
        {"EmptyText", "", false, {}, refusedEmpty, std::nullopt},
        {"EmptyTextClearsAskForMethod", "", true, {}, refusedEmpty, std::nullopt},
        {"TooLong", std::string(22529, 'x'), false, {}, refusedLong, std::nullopt},
        {"TooLongClearsAskForMethod", std::string(22529, 'x'), true, {}, refusedLong, std::nullopt},
        // 11264 line breaks are 22528 characters; one more character is too many.
        {"LineBreaksCountTwoAtTheLimit", Lines(11264, ""), false, {Phrase("")},
         Concat({{kNew, kAskPhrase}, kWritten}), Encrypted{"", 1}},
        {"LineBreaksCountTwoAboveTheLimit", Lines(11264, "") + "x", false, {}, refusedLong, std::nullopt},
        {"LargestTextWithLongestPhrase", std::string(22528, 'q'), false,
         {Phrase("ABCDEFGHIJKLMNOP"), Phrase("ABCDEFGHIJKLMNOP")},
         Concat({{kNew, kAskPhrase, kAskConfirm}, kWritten}), Encrypted{"ABCDEFGHIJKLMNOP", 1}},
        {"EmptyPhraseSkipsConfirmation", "Hello", false, {Phrase("")}, Concat({{kNew, kAskPhrase}, kWritten}),
         Encrypted{"", 1}},
        {"PhraseConfirmed", "Hello", false, {Phrase("ABC"), Phrase("ABC")},
         Concat({{kNew, kAskPhrase, kAskConfirm}, kWritten}), Encrypted{"ABC", 1}},
        {"CancelAtFirstPrompt", "Hello", false, {CancelPhrase()}, {kNew, kAskPhrase, kGone}, std::nullopt},
        {"CancelAtConfirmation", "Hello", false, {Phrase("ABC"), CancelPhrase()},
         {kNew, kAskPhrase, kAskConfirm, kGone}, std::nullopt},
        {"MismatchThenRetryAsksBothAgainInTheSameDialog", "Hello", false,
         {Phrase("ABC"), Phrase("ABD"), Reply(Answer::Retry), Phrase("XY"), Phrase("XY")},
         Concat({{kNew, kAskPhrase, kAskConfirm}, mismatch, {kAskPhrase, kAskConfirm}, kWritten}),
         Encrypted{"XY", 1}},
        {"MismatchThenCancel", "Hello", false, {Phrase("ABC"), Phrase("ABD"), Reply(Answer::Cancel)},
         Concat({{kNew, kAskPhrase, kAskConfirm}, mismatch, {kGone}}), std::nullopt},
        {"MismatchThenEmptyFirstEntry", "Hello", false,
         {Phrase("ABC"), Phrase(""), Reply(Answer::Retry), Phrase("")},
         Concat({{kNew, kAskPhrase, kAskConfirm}, mismatch, {kAskPhrase}, kWritten}), Encrypted{"", 1}},
        {"MethodDialogChoosesMethod00", "Hello", true, {Method(0), Phrase("")},
         Concat({{"method dialog", kNew, kAskPhrase}, kWritten}), Encrypted{"", 0}},
        {"MethodDialogKeepsMethod01", "Hello", true, {Method(1), Phrase("")},
         Concat({{"method dialog", kNew, kAskPhrase}, kWritten}), Encrypted{"", 1}},
        {"MethodDialogCancelled", "Hello", true, {CancelMethod()}, {"method dialog"}, std::nullopt},
        {"AlreadyEncryptedAnswerNo", kTwoTagged, false, {Reply(Answer::No)}, question, std::nullopt},
        {"AlreadyEncryptedAnswerYesEncryptsEverything", kTwoTagged, false, {Reply(Answer::Yes), Phrase("")},
         Concat({question, {kNew, kAskPhrase}, kWritten}), Encrypted{"", 1}},
        {"MethodBeforeQuestionBeforePhrase", BlockDocument("old"), true,
         {Method(0), Reply(Answer::Yes), Phrase("K"), Phrase("K")},
         Concat({{"method dialog"}, question, {kNew, kAskPhrase, kAskConfirm}, kWritten}), Encrypted{"K", 0}},
        {"QuotedTagsAreNoBlock", "> MuS/0120/01/0/3\r\n> MuS/882\r\n", false, {Phrase("")},
         Concat({{kNew, kAskPhrase}, kWritten}), Encrypted{"", 1}},
        {"OneCharacter", "a", false, {Phrase("")}, Concat({{kNew, kAskPhrase}, kWritten}), Encrypted{"", 1}},
    };
}
// clang-format on

class EncryptFlow : public testing::TestWithParam<EncryptRow> {
protected:
    ScratchDirectory directory_;
    Log log_;
    ScriptedUser user_{log_};
};

TEST_P(EncryptFlow, FollowsTheSteps)
{
    const EncryptRow& row = GetParam();
    ScriptedDocument document(log_, row.text);
    user_.Script(row.script);
    bool askForMethod = row.askForMethod;

    EncryptCommand(user_, document, askForMethod);

    EXPECT_EQ(log_, row.log);
    const std::string expected = row.result ? BlockDocument(row.text, row.result->phrase, row.result->method)
                                            : row.text;
    EXPECT_EQ(document.Bytes(), expected);
    EXPECT_EQ(document.Replacements(), row.result ? 1 : 0);
    EXPECT_FALSE(askForMethod);
    EXPECT_FALSE(user_.Busy());
    EXPECT_EQ(user_.PhraseDialogsAlive(), 0);
    EXPECT_TRUE(user_.ScriptUsedUp());
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

INSTANTIATE_TEST_SUITE_P(Rows, EncryptFlow, testing::ValuesIn(EncryptRows()),
                         [](const testing::TestParamInfo<EncryptRow>& info) { return info.param.name; });

class EncryptCommandTest : public testing::Test {
protected:
    ScratchDirectory directory_;
    Log log_;
    ScriptedUser user_{log_};
};

TEST_F(EncryptCommandTest, DocumentIsExactlyTheBlockEndedByCrLf)
{
    ScriptedDocument document(log_, "abc");
    user_.Script({Phrase("")});
    bool askForMethod = false;
    EncryptCommand(user_, document, askForMethod);

    EXPECT_EQ(document.Bytes(), "********************** START  Murmurscript **********************\r\n"
                                "MuS/0120/01/0/3\r\nCx2uq\r\nMuS/882\r\n"
                                "**********************  END   Murmurscript **********************\r\n");
    EXPECT_EQ(document.LineCount(), 5);
}

TEST_F(EncryptCommandTest, SameTextPhraseAndMethodGiveTheSameBlock)
{
    ScriptedDocument first(log_, "Same text\r\nagain");
    ScriptedDocument second(log_, "Same text\r\nagain");
    bool askForMethod = false;
    user_.Script({Phrase("KEY"), Phrase("KEY")});
    EncryptCommand(user_, first, askForMethod);
    user_.Script({Phrase("KEY"), Phrase("KEY")});
    EncryptCommand(user_, second, askForMethod);
    EXPECT_EQ(first.Bytes(), second.Bytes());
    EXPECT_NE(first.Bytes(), "Same text\r\nagain");
}

TEST_F(EncryptCommandTest, AskForMethodIsCleared_NextPlainEncryptShowsNoMethodDialog)
{
    ScriptedDocument document(log_, "");
    bool askForMethod = true;
    EncryptCommand(user_, document, askForMethod); // refused: empty
    document.Type("Hello");
    log_.clear();
    user_.Script({Phrase("")});
    EncryptCommand(user_, document, askForMethod);
    EXPECT_EQ(log_, Concat({{kNew, kAskPhrase}, kWritten}));
    EXPECT_EQ(document.Bytes(), BlockDocument("Hello"));
}

TEST_F(EncryptCommandTest, ReEncryptedBlockDecryptsOnceToTheOldBlock)
{
    const std::string old = BlockDocument("inner text", "IN");
    ScriptedDocument document(log_, old);
    bool askForMethod = false;
    user_.Script({Reply(Answer::Yes), Phrase("OUT"), Phrase("OUT")});
    EncryptCommand(user_, document, askForMethod);
    user_.Script({Phrase("OUT")});
    DecryptCommand(user_, document);
    EXPECT_EQ(document.Bytes(), old);
    EXPECT_TRUE(user_.ScriptUsedUp());
}

TEST_F(EncryptCommandTest, EditorRefusingTheBlockShowsItsMessageWithoutSound)
{
    ScriptedDocument document(log_, "Hello");
    document.LimitCapacity(100);
    user_.Script({Phrase("")});
    bool askForMethod = false;
    EncryptCommand(user_, document, askForMethod);

    EXPECT_EQ(log_, (Log{kNew, kAskPhrase, kGone, kBusy, BoxLine(BoxKind::Error, "OK", "Text exceeds memo capacity"),
                         kNormal}));
    EXPECT_EQ(document.Bytes(), "Hello");
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

TEST_F(EncryptCommandTest, RoundTripThroughDecryptKeepsEveryByte)
{
    const std::string texts[] = {
        "Line one\r\nline two\r\n",
        "Gr\xC3\xBC\xC3\x9F"
        "e aus K\xC3\xB6ln \xE2\x82\xAC\r\n\r\nend",
        std::string("\x01\x7F\xFF\xA0 high bytes\r\n", 17),
        std::string(22528, '\xE9'),
    };
    for (const std::int32_t method : {0, 1}) {
        for (const std::string& text : texts) {
            ScriptedDocument document(log_, text);
            bool askForMethod = true;
            user_.Script({Method(method), Phrase("\xC3\x89T\xC3\x89"), Phrase("\xC3\x89T\xC3\x89")});
            EncryptCommand(user_, document, askForMethod);
            ASSERT_NE(document.Bytes(), text);
            user_.Script({Phrase("\xC3\x89T\xC3\x89")});
            log_.clear();
            DecryptCommand(user_, document);
            EXPECT_EQ(document.Bytes(), text) << "method " << method;
            EXPECT_EQ(log_, (Log{kNew, PromptLine(msg::kPromptProtected, PromptTopic::ProtectedText), kGone, kBusy,
                                 kReplaced, kNormal}));
        }
    }
}

// ---------------------------------------------------------------- Method 02

struct SealRow {
    std::string name;
    std::vector<Step> script; // after the method dialog's answer
    Log exchange;             // after "method dialog"
    std::string phrase;       // empty: the document keeps its text
};

void PrintTo(const SealRow& row, std::ostream* out)
{
    *out << row.name;
}

class Method02Encrypt : public testing::TestWithParam<SealRow> {
protected:
    ScratchDirectory directory_;
    Log log_;
    ScriptedUser user_{log_};
};

TEST_P(Method02Encrypt, AsksForARequiredPhraseAndDerivesOnce)
{
    const SealRow& row = GetParam();
    ScriptedDocument document(log_, "Sealed text\r\n");
    std::vector<Step> script{Method(kMethod02)};
    script.insert(script.end(), row.script.begin(), row.script.end());
    user_.Script(script);
    bool askForMethod = true;
    EncryptCommand(user_, document, askForMethod, kMinimumCosts);
    EXPECT_EQ(log_, Concat({{"method dialog", NewDialogLine(64)}, row.exchange}));
    EXPECT_TRUE(user_.ScriptUsedUp());
    EXPECT_FALSE(Exists(directory_.TransferPath()));
    if (row.phrase.empty()) {
        EXPECT_EQ(document.Replacements(), 0);
        return;
    }
    EXPECT_TRUE(document.Bytes().starts_with(std::string(kStartLine) + "\r\nMuS/0130/02/1/13\r\n"));
    user_.Script({Phrase(row.phrase)});
    DecryptCommand(user_, document);
    EXPECT_EQ(document.Bytes(), "Sealed text\r\n");
}

// clang-format off
std::vector<SealRow> SealRows()
{
    const std::string required = PromptLine(msg::kPromptPhraseRequired, PromptTopic::NewPhrase);
    const Log sealed = {kGone, kBusy, kKeyDerived, kReplaced, kNormal};
    const Log refused = {kStop, BoxLine(BoxKind::Error, "Cancel Retry", msg::kPhraseRequired)};
    // Asked once both entries match, before any key is derived.
    const Log weak = {SoundLine(AlertSound::Question),
                      BoxLine(BoxKind::Confirm, "Yes No, No default", msg::kWeakPhrase)};
    const std::string strong = "MEET ME AT THE OLD MILL";
    const std::string longest = "MEET ME AT THE OLD MILL BY THE RIVER AT NINE, BRING 4 LANTERNS!!";
    return {
        {"Confirmed", {Phrase(strong), Phrase(strong)}, Concat({{required, kAskConfirm}, sealed}), strong},
        {"LongestPhrase", {Phrase(longest), Phrase(longest)}, Concat({{required, kAskConfirm}, sealed}), longest},
        {"EmptyPhraseThenRetry", {Phrase(""), Reply(Answer::Retry), Phrase(strong), Phrase(strong)},
         Concat({{required}, refused, {required, kAskConfirm}, sealed}), strong},
        {"WeakPhraseTakenWithYes", {Phrase("ABC"), Phrase("ABC"), Reply(Answer::Yes)},
         Concat({{required, kAskConfirm}, weak, sealed}), "ABC"},
        {"WeakPhraseRefusedAsksBothAgain",
         {Phrase("ABC"), Phrase("ABC"), Reply(Answer::No), Phrase(strong), Phrase(strong)},
         Concat({{required, kAskConfirm}, weak, {required, kAskConfirm}, sealed}), strong},
        {"WeakPhraseRefusedThenCancel", {Phrase(" "), Phrase(" "), Reply(Answer::No), CancelPhrase()},
         Concat({{required, kAskConfirm}, weak, {required, kGone}}), ""},
        {"EmptyPhraseThenCancel", {Phrase(""), Reply(Answer::Cancel)}, Concat({{required}, refused, {kGone}}), ""},
        {"ConfirmationDiffers", {Phrase("A"), Phrase("B"), Reply(Answer::Cancel)},
         {required, kAskConfirm, kStop, BoxLine(BoxKind::Error, "Cancel Retry", msg::kPhrasesDoNotMatch), kGone}, ""},
    };
}
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, Method02Encrypt, testing::ValuesIn(SealRows()),
                         [](const testing::TestParamInfo<SealRow>& info) { return info.param.name; });

TEST_F(EncryptCommandTest, Method02RoundTripsRandomTextsAndPhrases)
{
    std::mt19937 random(7);
    for (const std::size_t length : {1, 2, 3, 47, 48, 49, 22528, 5000}) {
        std::string text(length, 'x');
        for (char& c : text) c = static_cast<char>(std::uniform_int_distribution<int>(' ', '~')(random));
        const std::string phrase(1 + length % 64, static_cast<char>('A' + length % 26));
        ScriptedDocument document(log_, text);
        bool askForMethod = true;
        std::vector<Step> script{Method(kMethod02), Phrase(phrase), Phrase(phrase)};
        // Runs of one letter are easy to guess: taken all the same.
        if (EstimatePhraseStrength(phrase).bits < kWeakPhraseBits) script.push_back(Reply(Answer::Yes));
        user_.Script(script);
        EncryptCommand(user_, document, askForMethod, kMinimumCosts);
        ASSERT_EQ(document.Bytes().find("\r\nMuS/0130/02/1/" + std::to_string(length) + "\r\n"), 65u) << length;
        user_.Script({Phrase(phrase)});
        DecryptCommand(user_, document);
        EXPECT_EQ(document.Bytes(), text) << length;
    }
}

} // namespace
} // namespace mus::fake
