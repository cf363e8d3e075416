#include "cipher/legacy_method.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "cipher/armoured_block.h"
#include "cipher/codec_detail.h"
#include "cipher/errors.h"
#include "cipher/phrase.h"
#include "cipher/secret.h"

namespace mus {

namespace {

constexpr std::uint32_t kByteBound = 256;
constexpr std::int32_t kFirstGroupPosition = 2; // 1-based, after the "C"

} // namespace

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

DecodedText TextWarnings(const DocumentLines& lines, const BlockHeader& header)
{
    // Without a sink nothing is XORed or handed on; the keystream is the
    // process's, reseeded by every pass.
    return DecodeGroups(lines, header, {}, nullptr);
}

bool BodyIsExact(const DocumentLines& lines, const BlockHeader& header)
{
    if (header.method != kMethod00 && header.method != kMethod01) return false;
    const detail::Values& values = detail::ValuesOf(header.method);
    const std::int64_t groups = std::int64_t{GroupCount(header.phraseLength)} + GroupCount(header.textLength);
    const std::int64_t bodyLines = (groups + kGroupsPerLine - 1) / kGroupsPerLine;
    if (bodyLines == 0 || header.crcLine - header.headerLine - 1 != bodyLines) return false;
    for (std::int64_t i = 0; i < bodyLines; ++i) {
        const std::string_view line = lines.Line(header.headerLine + 1 + static_cast<std::int32_t>(i));
        const std::int64_t onLine = i + 1 < bodyLines ? kGroupsPerLine : groups - kGroupsPerLine * i;
        if (static_cast<std::int64_t>(line.size()) != 1 + 4 * onLine || line[0] != 'C') return false;
        for (std::size_t c = 1; c < line.size(); ++c) {
            const auto value = values.of[static_cast<std::uint8_t>(line[c])];
            if (value < 0 || value >= 64) return false;
        }
    }
    return true;
}

namespace {

// The block of one text and phrase, to compare with what was read back.
class LegacyWritten final : public WrittenBlock {
public:
    LegacyWritten(std::string phrase, std::int32_t method) : phrase_(std::move(phrase)), method_(method) {}
    ~LegacyWritten() override { Wipe(phrase_); }

    bool DecodesTo(std::string_view block, std::string_view text) const override
    {
        const TextLines lines(block);
        const std::optional<BlockHeader> header = WholeBlockHeader(lines, method_, text.size());
        if (!header || header->phraseLength != static_cast<std::int64_t>(phrase_.size())) return false;
        if (!phrase_.empty() && !PhraseMatches(lines, *header, phrase_)) return false;
        DecodedText decoded = DecodeText(lines, *header, phrase_);
        const ScopedWipe wipeDecoded(decoded.text);
        // Decrypting hands the editor a zero-terminated string.
        const std::string_view expected = text.substr(0, text.find('\0'));
        return !decoded.endedEarly && !decoded.crcDiffers && decoded.text == expected;
    }

private:
    std::string phrase_;
    std::int32_t method_;
};

class LegacyBody final : public BlockBody {
public:
    LegacyBody(const LegacyFamily& family, const DocumentLines& lines, const BlockHeader& header)
        : family_(family), lines_(lines), header_(header)
    {
    }
    ~LegacyBody() override { Wipe(phrase_); }

    bool NeedsPhrase() const override { return header_.phraseLength > 0; }
    PhraseRule EntryRule() const override { return {.limit = kMaxPhraseLength, .folding = Folding::WhileTyping}; }

    bool Unlock(std::string_view entered, PhrasePrompt&) override
    {
        std::string folded = family_.FoldPhrase(entered);
        if (!PhraseMatches(lines_, header_, folded)) {
            Wipe(folded);
            return false;
        }
        Wipe(phrase_);
        phrase_ = std::move(folded);
        return true;
    }

    bool Passes(BodyCheck check) override
    {
        const DecodedText warnings = TextWarnings(lines_, header_);
        if (warnings.endedEarly || warnings.crcMissing || warnings.crcDiffers) return false;
        return check == BodyCheck::NoWarning || BodyIsExact(lines_, header_);
    }

    Result Decode(const TextSink& sink, Delivery delivery) override
    {
        Result result;
        if (delivery == Delivery::Pieces || !sink) {
            result.decoded = DecodeText(lines_, header_, phrase_, sink);
            return result;
        }
        result.decoded = DecodeText(lines_, header_, phrase_);
        sink(std::exchange(result.decoded.text, {}));
        return result;
    }

private:
    const LegacyFamily& family_;
    const DocumentLines& lines_;
    BlockHeader header_;
    std::string phrase_;
};

// Nothing is shared between the bodies of one run: the phrase check is cheap.
class LegacyReading final : public FamilyReading {
public:
    explicit LegacyReading(const LegacyFamily& family) : family_(family) {}

    Opened Open(const DocumentLines& lines, const BlockHeader& header) override
    {
        return {std::nullopt, std::make_unique<LegacyBody>(family_, lines, header)};
    }

private:
    const LegacyFamily& family_;
};

} // namespace

// The entry folds the phrase as it is typed, with FoldPhrase of phrase.h;
// folding it again changes nothing.
std::string LegacyFamily::FoldPhrase(std::string_view entered) const
{
    return mus::FoldPhrase(entered);
}

std::unique_ptr<WrittenBlock> LegacyFamily::Write(std::string_view text, std::string& phrase, const MethodInfo& method,
                                                  Costs, const LineSink& sink) const
{
    std::string folded = FoldPhrase(phrase);
    Wipe(phrase);
    auto written = std::make_unique<LegacyWritten>(folded, method.code);
    WriteArmouredBlock(text, folded, method.code, sink);
    Wipe(folded);
    return written;
}

std::unique_ptr<FamilyReading> LegacyFamily::BeginReading(const MethodInfo&) const
{
    return std::make_unique<LegacyReading>(*this);
}

const LegacyFamily kLegacyFamily{};

} // namespace mus
