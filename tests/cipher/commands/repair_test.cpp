// Decrypt undoes what mail and chat do to a block: one table of damage and
// method through the command, then the cases that must never be released.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/commands/decrypt_command.h"
#include "cipher/messages.h"
#include "cipher/transport_repair.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

const std::string kText = "Meet me at the old mill at dawn.\r\nBring the map, the lamp and the rope.\r\n"
                          "Come alone, and tell no one where you went.";
const std::string kPhrase = "ABC";

std::vector<std::string> SplitLines(const std::string& block)
{
    std::vector<std::string> lines;
    std::istringstream in(block);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Each line of the block made over by `line`, then joined by `separator`.
std::string Remade(const std::string& block, const std::function<std::string(const std::string&)>& line,
                   const std::string& separator = "\r\n")
{
    std::string out;
    for (const std::string& l : SplitLines(block)) out += line(l) + separator;
    return out;
}

// Lines over `width` broken as a mail client does: at the last blanks that
// fit (the blanks dropped), else at the width.
std::string Rewrapped(const std::string& block, std::size_t width)
{
    return Remade(block, [width](std::string l) {
        std::string out;
        while (l.size() > width) {
            const std::size_t blank = l.rfind(' ', width);
            const std::size_t cut = blank != std::string::npos && blank > 0 ? blank : width;
            std::string piece = l.substr(0, cut);
            while (piece.back() == ' ') piece.pop_back();
            out += piece + "\r\n";
            l.erase(0, cut);
            while (!l.empty() && l.front() == ' ') l.erase(0, 1);
        }
        return out + l;
    });
}

std::string Lines(std::size_t n, const char* what = "line")
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

struct Damage {
    std::string name;
    std::function<std::string(const std::string& block)> apply;
    // The repair items for a block of `lines` lines, `body` of them body lines.
    std::function<std::string(std::size_t lines, std::size_t body)> items;
};

// clang-format off
const std::vector<Damage> kDamages = {
    {"QuotedInAReply", [](const std::string& b) { return Remade(b, [](const std::string& l) { return "> " + l; }); },
     [](std::size_t n, std::size_t) { return "quote marks removed from " + Lines(n); }},
    {"QuotedTwiceWithoutBlank", [](const std::string& b) { return Remade(b, [](const std::string& l) { return ">> " + l; }); },
     [](std::size_t n, std::size_t) { return "quote marks removed from " + Lines(n); }},
    {"QuotedNested", [](const std::string& b) { return Remade(b, [](const std::string& l) { return "> > " + l; }); },
     [](std::size_t n, std::size_t) { return "quote marks removed from " + Lines(n); }},
    {"IndentedByFourBlanks", [](const std::string& b) { return Remade(b, [](const std::string& l) { return "    " + l; }); },
     [](std::size_t n, std::size_t) { return "blanks removed from " + Lines(n); }},
    {"NoBreakSpaceBeforeEachLine", [](const std::string& b) { return Remade(b, [](const std::string& l) { return "\xC2\xA0" + l; }); },
     [](std::size_t n, std::size_t) { return "blanks removed from " + Lines(n); }},
    {"LineEndsCrCrLf", [](const std::string& b) { return Remade(b, [](const std::string& l) { return l; }, "\r\r\n"); },
     [](std::size_t, std::size_t) { return std::string("line ends made CR LF"); }},
    {"ZeroWidthSpaceBeforeBodyLines", [](const std::string& b) { return Remade(b, [](const std::string& l) { return l[0] == 'C' ? "\xE2\x80\x8B" + l : l; }); },
     [](std::size_t, std::size_t body) { return Lines(body, "invisible character") + " removed"; }},
    {"RewrappedAt40Columns", [](const std::string& b) { return Rewrapped(b, 40); },
     [](std::size_t, std::size_t) { return std::string("body lines rejoined"); }},
    {"JoinedIntoOneLine", [](const std::string& b) { std::string one = Remade(b, [](const std::string& l) { return l; }, " "); return one.substr(0, one.size() - 1); },
     [](std::size_t, std::size_t) { return std::string("block split from one line"); }},
    {"BlankLineAfterEveryLine", [](const std::string& b) { return Remade(b, [](const std::string& l) { return l + "\r\n"; }); },
     [](std::size_t n, std::size_t) { return Lines(n - 1, "blank line") + " removed"; }},
    {"QuotedWithLineFeedsAndBreakTags", [](const std::string& b) { return Remade(b, [](const std::string& l) { return "> " + l + "<br>"; }, "\n"); },
     [](std::size_t n, std::size_t) { return "line ends made CR LF; quote marks removed from " + Lines(n) + "; <br> removed from " + Lines(n); }},
};
// clang-format on

std::string BlockOf(std::int32_t method)
{
    return method == kMethod02 ? SealedDocument(kText, kPhrase) : BlockDocument(kText, kPhrase, method);
}

struct Row {
    const Damage* damage;
    std::int32_t method;
};

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.damage->name << " Method 0" << row.method;
}

