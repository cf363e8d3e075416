// Any text of 1 to 22528 bytes without a zero byte comes back unchanged
// through the block: with any phrase of up to 16 bytes in Methods 00 and 01,
// and with any phrase of 1 to 64 bytes in Method 02 at the least costs, its
// salt and nonce taken from the input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/method02.h"

namespace {

class KnownPhrase final : public mus::PhrasePrompt {
public:
    explicit KnownPhrase(std::string phrase) : phrase_(std::move(phrase)) {}
    std::optional<std::string> Ask(std::string_view, mus::PromptTopic, const mus::PhraseRule&) override
    {
        return phrase_;
    }
    bool RetryAfter(std::string_view) override { std::abort(); }

private:
    std::string phrase_;
};

bool Usable(const std::string& text)
{
    return !text.empty() && text.size() <= static_cast<std::size_t>(mus::kMaxTextLength) &&
           text.find('\0') == std::string::npos;
}

void ReadsBack(const std::string& block, const std::string& phrase, const std::string& text)
{
    KnownPhrase prompt(phrase);
    const mus::ReadOutcome outcome = mus::ReadArmouredBlock(mus::TextLines(block), prompt);
    if (outcome.refusal || outcome.decoded.text != text || outcome.decoded.endedEarly || outcome.decoded.crcDiffers)
        std::abort();
}

const mus::LineSink Appender(std::string& block)
{
    return [&block](std::string_view line) {
        block += line;
        block += "\r\n";
    };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const auto* bytes = reinterpret_cast<const char*>(data);
    const std::int32_t method = data[0] % 3;
    std::string block;
    if (method == mus::kMethod02) {
        const std::size_t saltAndNonce = mus::kSaltSize + mus::kNonceSize;
        const std::size_t phraseLength = data[0] / 3 % mus::kMethod02PhraseLimit + 1;
        if (size < 1 + saltAndNonce + phraseLength) return 0;
        mus::Salt salt;
        mus::Nonce nonce;
        std::copy_n(data + 1, salt.size(), salt.begin());
        std::copy_n(data + 1 + salt.size(), nonce.size(), nonce.begin());
        const std::string phrase(bytes + 1 + saltAndNonce, phraseLength);
        const std::string text(bytes + 1 + saltAndNonce + phraseLength, size - 1 - saltAndNonce - phraseLength);
        if (!Usable(text)) return 0;
        const mus::SealingKey key(phrase, salt, mus::kMinimumCosts);
        mus::WriteMethod02Block(text, key, nonce, Appender(block));
        ReadsBack(block, phrase, text);
        return 0;
    }
    const std::size_t phraseLength = std::min<std::size_t>(data[0] / 3 % 17, size - 1);
    const std::string phrase(bytes + 1, phraseLength);
    const std::string text(bytes + 1 + phraseLength, size - 1 - phraseLength);
    if (!Usable(text)) return 0;
    mus::WriteArmouredBlock(text, phrase, method, Appender(block));
    ReadsBack(block, phrase, text);
    return 0;
}
