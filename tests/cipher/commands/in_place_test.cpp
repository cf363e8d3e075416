// Decrypt in Place and Encrypt Selection: what stands around the block, or
// around the selection, stays byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cipher/commands/decrypt_command.h"
#include "cipher/commands/encrypt_command.h"
#include "cipher/messages.h"
#include "cipher/methods.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

const std::string kPhrase = "ABC";
const std::string kText = "Meet me at the mill.\r\nBring the map.";
const std::string kRangeReplaced = "range replaced";

// The block's lines from `from` to `to` (0-based, `to` excluded), each made
// over by prefixing `prefix` and ended by `lineEnd`.
std::string Lines(const std::string& block, std::size_t from, std::size_t to, const std::string& prefix = "",
                  const std::string& lineEnd = "\r\n")
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < block.size();) {
        const std::size_t end = block.find("\r\n", at);
        lines.push_back(block.substr(at, end - at));
        at = end + 2;
    }
    std::string out;
    for (std::size_t i = from; i < std::min(to, lines.size()); ++i) out += prefix + lines[i] + lineEnd;
    return out;
}

constexpr std::size_t kAll = 1000;

// The block without its last line break.
std::string Without(const std::string& block)
{
    return block.substr(0, block.size() - 2);
}

struct PlaceRow {
    std::string name;
    std::string before; // the document: before + block + after
    std::string block;
    std::string after;
    std::string text; // what was encrypted
    std::string lastLog;
};

void PrintTo(const PlaceRow& row, std::ostream* out)
{
    *out << row.name;
}

const std::string kMail = "Hi Sam,\r\n\r\nhere it is:\r\n";
const std::string kSignOff = "\r\nSee you.\r\n-- \r\nAl\r\n";
const std::string kNoBox = "normal cursor";

// clang-format off
std::vector<PlaceRow> PlaceRows()
{
    const std::string b01 = BlockDocument(kText, kPhrase);
    const std::string ended = BlockDocument(kText + "\r\n", kPhrase);
    const std::string sealed = SealedDocument(kText, kPhrase);
    const auto told = [](const std::string& items) {
        return BoxLine(BoxKind::Information, "OK", std::string(msg::kRepairedPrefix) + items + ".");
    };
    const auto quoted = [&told](const std::string& block) {
        return told("quote marks removed from " + std::to_string(std::count(block.begin(), block.end(), '\n')) + " lines");
    };
    const std::size_t crcAt = b01.rfind("MuS/");
    const std::string crcDiffers = b01.substr(0, crcAt) + "MuS/1" + b01.substr(b01.find("\r\n", crcAt));
    return {
        {"FramedBlock", kMail, b01, kSignOff, kText, kNoBox},
        {"TextEndingWithLineBreakGetsNoOther", kMail, ended, kSignOff, kText + "\r\n", kNoBox},
        {"WithoutStartAndEndLines", kMail, Lines(b01, 1, 4), kSignOff, kText, kNoBox},
        {"StartLineWithoutEndLine", kMail, Lines(b01, 0, 4), kSignOff, kText, kNoBox},
        {"CrcLineEndsTheDocument", kMail, Lines(b01, 1, 3) + Lines(b01, 3, 4, "", ""), "", kText, kNoBox},
        {"QuotedBlockInAQuotedMail", "> Hi,\r\n>\r\n", Lines(b01, 0, kAll, "> "), "> \r\n> Al\r\n", kText, quoted(b01)},
        {"QuotedSealedBlock", kMail, Lines(sealed, 0, kAll, "> "), kSignOff, kText, quoted(sealed)},
        // The blank lines between the frame lines and the block go with it;
        // the one after the END line stays.
        {"BlankLineAfterEveryLine", kMail, Without(Lines(b01, 0, kAll, "", "\r\n\r\n")), "\r\nSee you.\r\n", kText,
         told("4 blank lines removed")},
        // In a text of lone CRs, CR CR is a blank line, which stays.
        {"LoneCrLineEnds", "Hi\r", Lines(b01, 0, kAll, "", "\r"), "\rSee you\r", kText, kNoBox},
        {"CrcDifferentWarnsAfterwards", kMail, crcDiffers, kSignOff, kText,
         BoxLine(BoxKind::Warning, "OK", msg::kCrcError)},
    };
}
// clang-format on

class DecryptInPlace : public testing::TestWithParam<PlaceRow> {};

TEST_P(DecryptInPlace, ReplacesTheBlocksLinesAlone)
{
    const PlaceRow& row = GetParam();
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, row.before + row.block + row.after);
    user.Script({Phrase(kPhrase)});
    DecryptInPlaceCommand(user, document);

    const bool endsInBreak = row.text.back() == '\n';
    EXPECT_EQ(document.Bytes(), row.before + row.text + (endsInBreak ? "" : "\r\n") + row.after);
    // One replacement of the range, under the busy cursor.
    const auto replaced = std::find(log.begin(), log.end(), kRangeReplaced);
    ASSERT_NE(replaced, log.end());
    EXPECT_EQ(*(replaced - 1), "busy cursor");
    EXPECT_EQ(document.Replacements(), 1);
    EXPECT_EQ(log.back(), row.lastLog);
    EXPECT_FALSE(user.Busy());
    EXPECT_TRUE(user.ScriptUsedUp());
}

INSTANTIATE_TEST_SUITE_P(Rows, DecryptInPlace, testing::ValuesIn(PlaceRows()),
                         [](const testing::TestParamInfo<PlaceRow>& info) { return info.param.name; });