class RepairTable : public testing::TestWithParam<Row> {};

// The mail around the block stays out of the text; one prompt, one key
// derivation at most, then the text and the information box, with no sound.
TEST_P(RepairTable, DecryptsAndSaysWhatWasUndone)
{
    const Row& row = GetParam();
    const std::string block = BlockOf(row.method);
    const std::vector<std::string> lines = SplitLines(block);
    const auto body = static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == 'C'; }));
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, "Hi,\r\n\r\n" + row.damage->apply(block) + "\r\nSee you.\r\n");
    user.Script({Phrase(kPhrase)});
    DecryptCommand(user, document);

    EXPECT_EQ(document.Bytes(), kText);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), BoxLine(BoxKind::Information, "OK",
                                  std::string(msg::kRepairedPrefix) + row.damage->items(lines.size(), body) + "."));
    EXPECT_EQ(std::count(log.begin(), log.end(), PromptLine(msg::kPromptProtected, PromptTopic::ProtectedText)), 1);
    EXPECT_LE(std::count(log.begin(), log.end(), kKeyDerived), 1);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("sound", 0) == 0; }), 0);
    EXPECT_TRUE(user.ScriptUsedUp());
    EXPECT_FALSE(user.Busy());
}

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (const Damage& damage : kDamages)
        for (const std::int32_t method : {kMethod00, kMethod01, kMethod02}) rows.push_back({&damage, method});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(DamageByMethod, RepairTable, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) {
                             return info.param.damage->name + "Method0" + std::to_string(info.param.method);
                         });

// ---------------------------------------------------------------------------
// What a repair never releases, and what it leaves alone.

std::string Quoted(const std::string& block)
{
    return Remade(block, [](const std::string& l) { return "> " + l; });
}

std::string WithCrcLine(const std::string& block, const std::string& crcLine)
{
    const std::size_t at = block.rfind("MuS/");
    return block.substr(0, at) + crcLine + block.substr(block.find("\r\n", at));
}

// A Method 02 block with one character changed: of its sealed text, or of
// its salt (the second group); or with a text length 3 short.
std::string Tampered(bool salt = false)
{
    std::string block = SealedDocument(kText, kPhrase);
    char& c = block[salt ? block.find("\r\nC") + 7 : block.rfind("\r\nC", block.rfind("MuS/")) + 4];
    c = c == 'A' ? 'B' : 'A';
    return block;
}

std::string ShortLength()
{
    const std::string block = SealedDocument(kText, kPhrase);
    const std::string length = "/" + std::to_string(kText.size()) + "\r\n";
    const std::size_t at = block.find(length);
    return block.substr(0, at) + "/" + std::to_string(kText.size() - 3) + block.substr(at + length.size() - 2);
}

struct GuardRow {
    std::string name;
    std::string document;
    std::vector<Step> script;
    std::string lastBox; // the box that ends the run; empty: none
};

void PrintTo(const GuardRow& row, std::ostream* out)
{
    *out << row.name;
}

class RepairGuard : public testing::TestWithParam<GuardRow> {};

