#include "cipher/block_reader.h"

#include <memory>
#include <utility>

#include "cipher/messages.h"
#include "cipher/secret.h"

namespace mus {

std::optional<std::string_view> DecodeWarning(const DecodedText& decoded)
{
    if (decoded.endedEarly) return msg::kEndedEarly;
    if (decoded.crcMissing) return msg::kCrcMissing;
    if (decoded.crcDiffers) return msg::kCrcError;
    return std::nullopt;
}

ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink, Delivery delivery)
{
    ReadOutcome outcome;
    const HeaderResult read = ReadHeader(lines);
    outcome.header = read.header;
    outcome.refusal = read.refusal;
    if (outcome.refusal) return outcome;

    const MethodInfo& method = ReaderMethod(outcome.header.method);
    const std::unique_ptr<FamilyReading> reading = method.family->BeginReading(method);
    FamilyReading::Opened opened = reading->Open(lines, outcome.header);
    if (opened.refusal) {
        outcome.refusal = opened.refusal;
        return outcome;
    }
    BlockBody& body = *opened.body;
    if (body.NeedsPhrase()) {
        KnownPhrase known = AskForKnownPhrase(prompt, PhraseRuleOf(method), [&](const std::string& entered) {
            if (body.Unlock(entered, prompt)) return PhraseVerdict::Fits;
            return body.MismatchIsDamage() ? PhraseVerdict::Damaged : PhraseVerdict::Wrong;
        });
        if (!known.phrase) {
            outcome.refusal = known.damaged ? Refusal::Damaged : Refusal::PhraseCancelled;
            return outcome;
        }
        Wipe(*known.phrase);
    }
    const PromptWorking working(prompt);
    BlockBody::Result result = body.Decode(sink, delivery);
    outcome.refusal = result.refusal;
    outcome.decoded = std::move(result.decoded);
    return outcome;
}

} // namespace mus
