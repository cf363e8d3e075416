// Feeds arbitrary documents to the reading procedure and arbitrary fields to
// the number reader. The prompt answers twice, with phrases cut from the
// input, then gives up. A Method 02 block always reaches the stage before the
// prompt; the whole reading, with its key derivations, runs only for a block
// at the least costs, so that no input costs a real derivation.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "cipher/method02.h"
#include "cipher/transport_repair.h"

namespace {

class FuzzPrompt final : public mus::PhrasePrompt {
public:
    explicit FuzzPrompt(std::string_view input) : input_(input) {}

    std::optional<std::string> Ask(std::string_view, mus::PromptTopic, const mus::PhraseRule&) override
    {
        if (attempts_ == 2) return std::nullopt;
        const std::size_t start = attempts_++ * 16;
        if (start >= input_.size()) return std::string();
        return std::string(input_.substr(start, input_[start] % 17));
    }

    bool RetryAfter(std::string_view) override { return true; }

private:
    std::string_view input_;
    std::size_t attempts_ = 0;
};

void Check(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The number reader on the whole input and on its first line.
    const std::int32_t number = mus::ReadNumber(input);
    const std::string version = mus::FormatVersion(number);
    Check(version.size() >= 4 && version[version.size() - 3] == '.');
    mus::ReadNumber(input.substr(0, input.find('\n')));

    const mus::TextLines lines(input);
    const bool encrypted = mus::IsEncryptedText(lines);
    const mus::HeaderResult header = mus::ReadHeader(lines);
    if (!header.refusal && header.header.method == mus::kMethod02) {
        const mus::SealedRead sealed = mus::ReadSealedBlock(lines, header.header);
        if (!sealed.refusal) {
            Check(mus::WithinReaderBounds(sealed.block.costs) && header.header.phraseLength == 1);
            Check(sealed.block.sealed.size() == static_cast<std::size_t>(header.header.textLength) + mus::kTagSize);
            if (sealed.block.costs != mus::kMinimumCosts) return 0;
        }
    }
    // The repairing reading too, when its view of a Method 02 block costs no
    // more than the least: a repaired text is always a verified one.
    std::optional<std::size_t> locatedAt;
    if (header.located) locatedAt = mus::LineOffset(input, header.header.headerLine);
    bool cheap = true;
    if (const std::optional<mus::RepairedBlock> repaired = mus::RepairTransport(input, locatedAt)) {
        Check(repaired->span.begin <= repaired->span.end && repaired->span.end <= input.size());
        const mus::TextLines repairedLines(repaired->lines);
        const mus::HeaderResult repairedHeader = mus::ReadHeader(repairedLines);
        if (!repairedHeader.refusal && repairedHeader.header.method == mus::kMethod02) {
            const mus::SealedRead sealed = mus::ReadSealedBlock(repairedLines, repairedHeader.header);
            cheap = sealed.refusal || sealed.block.costs == mus::kMinimumCosts;
        }
    }
    if (cheap) {
        FuzzPrompt repairPrompt(input);
        try {
            const mus::ReadOutcome outcome = mus::DecryptDocument(input, repairPrompt);
            if (outcome.repairs.Any()) {
                Check(!outcome.refusal && !mus::DecodeWarning(outcome.decoded));
                Check(outcome.decoded.text.size() <= static_cast<std::size_t>(outcome.header.textLength));
            }
            Check(outcome.span.begin <= outcome.span.end && outcome.span.end <= input.size());
        } catch (const mus::IntegerOverflow&) {
        }
    }

    FuzzPrompt prompt(input);
    try {
        const mus::ReadOutcome outcome = mus::ReadArmouredBlock(lines, prompt);
        Check(!outcome.refusal || *outcome.refusal != mus::Refusal::NoHeaderAndFooter || !encrypted);
        if (!outcome.refusal && outcome.header.method == mus::kMethod02) {
            // Only an authenticated text, never more than the header says.
            Check(outcome.decoded.text.size() <= static_cast<std::size_t>(outcome.header.textLength));
            Check(!outcome.decoded.endedEarly && !outcome.decoded.crcMissing && !outcome.decoded.crcDiffers);
        } else if (!outcome.refusal) {
            Check(encrypted);
            const auto& decoded = outcome.decoded;
            Check(decoded.text.find('\0') == std::string::npos);
            Check(decoded.text.size() <= static_cast<std::size_t>(outcome.header.textLength));
            Check(!(decoded.crcMissing && decoded.crcDiffers));
            Check(!decoded.endedEarly || (!decoded.crcMissing && !decoded.crcDiffers));
            // Never more than three bytes per group that the lines above the CRC line can hold.
            const std::int64_t bodyLines = outcome.header.crcLine - outcome.header.headerLine - 1;
            Check(static_cast<std::int64_t>(decoded.text.size()) <= bodyLines * 16 * 3);
        } else {
            Check(!mus::RefusalMessage(*outcome.refusal, outcome.header).empty() ||
                  *outcome.refusal == mus::Refusal::PhraseCancelled);
        }
    } catch (const mus::IntegerOverflow&) {
        // A crafted body of several megabytes may overflow the CRC sum.
    }
    return 0;
}
