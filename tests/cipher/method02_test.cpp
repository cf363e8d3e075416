#include "cipher/method02.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "cipher/messages.h"
#include "test_support.h"

namespace mus {
namespace {

using test::ScriptedPrompt;

constexpr std::string_view kPhrase = "CORRECT HORSE";
constexpr std::string_view kText = "Meet at dawn.";

// Counts key derivations while it lives.
struct Derivations {
    int count = 0;
    Derivations()
    {
        SetDerivationObserver([this] { ++count; });
    }
    ~Derivations() { SetDerivationObserver({}); }
};

// 00 01 02 ... and 20 21 22 ...: the salt and nonce of the known answers.
template <typename Bytes>
Bytes Counting(std::uint8_t first)
{
    Bytes bytes;
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}
const Salt kSalt = Counting<Salt>(0x00);

std::string Sealed(std::string_view text, const SealingKey& key, const Nonce& nonce = Counting<Nonce>(0x20))
{
    std::vector<std::string> lines;
    WriteMethod02Block(text, key, nonce, [&](std::string_view line) { lines.emplace_back(line); });
    return test::JoinLines(lines);
}

std::string Hex(std::span<const std::uint8_t> bytes)
{
    std::string hex;
    for (const std::uint8_t b : bytes) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

ReadOutcome Read(const std::string& document, ScriptedPrompt& prompt)
{
    return ReadArmouredBlock(TextLines(document), prompt);
}

// The right phrase once; a mismatch is not retried.
ScriptedPrompt Once()
{
    return ScriptedPrompt({std::string(kPhrase)}, {false});
}

struct KnownAnswer {
    Costs costs;
    std::string key, check, body;
    std::int32_t crc;
};

class KnownAnswerTest : public testing::TestWithParam<KnownAnswer> {};

TEST_P(KnownAnswerTest, MatchesByteForByte)
{
    const SealingKey key(kPhrase, kSalt, GetParam().costs);
    EXPECT_EQ(Hex(key.AeadKey()), GetParam().key);
    EXPECT_EQ(Hex(key.Check()), GetParam().check);
    EXPECT_EQ(Sealed(kText, key), test::JoinLines({std::string(kStartLine), "MuS/0130/02/1/13", GetParam().body,
                                                   "MuS/" + std::to_string(GetParam().crc), std::string(kEndLine)}));
}

// The default costs once, as the only slow case.
INSTANTIATE_TEST_SUITE_P(
    Vectors, KnownAnswerTest,
    testing::Values(KnownAnswer{kMinimumCosts, "0b9f3dcfe3e0cc923240781086867d75559bc98c1f0046755490fec3b6cebc79",
                                "81c0211f",
                                "CAYCaAQCAaIIbBAODBYUebQ0GEJAheBGReZMsFRSUfJYvGB8XGzEygrK0YEC3dy8q\r\n"
                                "CQ03StkFfF87iVy8yfDvrmURHlt2w-bhW50DMEBaa",
                                10562},
                    KnownAnswer{kDefaultCosts, "ff93ad7cb3cd8bf71a5363563325674297363ed99835ceb3990ed6e18c2cc313",
                                "cb5446da",
                                "CCAGaAQCAaIIbBAODBYUebQ0GEJAheBGReZMsFRSUfJYvGB8XGzEygrK0kGW3wguD\r\n"
                                "Cxk5Ql2PtUCsLvKKK2MCrGbTs0QoDp7cP-nyZEBAu",
                                11332}));

TEST(Method02Test, RandomTextsAndPhrasesRoundTrip)
{
    std::mt19937 random(20261207);
    std::vector<std::size_t> lengths{1, 2, 3, 47, 48, 49, 22528};
    for (int i = 0; i < 8; ++i) lengths.push_back(std::uniform_int_distribution<std::size_t>(1, 22528)(random));
    for (const std::size_t length : lengths) {
        const std::string text = test::RandomText(random, length);
        const std::string phrase = test::RandomText(random, 1 + length % kMethod02PhraseLimit);
        const SealingKey key(phrase, kMinimumCosts);
        ScriptedPrompt prompt({phrase}, {});
        const ReadOutcome outcome = Read(Sealed(text, key), prompt);
        ASSERT_FALSE(outcome.refusal) << length;
        EXPECT_EQ(outcome.decoded.text, text);
    }
    // Every block draws its own salt and nonce.
    const SealingKey first(kPhrase, kMinimumCosts), second(kPhrase, kMinimumCosts);
    EXPECT_NE(first.KeySalt(), second.KeySalt());
    std::vector<std::string> a, b;
    WriteMethod02Block(kText, first, [&](std::string_view l) { a.emplace_back(l); });
    WriteMethod02Block(kText, first, [&](std::string_view l) { b.emplace_back(l); });
    EXPECT_NE(a[2].substr(25, 32), b[2].substr(25, 32)); // nonce groups
    EXPECT_THROW(SealingKey(std::string(65, 'A'), kMinimumCosts), std::invalid_argument);
}

// The key and its check end where a page ends: guarded memory of their own,
// with an inaccessible page after them, not a member on the stack.
TEST(Method02Test, KeyLivesInGuardedMemory)
{
    const SealingKey key(kPhrase, kSalt, kMinimumCosts);
    const auto end = reinterpret_cast<std::uintptr_t>(key.AeadKey().data()) + kKeySize + kCheckSize;
    EXPECT_EQ(end % static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE)), 0u);
    EXPECT_EQ(key.Check().data(), key.AeadKey().data() + kKeySize);
}

// The body bytes of the block of kText under `key` (the known-answer block
// for kPhrase), and a block made from changed ones.
std::vector<std::uint8_t> BodyBytes(const SealingKey& key)
{
    const std::string document = Sealed(kText, key);
    const TextLines lines(document);
    const SealedRead read = ReadSealedBlock(lines, ReadHeader(lines).header);
    const SealedBlock& b = read.block;
    std::vector<std::uint8_t> bytes{kSuite, b.costs.passes, b.costs.memoryLog2};
    bytes.insert(bytes.end(), b.salt.begin(), b.salt.end());
    bytes.insert(bytes.end(), b.nonce.begin(), b.nonce.end());
    bytes.insert(bytes.end(), b.check.begin(), b.check.end());
    bytes.insert(bytes.end(), b.sealed.begin(), b.sealed.end());
    return bytes;
}

std::vector<std::uint8_t> KnownBytes()
{
    return BodyBytes(SealingKey(kPhrase, kSalt, kMinimumCosts));
}

std::string Assemble(std::vector<std::uint8_t> bytes, bool crcRight, const std::string& header = "MuS/0130/02/1/13")
{
    while (bytes.size() % 3 != 0) bytes.push_back(' ');
    std::string document = header + "\r\n", line = "C";
    std::int32_t crc = crcRight ? 0 : 1;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        if (line.size() == 65) document += line + "\r\n", line = "C";
        const Quad group = EncodeGroup({bytes[i], bytes[i + 1], bytes[i + 2]}, kMethod01);
        line.append(group.data(), 4);
        crc += bytes[i] + 2 * bytes[i + 1] + 3 * bytes[i + 2];
    }
    return document + line + "\r\nMuS/" + std::to_string(crc) + "\r\n";
}

