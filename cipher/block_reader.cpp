#include "cipher/block_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cipher/armoured_block.h"
#include "cipher/codec_detail.h"
#include "cipher/errors.h"
#include "cipher/messages.h"
#include "cipher/method02.h"

namespace mus {

namespace {

constexpr std::uint32_t kByteBound = 256;
constexpr std::size_t kShortestHeaderLine = 15;
constexpr std::int32_t kFirstGroupPosition = 2; // 1-based, after the "C"

// ceil(n / 3) by integer division; none for a count of 0 or below.
std::int32_t GroupCount(std::int32_t n)
{
    if (n <= 0) return 0;
    return n / 3 + (n % 3 > 0 ? 1 : 0);
}

// Reads the number before the next "/" of `rest` and removes it together with
// that "/". False when `rest` holds no "/".
bool TakeField(std::string_view& rest, std::int32_t& value)
{
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    value = ReadNumber(rest.substr(0, slash));
    rest.remove_prefix(slash + 1);
    return true;
}

int DigitValue(char c, int base)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::int32_t ReadNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    int base = 10;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    } else if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    std::int32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) break;
        // A digit that would take the value beyond the 32-bit range is not
        // read: the number ends before it.
        std::int32_t next;
        if (__builtin_mul_overflow(value, base, &next) || __builtin_add_overflow(next, digit, &next)) break;
        value = next;
    }
    // The sign counts only when the number was read to its end.
    if (negative && i == text.size()) return -value;
    return value;
}

std::string FormatVersion(std::int32_t version)
{
    const std::int64_t v = version;
    const std::int64_t magnitude = std::llabs(v);
    std::string out = v < 0 ? "-" : "";
    out += std::to_string(magnitude / 100);
    out += '.';
    out += static_cast<char>('0' + magnitude % 100 / 10);
    out += static_cast<char>('0' + magnitude % 10);
    return out;
}

HeaderResult ReadHeader(const DocumentLines& lines, std::int32_t highestMethod)
{
    HeaderResult result;
    if (lines.TextLength() == 0) {
        result.refusal = Refusal::EmptyDocument;
        return result;
    }
    const TaggedLines tagged = FindTaggedLines(lines);
    if (tagged.second < 0) {
        result.refusal = Refusal::NoHeaderAndFooter;
        return result;
    }
    BlockHeader& header = result.header;
    header.headerLine = tagged.first;
    header.crcLine = tagged.second;

    const std::string headerText(lines.Line(header.headerLine));
    const std::string_view crcText = lines.Line(header.crcLine);
    header.storedCrc = ReadNumber(crcText.substr(crcText.find('/') + 1));

    std::string_view rest = headerText;
    bool valid = rest.size() >= kShortestHeaderLine;
    if (valid) {
        rest.remove_prefix(rest.find('/') + 1);
        valid = TakeField(rest, header.version) && TakeField(rest, header.method) &&
                TakeField(rest, header.phraseLength) && rest.find('/') == std::string_view::npos;
    }
    if (valid) {
        header.textLength = ReadNumber(rest);
        valid = header.textLength >= 0;
    }
    if (!valid) {
        result.refusal = Refusal::InvalidHeader;
        return result;
    }
    if (header.method > highestMethod) result.refusal = Refusal::UnsupportedMethod;
    return result;
}

std::string RefusalMessage(Refusal refusal, const BlockHeader& header)
{
    switch (refusal) {
    case Refusal::EmptyDocument: return std::string(msg::kNoTextToDecrypt);
    case Refusal::NoHeaderAndFooter: return std::string(msg::kNoHeaderAndFooter);
    case Refusal::InvalidHeader: return std::string(msg::kInvalidHeader);
    case Refusal::UnsupportedMethod:
        return std::string(msg::kUnsupportedMethodPrefix) + FormatVersion(header.version) + ".";
    case Refusal::Damaged: return std::string(msg::kDamaged);
    case Refusal::PhraseCancelled: break;
    }
    return {};
}

bool PhraseMatches(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase)
{
    if (phrase.size() != static_cast<std::size_t>(std::max(header.phraseLength, 0))) return false;
    // The first body line must lie above the CRC line.
    const std::int32_t firstBody = header.headerLine + 1;
    const std::string_view line = firstBody < header.crcLine ? lines.Line(firstBody) : std::string_view{};

    KeystreamGenerator& keystream = Keystream();
    keystream.Seed(PhraseSeed(phrase));
    const std::int32_t groups = GroupCount(header.phraseLength);
    std::string stored;
    stored.reserve(static_cast<std::size_t>(groups) * 3);
    std::size_t start = kFirstGroupPosition - 1; // 0-based
    for (std::int32_t g = 0; g < groups; ++g, start += 4) {
        if (line.size() < start + 4) return false;
        const Triple triple = DecodeGroup(line.data() + start, header.method);
        for (const std::uint8_t b : triple) stored += static_cast<char>(b ^ keystream.Draw(kByteBound));
    }
    stored.resize(phrase.size());
    return stored == phrase;
}