TEST_P(RepairGuard, ReleasesNothing)
{
    const GuardRow& row = GetParam();
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log, row.document);
    user.Script(row.script);
    DecryptCommand(user, document);

    EXPECT_EQ(document.Replacements(), 0);
    EXPECT_EQ(document.Bytes(), row.document);
    if (row.lastBox.empty()) {
        EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const std::string& l) { return l.rfind("box", 0) == 0; }));
    } else {
        EXPECT_EQ(log.back(), row.lastBox);
    }
    EXPECT_TRUE(user.ScriptUsedUp());
}

const std::string kNotPresent = BoxLine(BoxKind::Error, "OK", msg::kNoHeaderAndFooter);
const std::string kDamagedBox = BoxLine(BoxKind::Error, "OK", msg::kDamaged);

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rows, RepairGuard,
    testing::Values(
        GuardRow{"QuotedWithCrcDifferent", Quoted(WithCrcLine(BlockDocument(kText), "MuS/1")), {}, kNotPresent},
        GuardRow{"QuotedWithCrcZero", Quoted(WithCrcLine(BlockDocument(kText, "", 0), "MuS/0")), {}, kNotPresent},
        GuardRow{"QuotedWithoutCrcValue", Quoted(WithCrcLine(BlockDocument(kText), "MuS/")), {}, kNotPresent},
        GuardRow{"QuotedWithAGroupCharacterDropped", Quoted(BlockDocument(kText).erase(BlockDocument(kText).find("\r\nC") + 5, 1)), {}, kNotPresent},
        GuardRow{"QuotedTamperedSealed", Quoted(Tampered()), {Phrase(kPhrase)}, kNotPresent},
        GuardRow{"RewrappedTamperedSealed", Rewrapped(Tampered(), 40), {Phrase(kPhrase)}, kDamagedBox},
        GuardRow{"QuotedSealedWithSaltChanged", Quoted(Tampered(true)), {Phrase(kPhrase)}, kNotPresent},
        GuardRow{"QuotedSealedWithLengthChanged", Quoted(ShortLength()), {}, kNotPresent},
        GuardRow{"QuotedPromptCancelled", Quoted(BlockDocument(kText, kPhrase)), {CancelPhrase()}, ""},
        GuardRow{"QuotedSealedPromptCancelled", Quoted(SealedDocument(kText, kPhrase)), {CancelPhrase()}, ""},
        GuardRow{"QuotedWrongPhrase", Quoted(BlockDocument(kText, kPhrase)), {Phrase("ABD"), Reply(Answer::Cancel)},
                 BoxLine(BoxKind::Error, "Cancel Retry", msg::kPhraseMismatch)}),
    [](const testing::TestParamInfo<GuardRow>& info) { return info.param.name; });
// clang-format on

// An intact block, and one the strict reading already opens: today's text,
// and no box at all.
TEST(RepairTest, WhatTheStrictReadingOpensGetsNoNote)
{
    for (const std::string& document :
         {BlockDocument(kText, kPhrase),
          Remade(BlockDocument(kText, kPhrase), [](const std::string& l) { return l + "  "; }),
          Remade(
              BlockDocument(kText, kPhrase), [](const std::string& l) { return l; }, "\n")}) {
        Log log;
        ScriptedUser user(log);
        ScriptedDocument scripted(log, document);
        user.Script({Phrase(kPhrase)});
        DecryptCommand(user, scripted);
        EXPECT_EQ(scripted.Bytes(), kText);
        EXPECT_EQ(log.back(), "normal cursor");
    }
}

} // namespace
} // namespace mus::fake

namespace mus {
namespace {

// Every item, in its order, its noun singular for 1.
TEST(RepairItemsTest, NamesEveryItemInOrder)
{
    Repairs repairs{true, 1, 1, 1, 1, 1, true, true};
    EXPECT_EQ(RepairItems(repairs),
              "line ends made CR LF; quote marks removed from 1 line; blanks removed from 1 line; "
              "1 invisible character removed; <br> removed from 1 line; 1 blank line removed; "
              "body lines rejoined; block split from one line");
    repairs = {false, 0, 2, 3, 0, 4, false, false};
    EXPECT_EQ(RepairItems(repairs),
              "blanks removed from 2 lines; 3 invisible characters removed; 4 blank lines removed");
}

} // namespace
} // namespace mus