// The refusals leave the document alone, as Decrypt's do.
TEST(DecryptInPlaceTest, RefusalsLeaveTheDocument)
{
    for (const std::string& text : {std::string("Hi,\r\nno block here\r\n"), kMail + "MuS/0120/1/0/1\r\nMuS/1\r\n"}) {
        Log log;
        ScriptedUser user(log);
        ScriptedDocument document(log, text);
        DecryptInPlaceCommand(user, document);
        EXPECT_EQ(document.Bytes(), text);
        EXPECT_EQ(document.Replacements(), 0);
        EXPECT_EQ(log.front(), SoundLine(AlertSound::Stop));
    }
}

// ---------------------------------------------------------------------------
// Encrypt Selection

const std::string kLetter = "Dear Sam,\r\nthe code is 1234 today.\r\nBye\r\n";

struct SelectionRow {
    std::string name;
    std::string document;
    std::string selected; // found in the document; empty: no selection
    std::vector<Step> script;
    std::optional<std::string> expected; // the document afterwards; nothing: unchanged
    std::string firstLog;
};

void PrintTo(const SelectionRow& row, std::ostream* out)
{
    *out << row.name;
}

// clang-format off
std::vector<SelectionRow> SelectionRows()
{
    const std::string code = BlockDocument("1234", "", 0);
    const std::string line = BlockDocument("the code is 1234 today.");
    const std::string stop = SoundLine(AlertSound::Stop);
    const std::string question = SoundLine(AlertSound::Question);
    const std::string holding = "Hi\r\n" + BlockDocument("old") + "Bye\r\n";
    return {
        {"MidLineGetsLinesOfItsOwn", kLetter, "1234", {Method(0), Phrase("")},
         "Dear Sam,\r\nthe code is \r\n" + code + " today.\r\nBye\r\n", "method dialog"},
        {"LineWithoutItsBreak", kLetter, "the code is 1234 today.", {Method(1), Phrase("")},
         "Dear Sam,\r\n" + Without(line) + "\r\nBye\r\n", "method dialog"},
        {"WholeLinesWithTheirBreak", kLetter, "the code is 1234 today.\r\n", {Method(1), Phrase("K"), Phrase("K")},
         "Dear Sam,\r\n" + BlockDocument("the code is 1234 today.\r\n", "K") + "Bye\r\n", "method dialog"},
        {"ToTheEndOfTheDocument", "abc def", "def", {Method(1), Phrase("")}, "abc \r\n" + BlockDocument("def"), "method dialog"},
        {"WholeDocumentIsEncryptsBlock", "def", "def", {Method(1), Phrase("")}, BlockDocument("def"), "method dialog"},
        {"NothingSelected", kLetter, "", {}, std::nullopt, stop},
        // Over Method 01's limit: refused once Method 01 is chosen.
        {"SelectionTooLongForMethod01", std::string(22529, 'x'), std::string(22529, 'x'), {Method(1)}, std::nullopt, "method dialog"},
        {"MethodDialogCancelled", kLetter, "1234", {CancelMethod()}, std::nullopt, "method dialog"},
        {"SelectionHoldingABlockAnswerNo", holding, holding.substr(4), {Method(1), Reply(Answer::No)}, std::nullopt, "method dialog"},
        {"SelectionHoldingABlockAnswerYes", holding, holding.substr(4), {Method(1), Reply(Answer::Yes), Phrase("")},
         "Hi\r\n" + BlockDocument(holding.substr(4)), "method dialog"},
        // The block outside the selection is no reason to ask.
        {"BlockOutsideTheSelectionIsNotAsked", holding, "Bye", {Method(1), Phrase("")},
         "Hi\r\n" + BlockDocument("old") + Without(BlockDocument("Bye")) + "\r\n", "method dialog"},
    };
}
// clang-format on

class EncryptSelection : public testing::TestWithParam<SelectionRow> {
protected:
    ScratchDirectory directory_;
};

TEST_P(EncryptSelection, PutsTheBlockInTheSelectionsPlace)
{
    const SelectionRow& row = GetParam();
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, row.document);
    if (!row.selected.empty()) {
        const std::size_t at = row.document.rfind(row.selected);
        ASSERT_NE(at, std::string::npos);
        document.Select({at, at + row.selected.size()});
    }
    user.Script(row.script);
    EncryptSelectionCommand(user, document);

    EXPECT_EQ(document.Bytes(), row.expected.value_or(row.document));
    EXPECT_EQ(std::count(log.begin(), log.end(), kRangeReplaced), row.expected ? 1 : 0);
    EXPECT_EQ(document.Replacements(), row.expected ? 1 : 0);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), row.firstLog);
    EXPECT_FALSE(user.Busy());
    EXPECT_TRUE(user.ScriptUsedUp());
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

INSTANTIATE_TEST_SUITE_P(Rows, EncryptSelection, testing::ValuesIn(SelectionRows()),
                         [](const testing::TestParamInfo<SelectionRow>& info) { return info.param.name; });

// A selection encrypted with Method 02 and decrypted in place comes back
// between the same lines.
TEST(EncryptSelectionTest, SealedSelectionComesBackInPlace)
{
    const ScratchDirectory directory;
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, kLetter);
    document.Select({kLetter.find("the"), kLetter.find("Bye")});
    user.Script({Method(kMethod02), Phrase("PLUM VIOLIN GLACIER 7 QUARTZ HINGE"),
                 Phrase("PLUM VIOLIN GLACIER 7 QUARTZ HINGE")});
    EncryptSelectionCommand(user, document, kMinimumCosts);
    ASSERT_EQ(document.Bytes().rfind("Dear Sam,\r\n********************** START", 0), 0u) << document.Bytes();

    user.Script({Phrase("PLUM VIOLIN GLACIER 7 QUARTZ HINGE")});
    DecryptInPlaceCommand(user, document);
    EXPECT_EQ(document.Bytes(), kLetter);
    EXPECT_TRUE(user.ScriptUsedUp());
}

} // namespace
} // namespace mus::fake
