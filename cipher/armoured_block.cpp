#include "cipher/armoured_block.h"

#include <stdexcept>
#include <string>

#include "cipher/errors.h"
#include "cipher/group_codec.h"
#include "cipher/keystream.h"

namespace mus {

namespace {

constexpr std::uint8_t kPadByte = 0x20;
constexpr std::uint32_t kByteBound = 256;

std::string HeaderLine(std::int32_t method, std::size_t phraseLength, std::size_t textLength)
{
    std::string line;
    line.reserve(24);
    line += kBlockTag;
    line += kWriterVersion;
    line += '/';
    if (method >= 0 && method < 10) line += '0';
    line += std::to_string(method);
    line += '/';
    line += std::to_string(phraseLength);
    line += '/';
    line += std::to_string(textLength);
    return line;
}

void AppendGroup(std::string& line, const Triple& triple, std::int32_t method)
{
    const Quad quad = EncodeGroup(triple, method);
    line.append(quad.data(), quad.size());
}

} // namespace

void WriteArmouredBlock(std::string_view text, std::string_view phrase, std::int32_t method,
                        const LineSink& sink)
{
    if (text.empty() || text.size() > static_cast<std::size_t>(kMaxTextLength))
        throw std::invalid_argument("the text to encrypt must hold 1 to 22528 bytes");
    if (phrase.size() > static_cast<std::size_t>(kMaxPhraseLength))
        throw std::invalid_argument("a phrase holds at most 16 bytes");
    if (method != kMethod00 && method != kMethod01)
        throw std::invalid_argument("the method code must be 0 or 1");

    const std::size_t textLength = text.size();
    const std::size_t phraseLength = phrase.size();

    sink(kStartLine);
    sink(HeaderLine(method, phraseLength, textLength));

    const std::int32_t seed = PhraseSeed(phrase);
    // A local generator keeps the state in a register; the process-wide one
    // is left as the text pass leaves it.
    KeystreamGenerator keystream;
    keystream.Seed(seed);

    std::string line;
    line.reserve(kBodyLineLength);
    line += 'C';

    // Phrase pass: positions past the phrase are pad bytes and take no draw.
    for (std::size_t s = 0; s < phraseLength; s += 3) {
        Triple triple{kPadByte, kPadByte, kPadByte};
        for (std::size_t k = 0; k < 3 && s + k < phraseLength; ++k)
            triple[k] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(phrase[s + k]) ^
                                                  keystream.Draw(kByteBound));
        AppendGroup(line, triple, method);
    }

    // Text pass: the same keystream from its start, over the text followed by
    // one zero byte; positions past that zero byte are pad bytes.
    keystream.Seed(seed);
    std::int32_t crc = 0;
    for (std::size_t s = 0; s < textLength; s += 3) {
        Triple triple{kPadByte, kPadByte, kPadByte};
        for (std::size_t k = 0; k < 3 && s + k <= textLength; ++k) {
            const std::uint8_t data = s + k < textLength ? static_cast<std::uint8_t>(text[s + k]) : 0;
            triple[k] = static_cast<std::uint8_t>(data ^ keystream.Draw(kByteBound));
        }
        if (line.size() == static_cast<std::size_t>(kBodyLineLength)) {
            sink(line);
            line.resize(1);
        }
        AppendGroup(line, triple, method);
        crc = CheckedAdd(crc, triple[0] + 2 * triple[1] + 3 * triple[2]);
    }
    sink(line);

    std::string crcLine(kBlockTag);
    crcLine += std::to_string(crc);
    sink(crcLine);
    sink(kEndLine);

    Keystream().Seed(static_cast<std::int32_t>(keystream.State()));
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

} // namespace mus
