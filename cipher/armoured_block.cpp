#include "cipher/armoured_block.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "cipher/codec_detail.h"
#include "cipher/errors.h"
#include "cipher/messages.h"

namespace mus {

namespace {

constexpr std::uint8_t kPadByte = 0x20;
constexpr std::uint32_t kByteBound = 256;

} // namespace

namespace detail {

std::string HeaderLine(std::string_view version, std::int32_t method, std::size_t phraseField, std::size_t textLength)
{
    std::string line;
    line.reserve(24);
    line += kBlockTag;
    line += version;
    line += '/';
    if (method >= 0 && method < 10) line += '0';
    line += std::to_string(method);
    line += '/';
    line += std::to_string(phraseField);
    line += '/';
    line += std::to_string(textLength);
    return line;
}

std::string CrcLine(std::int32_t crc)
{
    std::string line(kBlockTag);
    line += std::to_string(crc);
    return line;
}

} // namespace detail

namespace {

void CheckWriterInput(std::string_view text, std::string_view phrase, std::int32_t method)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(kMaxTextLength))
        throw std::invalid_argument("the text to encrypt must hold 1 to 22528 bytes");
    if (phrase.size() > static_cast<std::size_t>(kMaxPhraseLength))
        throw std::invalid_argument("a phrase holds at most 16 bytes");
    if (method != kMethod00 && method != kMethod01) throw std::invalid_argument("the method code must be 0 or 1");
}

// Phrase pass: positions past the phrase are pad bytes and take no draw.
void WritePhraseGroups(std::string_view phrase, std::int32_t seed, const detail::CharacterPairs& pairs,
                       detail::BodyLines& body)
{
    KeystreamGenerator keystream;
    keystream.Seed(seed);
    for (std::size_t s = 0; s < phrase.size(); s += 3) {
        std::uint8_t triple[3] = {kPadByte, kPadByte, kPadByte};
        for (std::size_t k = 0; k < 3 && s + k < phrase.size(); ++k)
            triple[k] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(phrase[s + k]) ^
                                                  keystream.Draw(kByteBound));
        body.Free();
        detail::Encode(triple[0], triple[1], triple[2], pairs, body.Next());
        body.Wrote(1);
    }
}

// Text pass, from the keystream `state` on: the text followed by one zero
// byte, positions past that zero byte being pad bytes. Advances `state`;
// the CRC value.
std::int32_t WriteTextGroups(std::string_view text, std::uint32_t& keystreamState, const detail::CharacterPairs& pairs,
                             detail::BodyLines& body)
{
    // A local state: the characters written cannot alias it.
    std::uint32_t state = keystreamState;
    std::int32_t crc = 0;
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    // Groups of three text bytes, a line's worth at a time.
    const std::size_t fullGroups = text.size() / 3;
    for (std::size_t done = 0; done < fullGroups;) {
        const std::size_t count = std::min(body.Free(), fullGroups - done);
        const std::uint8_t* in = data + 3 * done;
        char* out = body.Next();
        for (std::size_t i = 0; i < count; ++i, in += 3, out += 4) {
            const detail::ThreeDraws k = detail::DrawThree(state);
            const auto b1 = static_cast<std::uint8_t>(in[0] ^ k.k1);
            const auto b2 = static_cast<std::uint8_t>(in[1] ^ k.k2);
            const auto b3 = static_cast<std::uint8_t>(in[2] ^ k.k3);
            detail::Encode(b1, b2, b3, pairs, out);
            crc = CheckedAdd(crc, b1 + 2 * b2 + 3 * b3);
        }
        body.Wrote(count);
        done += count;
    }
    // The last group when the text leaves one or two bytes: they, the zero
    // byte after them, and a pad byte where a third position is left.
    if (text.size() % 3 != 0) {
        const std::size_t s = fullGroups * 3;
        std::uint8_t triple[3] = {kPadByte, kPadByte, kPadByte};
        KeystreamGenerator keystream;
        keystream.Seed(static_cast<std::int32_t>(state));
        for (std::size_t p = s; p <= text.size() && p < s + 3; ++p)
            triple[p - s] = static_cast<std::uint8_t>((p < text.size() ? data[p] : 0) ^ keystream.Draw(kByteBound));
        state = keystream.State();
        body.Free();
        detail::Encode(triple[0], triple[1], triple[2], pairs, body.Next());
        body.Wrote(1);
        crc = CheckedAdd(crc, triple[0] + 2 * triple[1] + 3 * triple[2]);
    }
    keystreamState = state;
    return crc;
}

} // namespace

void WriteArmouredBlock(std::string_view text, std::string_view phrase, std::int32_t method, const LineSink& sink)
{
    CheckWriterInput(text, phrase, method);
    sink(kStartLine);
    sink(detail::HeaderLine(kWriterVersion, method, phrase.size(), text.size()));

    // Both passes draw the same keystream from its start.
    const std::int32_t seed = PhraseSeed(phrase);
    const detail::CharacterPairs& pairs = detail::PairsOf(method);
    detail::BodyLines body(sink);
    WritePhraseGroups(phrase, seed, pairs, body);
    std::uint32_t state = static_cast<std::uint32_t>(seed);
    const std::int32_t crc = WriteTextGroups(text, state, pairs, body);
    body.Finish();

    sink(detail::CrcLine(crc));
    sink(kEndLine);
    Keystream().Seed(static_cast<std::int32_t>(state));
}

TaggedLines FindTaggedLines(const DocumentLines& lines)
{
    TaggedLines found;
    const std::int32_t count = lines.LineCount();
    for (std::int32_t i = 0; i < count; ++i) {
        if (!StartsWithBlockTag(lines.Line(i))) continue;
        if (found.first < 0) {
            found.first = i;
        } else {
            found.second = i;
            break;
        }
    }
    return found;
}

bool IsEncryptedText(const DocumentLines& lines)
{
    return FindTaggedLines(lines).second >= 0;
}

void TaggedLineCounter::Feed(std::string_view piece)
{
    const char* p = piece.data();
    const char* const end = p + piece.size();
    // The next CR and LF, each searched for again only once passed.
    const char* cr = nullptr;
    const char* lf = nullptr;
    const auto next = [end](const char* from, char c) {
        const void* found = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return found ? static_cast<const char*>(found) : end;
    };
    while (p < end) {
        if (matched_ < 0) {
            if (cr == nullptr || cr < p) cr = next(p, '\r');
            if (lf == nullptr || lf < p) lf = next(p, '\n');
            p = std::min(cr, lf);
            if (p == end) break;
            ++p;
            matched_ = 0; // a line begins after the break
            continue;
        }
        const char c = *p++;
        if (c == '\r' || c == '\n') {
            matched_ = 0;
        } else if (c != kBlockTag[static_cast<std::size_t>(matched_)]) {
            matched_ = -1;
        } else if (++matched_ == static_cast<std::int32_t>(kBlockTag.size())) {
            ++count_;
            matched_ = -1;
        }
    }
}

} // namespace mus