namespace {

// The most one group adds to the CRC value: 255 + 2 x 255 + 3 x 255. Fewer
// groups than this many can never overflow the sum.
constexpr std::int32_t kGroupsSafeFromOverflow = INT32_MAX / 1530;

// How many groups a body line gives from `position` (1-based): `fit` stand
// there up to the 65th character (at least the one at `position`), of which
// the line holds `whole` in full.
struct LineGroups {
    std::int64_t fit;
    std::int64_t whole;
};

LineGroups GroupsOnLine(std::string_view line, std::int32_t position)
{
    const std::int64_t size = static_cast<std::int64_t>(line.size());
    return {position <= kBodyLineLength ? (kBodyLineLength - position) / 4 + 1 : 1,
            size >= position + 3 ? (size - position - 3) / 4 + 1 : 0};
}

// Decodes `count` groups of `line` from `position` on into `out`, three bytes
// a group, adding each group's term to `crc` and drawing from `state`.
void DecodeLineGroups(std::string_view line, std::int32_t position, std::int64_t count, const detail::Values& values,
                      std::uint32_t& keystreamState, std::int32_t& crcSum, char* out)
{
    if (count <= 0) return;
    // Locals: the bytes written cannot alias them.
    std::uint32_t state = keystreamState;
    std::int32_t crc = crcSum;
    const char* group = line.data() + position - 1;
    for (std::int64_t i = 0; i < count; ++i, group += 4, out += 3) {
        const Triple triple = detail::GroupBytes(detail::GroupValue(group, values));
        crc = CheckedAdd(crc, triple[0] + 2 * triple[1] + 3 * triple[2]);
        const detail::ThreeDraws k = detail::DrawThree(state);
        out[0] = static_cast<char>(triple[0] ^ k.k1);
        out[1] = static_cast<char>(triple[1] ^ k.k2);
        out[2] = static_cast<char>(triple[2] ^ k.k3);
    }
    keystreamState = state;
    crcSum = crc;
}

// Hands on the decoded bytes as far as they belong to the text: no more than
// the `left` bytes still to come, and nothing from a decoded zero byte on,
// which ends the text because the editor takes a zero-terminated text.
void HandOn(const char* bytes, std::size_t size, std::int64_t& left, const TextSink* sink)
{
    size = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(size), left));
    if (const void* zero = std::memchr(bytes, 0, size)) {
        size = static_cast<std::size_t>(static_cast<const char*>(zero) - bytes);
        left = 0;
    } else {
        left -= static_cast<std::int64_t>(size);
    }
    if (size > 0) (*sink)(std::string_view(bytes, size));
}

// The text groups decoded line by line, each line's text bytes handed to
// `sink` (none without one).
DecodedText DecodeGroups(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase,
                         const TextSink* sink)
{
    std::uint32_t state = static_cast<std::uint32_t>(PhraseSeed(phrase));
    const std::int32_t groups = GroupCount(header.textLength);
    std::int64_t left = sink ? header.textLength : 0;

    // A method code other than 0 and 1 turns every group into three zero bytes.
    const detail::Values& values = detail::ValuesOf(header.method);
    std::int32_t computedCrc = 0;
    std::int32_t position = header.phraseLength > 0 ? kFirstGroupPosition + 4 * GroupCount(header.phraseLength)
                                                    : kFirstGroupPosition;
    std::int32_t read = 0;
    bool endedEarly = false;
    char piece[3 * kGroupsPerLine];
    for (std::int32_t lineIndex = header.headerLine + 1; read < groups; ++lineIndex) {
        // Reading ends early at the CRC line: a body line lies above it.
        if (lineIndex >= header.crcLine) {
            endedEarly = true;
            break;
        }
        const std::string_view line = lines.Line(lineIndex);
        const LineGroups on = GroupsOnLine(line, position);
        const std::int64_t take = std::min({on.fit, on.whole, static_cast<std::int64_t>(groups - read)});
        DecodeLineGroups(line, position, take, values, state, computedCrc, piece);
        HandOn(piece, static_cast<std::size_t>(3 * take), left, sink);
        read += static_cast<std::int32_t>(take);
        // A line too short for its next group ends the block early.
        if (read < groups && take < on.fit) {
            endedEarly = true;
            break;
        }
        position = kFirstGroupPosition;
    }
    Keystream().Seed(static_cast<std::int32_t>(state));

    DecodedText decoded;
    decoded.endedEarly = endedEarly;
    if (!endedEarly) {
        decoded.crcMissing = header.storedCrc == 0;
        decoded.crcDiffers = !decoded.crcMissing && header.storedCrc != computedCrc;
    }
    return decoded;
}

} // namespace

