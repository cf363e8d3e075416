// Any text of 1 to 22528 bytes without a zero byte, with any phrase of up to
// 16 bytes, in either method, comes back unchanged through the block.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"

namespace {

class KnownPhrase final : public mus::PhrasePrompt {
public:
    explicit KnownPhrase(std::string phrase) : phrase_(std::move(phrase)) {}
    std::optional<std::string> Ask() override { return phrase_; }
    bool RetryAfterMismatch() override { std::abort(); }

private:
    std::string phrase_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const std::int32_t method = data[0] & 1;
    const std::size_t phraseLength = std::min<std::size_t>((data[0] >> 1) % 17, size - 1);
    const std::string phrase(reinterpret_cast<const char*>(data + 1), phraseLength);
    std::string text(reinterpret_cast<const char*>(data + 1 + phraseLength), size - 1 - phraseLength);
    if (text.empty() || text.size() > static_cast<std::size_t>(mus::kMaxTextLength)) return 0;
    if (text.find('\0') != std::string::npos) return 0;

    std::string block;
    mus::WriteArmouredBlock(text, phrase, method, [&block](std::string_view line) {
        block += line;
        block += "\r\n";
    });
    KnownPhrase prompt(phrase);
    const mus::ReadOutcome outcome = mus::ReadArmouredBlock(mus::TextLines(block), prompt);
    if (outcome.refusal || outcome.decoded.text != text || outcome.decoded.endedEarly ||
        outcome.decoded.crcDiffers)
        std::abort();
    return 0;
}
