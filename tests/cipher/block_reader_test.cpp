#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "cipher/group_codec.h"
#include "cipher/keystream.h"
#include "cipher/messages.h"
#include "test_support.h"

namespace mus {
namespace {

using test::Block;
using test::BlockLines;
using test::JoinLines;
using test::RandomText;
using test::ScriptedPrompt;

// ---------------------------------------------------------------- numbers

struct NumberRow {
    std::string text;
    std::int32_t value;
};

class ReadNumberTest : public testing::TestWithParam<NumberRow> {};

TEST_P(ReadNumberTest, ReadsLeniently)
{
    EXPECT_EQ(ReadNumber(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Fields, ReadNumberTest,
                         testing::Values(NumberRow{"0120", 120}, NumberRow{"01", 1}, NumberRow{"", 0},
                                         NumberRow{"abc", 0}, NumberRow{"  42", 42}, NumberRow{"12  ", 12},
                                         NumberRow{"-12", -12},
                                         // the sign counts only when the number is read to its end
                                         NumberRow{"-12 ", 12}, NumberRow{"-12x", 12}, NumberRow{"+7", 7},
                                         NumberRow{"-", 0}, NumberRow{" -3", -3}, NumberRow{"12ab", 12},
                                         NumberRow{"$1F", 31}, NumberRow{"$ff", 255}, NumberRow{"$", 0},
                                         NumberRow{"$1g", 1}, NumberRow{"1F", 1}, NumberRow{"--1", 0},
                                         NumberRow{"2147483647", INT32_MAX}, NumberRow{"-2147483647", -INT32_MAX},
                                         // a digit that would leave the 32-bit range ends the number
                                         NumberRow{"2147483648", 214748364}, NumberRow{"99999999999", 999999999},
                                         NumberRow{"-99999999999", 999999999}, NumberRow{"$FFFFFFFF", 0x0FFFFFFF}));

struct VersionRow {
    std::int32_t version;
    std::string text;
};

class FormatVersionTest : public testing::TestWithParam<VersionRow> {};

TEST_P(FormatVersionTest, HasExactlyTwoDecimals)
{
    EXPECT_EQ(FormatVersion(GetParam().version), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Versions, FormatVersionTest,
                         testing::Values(VersionRow{120, "1.20"}, VersionRow{130, "1.30"}, VersionRow{200, "2.00"},
                                         VersionRow{0, "0.00"}, VersionRow{5, "0.05"}, VersionRow{9999, "99.99"},
                                         VersionRow{-150, "-1.50"}, VersionRow{-5, "-0.05"},
                                         VersionRow{INT32_MIN, "-21474836.48"}));

// ----------------------------------------------------------------- header

struct HeaderRow {
    std::string headerLine;
    std::string crcLine;
    std::optional<Refusal> refusal;
    BlockHeader expected; // line indices are filled in by the test
};

class ReadHeaderTest : public testing::TestWithParam<HeaderRow> {};

TEST_P(ReadHeaderTest, ValidatesTheHeaderLine)
{
    const HeaderRow& row = GetParam();
    const std::string document = "START\r\n" + row.headerLine + "\r\nCAAAA\r\n" + row.crcLine + "\r\nEND\r\n";
    const HeaderResult result = ReadHeader(TextLines(document));
    EXPECT_EQ(result.refusal, row.refusal) << row.headerLine;
    if (row.refusal == Refusal::InvalidHeader) return;
    EXPECT_EQ(result.header.headerLine, 1);
    EXPECT_EQ(result.header.crcLine, 3);
    EXPECT_EQ(result.header.version, row.expected.version);
    EXPECT_EQ(result.header.method, row.expected.method);
    EXPECT_EQ(result.header.phraseLength, row.expected.phraseLength);
    EXPECT_EQ(result.header.textLength, row.expected.textLength);
    EXPECT_EQ(result.header.storedCrc, row.expected.storedCrc);
}

BlockHeader Fields(std::int32_t version, std::int32_t method, std::int32_t p, std::int32_t l, std::int32_t crc)
{
    BlockHeader header;
    header.version = version;
    header.method = method;
    header.phraseLength = p;
    header.textLength = l;
    header.storedCrc = crc;
    return header;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadHeaderTest,
    testing::Values(HeaderRow{"MuS/0120/01/0/1", "MuS/209", std::nullopt, Fields(120, 1, 0, 1, 209)},
                    HeaderRow{"MuS/0120/1/0/1", "MuS/209", Refusal::InvalidHeader, {}},
                    HeaderRow{"MuS/0120/01/0/1/", "MuS/209", Refusal::InvalidHeader, {}},
                    HeaderRow{"MuS/0120/01/0/1/2", "MuS/1", Refusal::InvalidHeader, {}},
                    HeaderRow{"MuS/0120/01/0123456", "MuS/1", Refusal::InvalidHeader, {}},
                    HeaderRow{"MuS/0120/01/0/12  ", "MuS/5", std::nullopt, Fields(120, 1, 0, 12, 5)},
                    HeaderRow{"MuS/0120/01/16/22528", "MuS/123456", std::nullopt, Fields(120, 1, 16, 22528, 123456)},
                    HeaderRow{"MuS/0130/02/1/3", "MuS/882", std::nullopt, Fields(130, 2, 1, 3, 882)},
                    HeaderRow{"MuS/0140/03/1/3", "MuS/882", Refusal::UnsupportedMethod, Fields(140, 3, 1, 3, 882)},
                    HeaderRow{"MuS/9999/01/0/3", "MuS/882", std::nullopt, Fields(9999, 1, 0, 3, 882)},
                    HeaderRow{"MuS/0120/-1/0/3", "MuS/882", std::nullopt, Fields(120, -1, 0, 3, 882)},
                    HeaderRow{"MuS/0120/00/x/y", "MuS/", std::nullopt, Fields(120, 0, 0, 0, 0)},
                    HeaderRow{"MuS/abcd/01/0/3", "MuS/ 882  ", std::nullopt, Fields(0, 1, 0, 3, 882)},
                    HeaderRow{"MuS/0120/01/0/-3", "MuS/882", Refusal::InvalidHeader, {}},
                    HeaderRow{"MuS/0120/01/0/-3 ", "MuS/882", std::nullopt, Fields(120, 1, 0, 3, 882)},
                    HeaderRow{"MuS/0120/01/0/2000000000", "MuS/-5", std::nullopt, Fields(120, 1, 0, 2000000000, -5)}));

TEST(RefusalMessageTest, MessagesAreTheCommandsTexts)
{
    BlockHeader header;
    header.version = 130;
    EXPECT_EQ(RefusalMessage(Refusal::EmptyDocument, header), "There is no text to decrypt.");
    EXPECT_EQ(RefusalMessage(Refusal::NoHeaderAndFooter, header),
              "The header and footer lines are not present.  This text does not appear to be encrypted.");
    EXPECT_EQ(RefusalMessage(Refusal::InvalidHeader, header),
              "The header line is not valid.  Unable to decrypt this text.");
    EXPECT_EQ(RefusalMessage(Refusal::UnsupportedMethod, header),
              "Cannot handle the encryption method used to encrypt this text.  Try using Murmurscript version 1.30.");
    EXPECT_EQ(RefusalMessage(Refusal::Damaged, header),
              "The encrypted text is damaged or was altered.  Unable to decrypt this text.");
    EXPECT_EQ(RefusalMessage(Refusal::PhraseCancelled, header), "");
}

// ---------------------------------------------------------------- outcomes

const std::string kText = "Attack at dawn.\r\nBring the \xE9quipe.\r\n"; // 36 bytes: 12 groups
const std::string kPhrase = "KEY";

std::vector<std::string> Lines(std::string_view text = kText, std::string_view phrase = kPhrase,
                               std::int32_t method = kMethod01)
{
    return BlockLines(text, phrase, method);
}

template <typename Edit>
std::string Edited(Edit edit, std::string_view text = kText, std::string_view phrase = kPhrase)
{
    auto lines = Lines(text, phrase);
    edit(lines);
    return JoinLines(lines);
}

struct OutcomeRow {
    const char* name;
    std::string document;
    std::vector<std::optional<std::string>> answers;
    std::vector<bool> retries;
    std::optional<Refusal> refusal;
    std::string text;
    bool endedEarly = false;
    bool crcMissing = false;
    bool crcDiffers = false;
    int asked = 0;
    int mismatches = 0;
};

void PrintTo(const OutcomeRow& row, std::ostream* os)
{
    *os << row.name;
}

class ReadOutcomeTest : public testing::TestWithParam<OutcomeRow> {};

TEST_P(ReadOutcomeTest, GivesTheReadingOutcome)
{
    const OutcomeRow& row = GetParam();
    const TextLines lines(row.document);
    ScriptedPrompt prompt(row.answers, row.retries);
    const ReadOutcome outcome = ReadArmouredBlock(lines, prompt);
    EXPECT_EQ(outcome.refusal, row.refusal);
    EXPECT_EQ(prompt.asked, row.asked);
    EXPECT_EQ(prompt.mismatches, row.mismatches);
    if (outcome.refusal) return;
    EXPECT_EQ(outcome.decoded.text, row.text);
    EXPECT_EQ(outcome.decoded.endedEarly, row.endedEarly);
    EXPECT_EQ(outcome.decoded.crcMissing, row.crcMissing);
    EXPECT_EQ(outcome.decoded.crcDiffers, row.crcDiffers);
}

// clang-format off
std::vector<OutcomeRow> OutcomeRows()
{
    const std::vector<std::optional<std::string>> key{kPhrase};
    std::vector<OutcomeRow> rows;
    rows.push_back({"empty document", "", {}, {}, Refusal::EmptyDocument, ""});
    rows.push_back({"only line breaks", "\r\n\r\n", {}, {}, Refusal::NoHeaderAndFooter, ""});
    rows.push_back({"one tagged line", "MuS/0120/01/0/3\r\nCx2uq\r\n", {}, {}, Refusal::NoHeaderAndFooter, ""});
    rows.push_back({"tag in other case", "MUS/0120/01/0/3\r\nCx2uq\r\nMUS/882\r\n", {}, {},
                    Refusal::NoHeaderAndFooter, ""});
    rows.push_back({"quoted block", Edited([](auto& l) { for (auto& s : l) s = "> " + s; }), {}, {},
                    Refusal::NoHeaderAndFooter, ""});
    rows.push_back({"indented block", Edited([](auto& l) { for (auto& s : l) s = "    " + s; }), {}, {},
                    Refusal::NoHeaderAndFooter, ""});
    rows.push_back({"header too short", "MuS/0120/1/0/1\r\nCEAqq\r\nMuS/209\r\n", {}, {}, Refusal::InvalidHeader, ""});
    rows.push_back({"negative text length", "MuS/0120/01/0/-1\r\nCEAqq\r\nMuS/209\r\n", {}, {},
                    Refusal::InvalidHeader, ""});
    rows.push_back({"method 02 over another body", Edited([](auto& l) { l[1] = "MuS/0130/02/3/36"; }), {}, {},
                    Refusal::Damaged, ""});
    rows.push_back({"method 03", Edited([](auto& l) { l[1] = "MuS/0140/03/3/36"; }), {}, {},
                    Refusal::UnsupportedMethod, ""});
    rows.push_back({"well formed", Block(kText, kPhrase), key, {}, std::nullopt, kText, false, false, false, 1});
    rows.push_back({"no phrase, no prompt", Block(kText, ""), {}, {}, std::nullopt, kText});
    rows.push_back({"method 00", Block(kText, kPhrase, kMethod00), key, {}, std::nullopt, kText, false, false,
                    false, 1});
    rows.push_back({"prompt cancelled", Block(kText, kPhrase), {std::nullopt}, {}, Refusal::PhraseCancelled, "",
                    false, false, false, 1});
    rows.push_back({"wrong phrase then cancel", Block(kText, kPhrase), {"KEX"}, {false}, Refusal::PhraseCancelled,
                    "", false, false, false, 1, 1});
    rows.push_back({"short phrase, retry, right phrase", Block(kText, kPhrase), {"KE", "KEY"}, {true},
                    std::nullopt, kText, false, false, false, 2, 1});
    rows.push_back({"retry then give up at the prompt", Block(kText, kPhrase), {"ABC", std::nullopt}, {true},
                    Refusal::PhraseCancelled, "", false, false, false, 2, 1});
    rows.push_back({"phrase length 17 can only be given up",
                    Edited([](auto& l) { l[1] = "MuS/0120/01/17/36"; }), {"KEY", std::string(16, 'K')},
                    {true, false}, Refusal::PhraseCancelled, "", false, false, false, 2, 2});
    rows.push_back({"first body line too short for the phrase groups",
                    Edited([](auto& l) { l[2].resize(4); }, kText, "SIXTEEN CHARS OK"),
                    {"SIXTEEN CHARS OK"}, {false}, Refusal::PhraseCancelled, "", false, false, false, 1, 1});
    rows.push_back({"no START and END lines", Edited([](auto& l) { l.erase(l.begin()); l.pop_back(); }), key, {},
                    std::nullopt, kText, false, false, false, 1});
    rows.push_back({"text around the block", "Dear Bob,\r\n" + Block(kText, kPhrase) + "Regards\r\n", key, {},
                    std::nullopt, kText, false, false, false, 1});
    rows.push_back({"two blocks decode the first", Block(kText, kPhrase) + Block("other", ""), key, {},
                    std::nullopt, kText, false, false, false, 1});
    rows.push_back({"version 9999", Edited([](auto& l) { l[1] = "MuS/9999/01/3/36"; }), key, {}, std::nullopt,
                    kText, false, false, false, 1});
    rows.push_back({"CRC line without a number", Edited([](auto& l) { l[l.size() - 2] = "MuS/"; }), key, {},
                    std::nullopt, kText, false, true, false, 1});
    rows.push_back({"text length 0, CRC differs", Edited([](auto& l) { l[1] = "MuS/0120/01/3/0"; }), key, {},
                    std::nullopt, "", false, false, true, 1});
    rows.push_back({"text length 0, CRC 0",
                    Edited([](auto& l) { l[1] = "MuS/0120/01/3/0"; l[l.size() - 2] = "MuS/0"; }), key,
                    {}, std::nullopt, "", false, true, false, 1});
    rows.push_back({"text length 4 reads two groups", Edited([](auto& l) { l[1] = "MuS/0120/01/3/4"; }), key, {},
                    std::nullopt, kText.substr(0, 4), false, false, true, 1});
    rows.push_back({"body line cut in the text groups", Edited([](auto& l) { l[2].resize(1 + 4 * 7 + 2); }), key,
                    {}, std::nullopt, kText.substr(0, 18), true, false, false, 1});
    rows.push_back({"first character of a body line changed and text after the 65th",
                    Edited([](auto& l) { l[2][0] = 'X'; l[2] += "trailing noise"; }), key, {}, std::nullopt, kText,
                    false, false, false, 1});
    rows.push_back({"huge text length ends early at the CRC line",
                    Edited([](auto& l) { l[1] = "MuS/0120/01/3/2000000000"; }, kText + "!"), key, {},
                    std::nullopt, kText + "!", true, false, false, 1});
    // A full first body line (6 phrase groups, 10 text groups), then the CRC
    // line: a header that asks for more groups ends at the CRC line, which
    // is never read as a body line, nor is the END line after it.
    rows.push_back({"the CRC line is no body line",
                    Edited([](auto& l) { l[1] = "MuS/0120/01/16/60"; }, std::string(30, 't'), "SIXTEEN CHARS OK"),
                    {"SIXTEEN CHARS OK"}, {}, std::nullopt, std::string(30, 't'), true, false, false, 1});
    rows.push_back({"no body line at all", "MuS/0120/01/0/3\r\nMuS/882\r\nCx2uq\r\n", {}, {}, std::nullopt, "", true});
    rows.push_back({"negative method decodes zero groups", "MuS/0120/-1/0/3\r\nCx2uq\r\nMuS/882\r\n", {}, {},
                    std::nullopt, "", false, false, true});
    return rows;
}
// clang-format on

INSTANTIATE_TEST_SUITE_P(Documents, ReadOutcomeTest, testing::ValuesIn(OutcomeRows()));

TEST(ReadOutcomeTest, ChangedCharacterGivesWrongBytesInThatTripleOnly)
{
    const std::string document = Edited([](auto& l) { l[2][5] = l[2][5] == 'A' ? 'B' : 'A'; });
    ScriptedPrompt prompt({kPhrase}, {});
    const ReadOutcome outcome = ReadArmouredBlock(TextLines(document), prompt);
    ASSERT_FALSE(outcome.refusal);
    // The phrase group stands at 2..5; position 6 starts the first text group.
    EXPECT_TRUE(outcome.decoded.crcDiffers);
    EXPECT_EQ(outcome.decoded.text.substr(3), kText.substr(3));
    EXPECT_NE(outcome.decoded.text.substr(0, 3), kText.substr(0, 3));
}

TEST(ReadOutcomeTest, DecodedZeroByteEndsTheText)
{
    // Replace the second text group by the group whose bytes XOR to "x", 0, "y".
    auto lines = Lines("abcdefghi", "");
    KeystreamGenerator generator;
    generator.Seed(0);
    for (int i = 0; i < 3; ++i) generator.Draw(256);
    const std::uint8_t k3 = generator.Draw(256), k4 = generator.Draw(256), k5 = generator.Draw(256);
    const Quad quad = EncodeGroup({static_cast<std::uint8_t>('x' ^ k3), k4, static_cast<std::uint8_t>('y' ^ k5)},
                                  kMethod01);
    lines[2].replace(5, 4, quad.data(), 4);
    ScriptedPrompt prompt({}, {});
    const std::string document = JoinLines(lines);
    const ReadOutcome outcome = ReadArmouredBlock(TextLines(document), prompt);
    ASSERT_FALSE(outcome.refusal);
    EXPECT_EQ(outcome.decoded.text, "abcx");
    EXPECT_TRUE(outcome.decoded.crcDiffers);
}

TEST(ReadOutcomeTest, ZeroCrcBlockIsReadAsMissingCrc)
{
    KeystreamGenerator generator;
    generator.Seed(PhraseSeed("A"));
    std::string text;
    for (int i = 0; i < 3; ++i) text += static_cast<char>(generator.Draw(256));
    ScriptedPrompt prompt({"A"}, {});
    const std::string document = Block(text, "A");
    const ReadOutcome outcome = ReadArmouredBlock(TextLines(document), prompt);
    ASSERT_FALSE(outcome.refusal);
    EXPECT_TRUE(outcome.decoded.crcMissing);
    EXPECT_FALSE(outcome.decoded.crcDiffers);
}

TEST(DecodeTextTest, CrcOverflowOfACraftedBodyRaisesIntegerOverflow)
{
    // Every "~~~~" group of Method 00 adds 1530; 1,403,585 of them pass 2^31 - 1.
    std::string document = "MuS/0120/00/0/2000000000\r\n";
    const std::string full = "C" + std::string(64, '~') + "\r\n";
    const int lineCount = 1403585 / 16 + 1;
    document.reserve(document.size() + full.size() * lineCount + 16);
    for (int i = 0; i < lineCount; ++i) document += full;
    document += "MuS/1\r\n";
    const TextLines lines(document);
    const HeaderResult header = ReadHeader(lines);
    ASSERT_FALSE(header.refusal);
    try {
        DecodeText(lines, header.header, "");
        FAIL() << "no overflow reported";
    } catch (const IntegerOverflow& failure) {
        EXPECT_STREQ(failure.what(), "Integer overflow");
    }
}

TEST(DecodeTextTest, TakesNoRoomForGroupsThatAreNeverDecoded)
{
    // A header that claims 2,000,000,000 characters over 200,000 lines that
    // hold no group: the reading ends at the first of them, and the text keeps
    // no room for the 3.2 million groups those lines could have held.
    std::string document = "MuS/0120/01/0/2000000000\r\n";
    for (int i = 0; i < 200000; ++i) document += "C\r\n";
    document += "MuS/1\r\n";
    const TextLines lines(document);
    const HeaderResult header = ReadHeader(lines);
    ASSERT_FALSE(header.refusal);
    const DecodedText decoded = DecodeText(lines, header.header, "");
    EXPECT_TRUE(decoded.endedEarly);
    EXPECT_EQ(decoded.text, "");
    EXPECT_LT(decoded.text.capacity(), std::size_t{1} << 20);
}

TEST(PhraseMatchesTest, ChecksTheStoredPhraseGroups)
{
    const std::string document = Block(kText, "PASSWORD");
    const TextLines lines(document);
    const HeaderResult header = ReadHeader(lines);
    ASSERT_FALSE(header.refusal);
    EXPECT_TRUE(PhraseMatches(lines, header.header, "PASSWORD"));
    EXPECT_FALSE(PhraseMatches(lines, header.header, "PASSWORE"));
    EXPECT_FALSE(PhraseMatches(lines, header.header, "PASSWOR"));
    EXPECT_FALSE(PhraseMatches(lines, header.header, "password"));
    EXPECT_FALSE(PhraseMatches(lines, header.header, ""));
}

TEST(PhraseMatchesTest, NeverReadsThePhraseGroupsFromTheCrcLine)
{
    // Find a one-byte phrase and a character c such that the group "uS/" + c,
    // which a CRC line "MuS/" + c... holds at positions 2 to 5, is that
    // phrase's stored group.
    std::optional<std::pair<char, char>> found;
    for (const char c : kMethod01Alphabet) {
        const std::string four = std::string("uS/") + c;
        const Triple triple = DecodeGroup(four.data(), kMethod01);
        for (int b = 1; b < 256 && !found; ++b) {
            KeystreamGenerator generator;
            generator.Seed(PhraseSeed(std::string(1, static_cast<char>(b))));
            if ((triple[0] ^ generator.Draw(256)) == static_cast<std::uint32_t>(b)) found = {static_cast<char>(b), c};
        }
        if (found) break;
    }
    ASSERT_TRUE(found);
    const std::string phrase(1, found->first);

    // On a body line the group is the phrase's (its first character is never looked at) ...
    const std::string body = std::string("MuS/0120/01/1/3\r\nXuS/") + found->second + "\r\nMuS/1\r\n";
    const TextLines bodyLines(body);
    const HeaderResult bodyHeader = ReadHeader(bodyLines);
    ASSERT_FALSE(bodyHeader.refusal);
    EXPECT_TRUE(PhraseMatches(bodyLines, bodyHeader.header, phrase));

    // ... but the CRC line right below the header is no body line.
    const std::string crc = std::string("MuS/0120/01/1/3\r\nMuS/") + found->second + "\r\n";
    const TextLines crcLines(crc);
    const HeaderResult crcHeader = ReadHeader(crcLines);
    ASSERT_FALSE(crcHeader.refusal);
    EXPECT_FALSE(PhraseMatches(crcLines, crcHeader.header, phrase));
}

// ------------------------------------------------------------- round trips

TEST(RoundTripTest, RandomTextsAndPhrasesInBothMethods)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(1, 255);
    std::vector<std::size_t> lengths{1, 2, 3, 4, 5, 47, 48, 49, 22526, 22527, 22528};
    std::uniform_int_distribution<std::size_t> anyLength(1, 22528);
    std::uniform_int_distribution<std::size_t> shortLength(1, 300);
    for (int i = 0; i < 40; ++i) lengths.push_back(i % 2 ? anyLength(random) : shortLength(random));

    for (std::size_t n = 0; n < lengths.size(); ++n) {
        const std::size_t length = lengths[n];
        const std::string text = RandomText(random, length);
        std::string phrase;
        const std::size_t phraseLength = n % 17;
        while (phrase.size() < phraseLength) phrase += static_cast<char>(byte(random));

        for (const std::int32_t method : {kMethod00, kMethod01}) {
            // Written with the phrase folded, as every entry gives it.
            const std::string document = Block(text, FoldPhrase(phrase), method);
            ScriptedPrompt prompt({phrase}, {});
            const ReadOutcome outcome = ReadArmouredBlock(TextLines(document), prompt);
            ASSERT_FALSE(outcome.refusal) << length;
            EXPECT_EQ(outcome.decoded.text, text) << "length " << length << " method " << method;
            EXPECT_FALSE(outcome.decoded.endedEarly);
            EXPECT_FALSE(outcome.decoded.crcDiffers);
            EXPECT_EQ(prompt.asked, phraseLength > 0 ? 1 : 0);
        }
    }
}

} // namespace
} // namespace mus