DecodedText DecodeText(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase,
                       const TextSink& sink)
{
    if (!sink) {
        std::string text;
        text.reserve(static_cast<std::size_t>(std::clamp(header.textLength, 0, kMaxTextLength)));
        DecodedText decoded = DecodeText(lines, header, phrase, [&text](std::string_view piece) { text += piece; });
        decoded.text = std::move(text);
        return decoded;
    }
    // A body long enough to overflow the CRC sum is walked once without
    // handing anything on (the sum does not depend on the phrase), so that
    // the overflow comes before the sink has seen a byte.
    if (GroupCount(header.textLength) > kGroupsSafeFromOverflow) DecodeGroups(lines, header, phrase, nullptr);
    return DecodeGroups(lines, header, phrase, &sink);
}

std::optional<std::string> AskForMatchingPhrase(const DocumentLines& lines, const BlockHeader& header,
                                                PhrasePrompt& prompt)
{
    for (;;) {
        std::optional<std::string> entered = prompt.Ask(msg::kPromptProtected, PromptTopic::ProtectedText,
                                                        kMaxPhraseLength);
        if (!entered) return std::nullopt;
        if (PhraseMatches(lines, header, *entered)) return entered;
        Wipe(*entered);
        if (!prompt.RetryAfter(msg::kPhraseMismatch)) return std::nullopt;
    }
}

std::optional<std::string_view> DecodeWarning(const DecodedText& decoded)
{
    if (decoded.endedEarly) return msg::kEndedEarly;
    if (decoded.crcMissing) return msg::kCrcMissing;
    if (decoded.crcDiffers) return msg::kCrcError;
    return std::nullopt;
}

namespace {

// A Method 02 block: bounded and read before the prompt, a key derivation
// for every attempt, and only an authenticated text is handed on, whole.
void ReadMethod02(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink, ReadOutcome& outcome)
{
    const SealedRead read = ReadSealedBlock(lines, outcome.header);
    outcome.refusal = read.refusal;
    if (outcome.refusal) return;
    std::optional<SealingKey> key;
    outcome.refusal = FindKey(read.block, prompt, key);
    if (outcome.refusal) return;

    const PromptWorking working(prompt);
    std::optional<std::string> text = OpenSealedBlock(read.block, *key);
    if (!text) {
        outcome.refusal = Refusal::Damaged;
        return;
    }
    // The editor takes a zero-terminated text: a zero byte ends it.
    text->resize(std::min(text->size(), text->find('\0')));
    if (sink) {
        sink(*text);
    } else {
        outcome.decoded.text = std::move(*text);
    }
}

// A Method 00 or 01 block: the phrase when it has one, then its text groups.
void ReadGroups(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink, Delivery delivery,
                ReadOutcome& outcome)
{
    std::string phrase;
    if (outcome.header.phraseLength > 0) {
        std::optional<std::string> entered = AskForMatchingPhrase(lines, outcome.header, prompt);
        if (!entered) {
            outcome.refusal = Refusal::PhraseCancelled;
            return;
        }
        phrase = std::move(*entered);
        Wipe(*entered);
    }
    const ScopedWipe wipe(phrase);

    const PromptWorking working(prompt);
    if (delivery == Delivery::Pieces) {
        outcome.decoded = DecodeText(lines, outcome.header, phrase, sink);
        return;
    }
    outcome.decoded = DecodeText(lines, outcome.header, phrase);
    if (sink) sink(std::exchange(outcome.decoded.text, {}));
}

} // namespace

ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink, Delivery delivery)
{
    ReadOutcome outcome;
    const HeaderResult read = ReadHeader(lines);
    outcome.header = read.header;
    outcome.refusal = read.refusal;
    if (outcome.refusal) return outcome;
    if (outcome.header.method == kMethod02) {
        ReadMethod02(lines, prompt, sink, outcome);
    } else {
        ReadGroups(lines, prompt, sink, delivery, outcome);
    }
    return outcome;
}

} // namespace mus