enum class Expect { Text, DamagedUnasked, Damaged, Mismatch };

// What a changed body byte gives, the CRC line made to match or not.
struct ByteRow {
    const char* name;
    std::size_t from, to;
    std::uint8_t flip;
    Expect crcRight, crcWrong;
};

class ChangedByteTest : public testing::TestWithParam<ByteRow> {};

TEST_P(ChangedByteTest, NeverReleasesText)
{
    const ByteRow& row = GetParam();
    const std::vector<std::uint8_t> known = KnownBytes();
    for (std::size_t at = row.from; at < std::min(row.to, known.size()); ++at) {
        for (const bool crcRight : {true, false}) {
            std::vector<std::uint8_t> bytes = known;
            bytes[at] ^= row.flip;
            const Derivations derived;
            ScriptedPrompt prompt = Once();
            const ReadOutcome outcome = Read(Assemble(bytes, crcRight), prompt);
            const Expect expect = crcRight ? row.crcRight : row.crcWrong;
            SCOPED_TRACE(testing::Message() << "byte " << at << (crcRight ? ", CRC right" : ", CRC wrong"));
            EXPECT_EQ(outcome.refusal, expect == Expect::Mismatch ? Refusal::PhraseCancelled : Refusal::Damaged);
            EXPECT_EQ(outcome.decoded.text, "");
            EXPECT_EQ(prompt.asked, expect == Expect::DamagedUnasked ? 0 : 1);
            EXPECT_EQ(derived.count, prompt.asked);
            EXPECT_EQ(prompt.mismatches, expect == Expect::Mismatch ? 1 : 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Body, ChangedByteTest,
    testing::Values(ByteRow{"suite", 0, 1, 0x01, Expect::DamagedUnasked, Expect::DamagedUnasked},
                    ByteRow{"passes within bounds", 1, 2, 0x02, Expect::Mismatch, Expect::Damaged},
                    ByteRow{"passes out of bounds", 1, 2, 0x01, Expect::DamagedUnasked, Expect::DamagedUnasked},
                    ByteRow{"memory within bounds", 2, 3, 0x04, Expect::Mismatch, Expect::Damaged},
                    ByteRow{"memory out of bounds", 2, 3, 0x01, Expect::DamagedUnasked, Expect::DamagedUnasked},
                    ByteRow{"salt", 3, 19, 0x01, Expect::Mismatch, Expect::Damaged},
                    ByteRow{"nonce", 19, 43, 0x80, Expect::Damaged, Expect::Damaged},
                    ByteRow{"check", 43, 47, 0x10, Expect::Mismatch, Expect::Damaged},
                    ByteRow{"sealed text and tag", 47, 76, 0x01, Expect::Damaged, Expect::Damaged}),
    [](const testing::TestParamInfo<ByteRow>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

TEST(Method02Test, EveryCharacterOfEveryGroupCounts)
{
    const std::string block = Assemble(KnownBytes(), true);
    const std::size_t body = block.find("\r\nC") + 3;
    for (std::size_t at = body; at < block.rfind("\r\nMuS/"); ++at) {
        if (block[at] == '\r' || block[at] == '\n' || block[at - 1] == '\n') continue; // breaks and the "C"s
        for (const char other : {block[at] == 'A' ? 'B' : 'A', '*'}) {
            std::string changed = block;
            changed[at] = other;
            ScriptedPrompt prompt = Once();
            const ReadOutcome outcome = Read(changed, prompt);
            ASSERT_TRUE(outcome.refusal) << at << other;
            EXPECT_EQ(outcome.decoded.text, "");
            EXPECT_TRUE(other != '*' || prompt.asked == 0) << at;
        }
    }
}

struct DocumentRow {
    const char* name;
    std::string document;
    std::optional<Refusal> refusal;
    int asked;
    std::string message = {};
};

void PrintTo(const DocumentRow& row, std::ostream* os)
{
    *os << row.name;
}

class SealedDocumentTest : public testing::TestWithParam<DocumentRow> {};

TEST_P(SealedDocumentTest, ReadsOrRefuses)
{
    const Derivations derived;
    ScriptedPrompt prompt = Once();
    const ReadOutcome outcome = Read(GetParam().document, prompt);
    EXPECT_EQ(outcome.refusal, GetParam().refusal);
    EXPECT_EQ(prompt.asked, GetParam().asked);
    EXPECT_EQ(derived.count, GetParam().asked);
    if (outcome.refusal) EXPECT_EQ(outcome.decoded.text, "");
    else EXPECT_EQ(outcome.decoded.text, kText);
    if (!GetParam().message.empty()) {
        EXPECT_EQ(RefusalMessage(*outcome.refusal, outcome.header), GetParam().message);
    }
}

std::string Edit(std::string text, std::string_view what, std::string_view with)
{
    return text.replace(text.find(what), what.size(), with);
}

// clang-format off
std::vector<DocumentRow> DocumentRows()
{
    const std::vector<std::uint8_t> bytes = KnownBytes();
    const std::string good = Assemble(bytes, true);
    const std::size_t last = good.rfind("\r\nC") + 2;
    const std::string lastLine = good.substr(last, good.find("\r\n", last) - last);
    const Quad pad = EncodeGroup({bytes[75], 0x20, 0x21}, kMethod01);
    std::vector<DocumentRow> rows = {
        {"well formed", good, std::nullopt, 1},
        {"blanks after the text length", Edit(good, "/13", "/13   "), std::nullopt, 1},
        {"text length changed", Edit(good, "/13", "/12"), Refusal::Damaged, 1},
        {"version changed", Edit(good, "0130", "0131"), Refusal::Damaged, 1},
        {"version above 9999", Edit(good, "0130", "10130"), Refusal::Damaged, 0},
        {"phrase field changed", Edit(good, "/1/13", "/2/13"), Refusal::Damaged, 0},
        {"text length above the limit", Edit(good, "/13", "/22529"), Refusal::Damaged, 0},
        {"method 03", Edit(good, "0130/02", "0140/03"), Refusal::UnsupportedMethod, 0,
         std::string(msg::kUnsupportedMethodPrefix) + "1.40."},
        {"last body line missing", Edit(good, lastLine + "\r\n", ""), Refusal::Damaged, 0},
        {"last group cut", Edit(good, lastLine, lastLine.substr(0, 40)), Refusal::Damaged, 0},
        {"CRC line moved up", Edit(good, lastLine, "MuS/1\r\n" + lastLine), Refusal::Damaged, 0},
        {"pad byte not a blank", Edit(good, lastLine, lastLine.substr(0, 37) + std::string(pad.data(), 4)),
         Refusal::Damaged, 0},
    };
    std::vector<std::uint8_t> later = bytes;
    later[0] = 2;
    rows.push_back({"later suite of a later version", Assemble(later, true, "MuS/0140/02/1/13"),
                    Refusal::UnsupportedMethod, 0, std::string(msg::kUnsupportedMethodPrefix) + "1.40."});
    for (const Costs hostile : {Costs{0, 3}, Costs{4, 3}, Costs{255, 3}, Costs{1, 2}, Costs{1, 19}, Costs{1, 24},
                                Costs{1, 255}}) {
        std::vector<std::uint8_t> costly = bytes;
        costly[1] = hostile.passes;
        costly[2] = hostile.memoryLog2;
        rows.push_back({"hostile costs", Assemble(costly, true), Refusal::Damaged, 0});
    }
    // Another phrase's block whose check happens to be kPhrase's: damaged.
    std::vector<std::uint8_t> lucky = BodyBytes(SealingKey("OTHER", kSalt, kMinimumCosts));
    std::copy(bytes.begin() + 43, bytes.begin() + 47, lucky.begin() + 43);
    rows.push_back({"wrong phrase matching the check", Assemble(lucky, true), Refusal::Damaged, 1});
    return rows;
}
// clang-format on

INSTANTIATE_TEST_SUITE_P(Documents, SealedDocumentTest, testing::ValuesIn(DocumentRows()));

TEST(Method02Test, PhraseAttempts)
{
    const std::string block = Assemble(KnownBytes(), true);
    const Derivations derived;
    // An empty entry is a wrong phrase that costs no derivation; a retry then succeeds.
    ScriptedPrompt prompt({std::string(), std::string(kPhrase)}, {true});
    ReadOutcome outcome = Read(block, prompt);
    EXPECT_EQ(outcome.decoded.text, kText);
    EXPECT_EQ(prompt.mismatches, 1);
    EXPECT_EQ(derived.count, 1);
    // A reader of Methods 00 and 01 alone names the version to use.
    const TextLines lines(block);
    const HeaderResult old = ReadHeader(lines, kMethod01);
    EXPECT_EQ(RefusalMessage(*old.refusal, old.header), std::string(msg::kUnsupportedMethodPrefix) + "1.30.");
    EXPECT_TRUE(IsEncryptedText(lines));
    // The method field changed to 00 or 01: the old reader, which makes no claim.
    for (const char* method : {"/00/", "/01/"}) {
        ScriptedPrompt once = Once();
        outcome = Read(Edit(block, "/02/", method), once);
        EXPECT_TRUE(outcome.refusal || outcome.decoded.crcDiffers || outcome.decoded.endedEarly) << method;
    }
}

} // namespace
} // namespace mus
