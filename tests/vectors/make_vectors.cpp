// Writes the test vectors: every NAME.txt (a document) with NAME.json (what
// a reader must make of it) into the directory given on the command line.
//
//   make_vectors DIRECTORY
//
// The documents are built with the block writers at fixed salts and nonces,
// then damaged, quoted or rewrapped as mail and chat do; the expectations are
// written here by hand, never taken from a reader. The files committed under
// tests/vectors/ are what the tests read; this tool only remakes them.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/group_codec.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/phrase.h"
#include "cipher/utf8.h"

namespace mus {
namespace {

using Lines = std::vector<std::string>;

// ------------------------------------------------------------ documents

Lines LegacyLines(std::string_view text, std::string_view phrase, std::int32_t method)
{
    Lines lines;
    WriteArmouredBlock(text, FoldPhrase(phrase), method, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

template <typename Bytes>
Bytes Counting(std::uint8_t first)
{
    Bytes bytes;
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

// A Method 02 block at the least costs the reader takes, salt 00 01 02 ...
// plus `seed` and nonce 20 21 22 ... plus `seed`; the phrase as typed is
// folded as version 1.30 folds it (a suite-1 block).
Lines SealedLines(std::string_view text, std::string_view phrase, std::uint8_t seed = 0)
{
    const SealingKey key(FoldPhrase(phrase), Counting<Salt>(seed), kMinimumCosts);
    Lines lines;
    WriteMethod02Block(text, key, Counting<Nonce>(static_cast<std::uint8_t>(0x20 + seed)),
                       [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string Join(const Lines& lines, std::string_view lineBreak = "\r\n")
{
    std::string out;
    for (const std::string& line : lines) out.append(line).append(lineBreak);
    return out;
}

// The body bytes of a block's lines (between the header and CRC lines).
std::vector<std::uint8_t> BodyBytes(const Lines& block)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 2; i + 2 < block.size(); ++i)
        for (std::size_t at = 1; at + 4 <= block[i].size(); at += 4)
            for (const std::uint8_t b : DecodeGroup(block[i].data() + at, kMethod01)) bytes.push_back(b);
    return bytes;
}

// The block with its body made from `bytes` (a whole number of groups) in
// the Method 01 alphabet; the CRC line made to match unless `crcRight` is
// false, when it is one more.
Lines WithBody(const Lines& block, const std::vector<std::uint8_t>& bytes, bool crcRight = true)
{
    Lines out{block[0], block[1]};
    std::string line = "C";
    std::int32_t crc = crcRight ? 0 : 1;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        if (line.size() == 65) out.push_back(line), line = "C";
        const Quad group = EncodeGroup({bytes[i], bytes[i + 1], bytes[i + 2]}, kMethod01);
        line.append(group.data(), 4);
        crc += bytes[i] + 2 * bytes[i + 1] + 3 * bytes[i + 2];
    }
    out.push_back(line);
    out.push_back("MuS/" + std::to_string(crc));
    out.push_back(block.back());
    return out;
}

// An ASCII text of exactly `length` bytes in lines ended by CR LF.
std::string Prose(std::size_t length)
{
    static constexpr std::string_view kLine = "The quick brown fox jumps over the lazy dog";
    std::string text;
    for (int n = 1; text.size() < length; ++n) text += std::to_string(n) + ". " + std::string(kLine) + ".\r\n";
    text.resize(length);
    return text;
}

std::string Mail(const std::string& block)
{
    return "Hello,\r\n\r\nhere it is:\r\n\r\n" + block + "\r\nBye\r\n";
}

template <typename Edit>
Lines Each(Lines lines, Edit edit)
{
    for (std::size_t i = 0; i < lines.size(); ++i) edit(lines[i], i);
    return lines;
}

// ---------------------------------------------------------- expectations

struct Vector {
    std::string name;
    std::string document;
    std::vector<std::string> phrases; // attempts, as typed
    std::optional<std::string> text;  // the decrypted bytes
    std::string warning, message, repair;
    int exit = 0;
};

std::string Escaped(std::string_view s)
{
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (u < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", u);
            out += code;
        } else out += c;
    }
    return out + "\"";
}

// The text as a page shows it: every byte that begins no valid UTF-8
// sequence as U+FFFD.
std::string Shown(std::string_view bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const int length = DecodeUtf8(bytes.substr(i), cp);
        if (length <= 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(bytes.substr(i, static_cast<std::size_t>(length)));
            i += static_cast<std::size_t>(length);
        }
    }
    return out;
}

std::string Json(const Vector& v)
{
    std::string out = "{\n  \"phrases\": [";
    for (std::size_t i = 0; i < v.phrases.size(); ++i) out += (i ? ", " : "") + Escaped(v.phrases[i]);
    out += "]";
    if (v.text) {
        out += ",\n  \"text\": " + Escaped(Shown(*v.text));
        if (!IsWellFormedUtf8(*v.text)) {
            out += ",\n  \"text_hex\": \"";
            for (const char c : *v.text) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
                out += hex;
            }
            out += "\"";
        }
    }
    if (!v.warning.empty()) out += ",\n  \"warning\": " + Escaped(v.warning);
    if (!v.message.empty()) out += ",\n  \"message\": " + Escaped(v.message);
    if (!v.repair.empty()) out += ",\n  \"repair\": " + Escaped(v.repair);
    return out + ",\n  \"exit\": " + std::to_string(v.exit) + "\n}\n";
}

Vector Good(std::string name, std::string document, std::vector<std::string> phrases, std::string text)
{
    return {std::move(name), std::move(document), std::move(phrases), std::move(text), {}, {}, {}, 0};
}

Vector Warned(std::string name, std::string document, std::string text, std::string_view warning)
{
    return {std::move(name), std::move(document), {}, std::move(text), std::string(warning), {}, {}, 1};
}

Vector Refused(std::string name, std::string document, std::vector<std::string> phrases, std::string_view message)
{
    return {std::move(name), std::move(document), std::move(phrases), std::nullopt, {}, std::string(message), {}, 2};
}

Vector Repaired(std::string name, std::string document, std::vector<std::string> phrases, std::string text,
                std::string repair)
{
    return {std::move(name), std::move(document), std::move(phrases), std::move(text), {}, {}, std::move(repair), 0};
}

std::vector<Vector> Vectors()
{
    std::vector<Vector> v;
    const std::string abc = "abc";
    const Lines abc01 = LegacyLines(abc, "", kMethod01);

    // Methods 00 and 01: the length boundaries, with and without a phrase.
    v.push_back(Good("good_method01_abc", Join(abc01), {}, abc));
    v.push_back(Good("good_method00_abc", Join(LegacyLines(abc, "", kMethod00)), {}, abc));
    for (const std::size_t length : {1, 2, 3, 47, 48, 49, 22528}) {
        const std::string text = Prose(length);
        const std::string n = std::to_string(length);
        v.push_back(Good("good_method00_length" + n, Join(LegacyLines(text, "", kMethod00)), {}, text));
        v.push_back(Good("good_method01_length" + n + "_phrase", Join(LegacyLines(text, "Tiger7", kMethod01)),
                         {"tiger7"}, text));
    }
    const std::string greeting = "Grüße aus Köln,\r\nΩμέγα und Жук.\r\n";
    v.push_back(
        Good("good_method00_phrase_latin1", Join(LegacyLines(greeting, "Größe", kMethod00)), {"größe"}, greeting));
    v.push_back(Good("good_method01_second_attempt", Mail(Join(LegacyLines(greeting, "ÆRØ", kMethod01))),
                     {"aero", "ærø"}, greeting));
    v.push_back(Good("good_method01_zero_byte_ends_text", Join(LegacyLines(std::string("ab\0cd", 5), "", kMethod01)),
                     {}, "ab"));
    v.push_back(
        Good("good_method01_not_utf8", Join(LegacyLines("caf\xE9 \xFF\xFE!", "", kMethod01)), {}, "caf\xE9 \xFF\xFE!"));
    v.push_back(
        Good("good_first_of_two_blocks", Join(abc01) + "\r\n" + Join(LegacyLines("xyz", "", kMethod00)), {}, abc));

    // Method 02, suite 1.
    const std::string dawn = "Meet at dawn.";
    const Lines known = SealedLines(dawn, "CORRECT HORSE");
    v.push_back(Good("good_method02_suite1_known_answer", Join(known), {"correct horse"}, dawn));
    v.push_back(
        Good("good_method02_suite1_second_attempt", Mail(Join(known)), {"correct hose", "Correct Horse"}, dawn));
    const Lines umlaut = SealedLines(greeting, "Ölfass Ärger", 1);
    v.push_back(Good("good_method02_suite1_phrase_latin1", Join(umlaut), {"ölfass ärger"}, greeting));
    const Lines sharp = SealedLines(Prose(200), "straße", 2);
    v.push_back(Good("good_method02_suite1_phrase_sharp_s", Join(sharp), {"straße"}, Prose(200)));
    v.push_back(Good("good_method02_suite1_length1", Join(SealedLines("!", "x", 3)), {"x"}, "!"));

    // The CRC line of a Method 02 block is not authenticated: a text that
    // opens is given without a warning.
    Lines crcChanged = known;
    crcChanged[4] = "MuS/10563";
    v.push_back(Good("good_method02_crc_line_changed", Join(crcChanged), {"correct horse"}, dawn));

    // The warnings: the text, then what went wrong.
    Lines crc = abc01;
    crc[3] = "MuS/883";
    v.push_back(Warned("good_warning_crc_differs", Mail(Join(crc)), abc, msg::kCrcError));
    crc[3] = "MuS/0";
    v.push_back(Warned("good_warning_crc_missing", Join(crc), abc, msg::kCrcMissing));
    Lines early = LegacyLines(Prose(49), "", kMethod01);
    early.erase(early.begin() + 3);
    v.push_back(Warned("good_warning_ended_early", Join(early), Prose(48), msg::kEndedEarly));

    // The refusals.
    v.push_back(Refused("fail_empty_document", "", {}, msg::kNoTextToDecrypt));
    v.push_back(
        Refused("fail_no_block", "Hello,\r\nno block here.\r\nMuS/ only once\r\n", {}, msg::kNoHeaderAndFooter));
    Lines header = abc01;
    header[1] = "MuS/0120/1/0/3";
    v.push_back(Refused("fail_header_short", Join(header), {}, msg::kInvalidHeader));
    header[1] = "MuS/0120/01/0/-3";
    v.push_back(Refused("fail_header_negative_length", Join(header), {}, msg::kInvalidHeader));
    header[1] = "MuS/0150/03/0/3";
    v.push_back(
        Refused("fail_unsupported_method", Join(header), {}, std::string(msg::kUnsupportedMethodPrefix) + "1.50."));
    v.push_back(Refused("fail_method01_wrong_phrase", Join(LegacyLines(abc, "Tiger7", kMethod01)), {"tiger", "lion"},
                        msg::kPhraseMismatch));
    v.push_back(Refused("fail_method02_wrong_phrase", Join(known), {"horse"}, msg::kPhraseMismatch));

    std::vector<std::uint8_t> bytes = BodyBytes(known);
    bytes[kPreambleSize + 2] ^= 0x01; // a byte of the sealed text
    v.push_back(Refused("fail_method02_altered", Join(WithBody(known, bytes)), {"correct horse"}, msg::kDamaged));
    v.push_back(Refused("fail_method02_altered_quoted",
                        Mail(Join(Each(WithBody(known, bytes), [](std::string& l, std::size_t) { l = "> " + l; }))),
                        {"correct horse"}, msg::kNoHeaderAndFooter));
    bytes = BodyBytes(known);
    bytes[2] = 2; // 4 KiB of memory: below what a reader takes
    v.push_back(Refused("fail_method02_costs_too_low", Join(WithBody(known, bytes)), {"correct horse"}, msg::kDamaged));
    bytes = BodyBytes(known);
    bytes.back() = 'x'; // a pad byte that is not a blank
    v.push_back(Refused("fail_method02_pad_not_blank", Join(WithBody(known, bytes)), {"correct horse"}, msg::kDamaged));
    bytes = BodyBytes(known);
    bytes[0] = 3; // a later suite
    Lines later = WithBody(known, bytes);
    later[1] = "MuS/0150/02/1/13";
    v.push_back(Refused("fail_method02_later_suite", Join(later), {"correct horse"},
                        std::string(msg::kUnsupportedMethodPrefix) + "1.50."));
    Lines tooLong = known;
    tooLong[1] = "MuS/0130/02/1/22529";
    v.push_back(Refused("fail_method02_suite1_too_long", Join(tooLong), {"correct horse"}, msg::kDamaged));
    Lines quotedCrc = abc01;
    quotedCrc[3] = "MuS/881";
    v.push_back(Refused("fail_quoted_crc_differs",
                        Join(Each(quotedCrc, [](std::string& l, std::size_t) { l = "> " + l; })), {},
                        msg::kNoHeaderAndFooter));

    // The repairs, each alone, then several in their order.
    const std::string text100 = Prose(100);
    const Lines block = LegacyLines(text100, "", kMethod01); // START, header, 3 body lines, CRC, END
    // A reader takes any line break; only CR CR LF (a blank line after every
    // line) needs the line ends made CR LF, and other line ends are told when
    // something else was undone.
    v.push_back(Repaired("repair_line_ends_cr_cr_lf", Join(block, "\r\r\n"), {}, text100, "line ends made CR LF"));
    v.push_back(Repaired("repair_line_ends_lf_indented",
                         Join(Each(block,
                                   [](std::string& l, std::size_t i) {
                                       if (i == 1) l = " " + l;
                                   }),
                              "\n"),
                         {}, text100, "line ends made CR LF; blanks removed from 1 line"));
    v.push_back(Repaired("repair_line_ends_cr_quoted",
                         "Hi\r" + Join(Each(block, [](std::string& l, std::size_t) { l = "> " + l; }), "\r") + "bye\r",
                         {}, text100, "line ends made CR LF; quote marks removed from 7 lines"));
    v.push_back(Repaired("repair_quoted", Mail(Join(Each(block, [](std::string& l, std::size_t) { l = "> " + l; }))),
                         {}, text100, "quote marks removed from 7 lines"));
    v.push_back(Repaired("repair_quoted_nested_method02",
                         Join(Each(umlaut, [](std::string& l, std::size_t i) { l = (i % 2 ? "> > " : ">>") + l; })),
                         {"ölfass ärger"}, greeting, "quote marks removed from 7 lines"));
    v.push_back(Repaired("repair_blanks",
                         Join(Each(block,
                                   [](std::string& l, std::size_t i) {
                                       if (i == 1) l = "  " + l;
                                       if (i == 3) l = "\t" + l + " \xC2\xA0";
                                   })),
                         {}, text100, "blanks removed from 2 lines"));
    v.push_back(Repaired("repair_invisible_one",
                         Join(Each(block,
                                   [](std::string& l, std::size_t i) {
                                       if (i == 2) l.insert(10, "\xE2\x80\x8B");
                                   })),
                         {}, text100, "1 invisible character removed"));
    v.push_back(Repaired("repair_invisible_several",
                         Join(Each(block,
                                   [](std::string& l, std::size_t i) {
                                       if (i == 1) l = "\xEF\xBB\xBF" + l;
                                       if (i == 3) l.insert(5, "\xE2\x80\x8C\xE2\x80\x8D"), l += "\xE2\x81\xA0";
                                   })),
                         {}, text100, "4 invisible characters removed"));
    v.push_back(Repaired("repair_br_and_blank_lines",
                         Join(Each(Each(block, [](std::string& l, std::size_t i) { l += i % 2 ? "<br/>" : "<br>"; }),
                                   [](std::string& l, std::size_t i) {
                                       if (i + 1 < 7) l += "\r\n";
                                   })),
                         {}, text100, "<br> removed from 7 lines; 6 blank lines removed"));
    v.push_back(Repaired("repair_blank_lines_method02",
                         Join(Each(known,
                                   [](std::string& l, std::size_t i) {
                                       if (i == 1 || i == 2) l += "\r\n";
                                   })),
                         {"correct horse"}, dawn, "2 blank lines removed"));
    std::string joinedBody = block[2] + block[3] + block[4];
    Lines rewrapped{block[0], block[1]};
    for (std::size_t at = 0; at < joinedBody.size(); at += 40) rewrapped.push_back(joinedBody.substr(at, 40));
    rewrapped.insert(rewrapped.end(), {block[5], block[6]});
    v.push_back(Repaired("repair_rewrapped", Mail(Join(rewrapped)), {}, text100, "body lines rejoined"));
    std::string oneLine;
    for (const std::string& line : umlaut) oneLine += (oneLine.empty() ? "" : " ") + line;
    v.push_back(Repaired("repair_one_line", "Hi! " + oneLine + " Bye\r\n", {"ölfass ärger"}, greeting,
                         "block split from one line"));
    v.push_back(Repaired("repair_everything",
                         Join(Each(block,
                                   [](std::string& l, std::size_t i) {
                                       l = "> " + l;
                                       if (i == 2) l += "  \xE2\x80\x8B<br>";
                                       if (i == 4) l += "\r";
                                   }),
                              "\n"),
                         {}, text100,
                         "line ends made CR LF; quote marks removed from 7 lines; blanks removed from 1 line; "
                         "1 invisible character removed; <br> removed from 1 line"));
    return v;
}

} // namespace
} // namespace mus

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_vectors DIRECTORY\n");
        return 64;
    }
    const std::string dir = argv[1];
    for (const mus::Vector& v : mus::Vectors()) {
        std::ofstream(dir + "/" + v.name + ".txt", std::ios::binary) << v.document;
        std::ofstream(dir + "/" + v.name + ".json", std::ios::binary) << mus::Json(v);
    }
    return 0;
}
