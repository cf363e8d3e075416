#include "cipher/commands/decrypt_command.h"

#include <optional>
#include <string>
#include <utility>

#include "cipher/block_reader.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/methods.h"

namespace mus {

namespace {

// The phrase prompt as the window shows it: a new, empty dialog for every
// attempt, the mismatch box, and the busy cursor while a key is derived.
class DialogPrompt final : public PhrasePrompt {
public:
    DialogPrompt(CommandUser& user, std::int32_t limit) : user_(user), limit_(limit) {}

    std::optional<std::string> Ask() override
    {
        const std::unique_ptr<PhraseDialog> dialog = user_.CreatePhraseDialog(limit_);
        return dialog->Ask(msg::kPromptProtected);
    }

    bool RetryAfterMismatch() override
    {
        return user_.Alert(AlertSound::Stop, BoxKind::Error, msg::kPhraseMismatch, Button::Retry | Button::Cancel) ==
               Answer::Retry;
    }

    void Working(bool busy) override { user_.SetBusyCursor(busy); }

private:
    CommandUser& user_;
    std::int32_t limit_;
};

void Refuse(CommandUser& user, Refusal refusal, const BlockHeader& header)
{
    if (refusal == Refusal::PhraseCancelled) return;
    user.Alert(AlertSound::Stop, BoxKind::Error, RefusalMessage(refusal, header), ButtonSet(Button::Ok));
}

// A Method 02 block: bounded and read before the prompt, a key derivation
// for every attempt, and only an authenticated text reaches the document.
void DecryptMethod02(CommandUser& user, CommandDocument& document, const BlockHeader& header)
{
    const SealedRead read = ReadSealedBlock(document, header);
    if (read.refusal) return Refuse(user, *read.refusal, header);
    DialogPrompt prompt(user, FindMethod(kMethod02)->phraseLimit);
    std::optional<SealingKey> key;
    if (const std::optional<Refusal> refusal = FindKey(read.block, prompt, key)) return Refuse(user, *refusal, header);

    BusyCursor busy(user);
    std::optional<std::string> text = OpenSealedBlock(read.block, *key);
    if (!text) {
        busy.Release();
        return Refuse(user, Refusal::Damaged, header);
    }
    document.ReplaceWithBuffer(*text);
}

} // namespace

void DecryptCommand(CommandUser& user, CommandDocument& document)
{
    const HeaderResult read = ReadHeader(document);
    if (read.refusal) return Refuse(user, *read.refusal, read.header);
    const BlockHeader& header = read.header;
    if (header.method == kMethod02) return DecryptMethod02(user, document, header);

    std::string phrase;
    if (header.phraseLength > 0) {
        // Any method code below 2 reads as Method 00 or 01, with their limit.
        DialogPrompt prompt(user, FindMethod(kMethod01)->phraseLimit);
        std::optional<std::string> entered = AskForMatchingPhrase(document, header, prompt);
        if (!entered) return;
        phrase = std::move(*entered);
    }

    BusyCursor busy(user);
    const DecodedText decoded = DecodeText(document, header, phrase);
    document.ReplaceWithBuffer(decoded.text);
    busy.Release();

    if (decoded.endedEarly) {
        user.Alert(AlertSound::Exclamation, BoxKind::Warning, msg::kEndedEarly, ButtonSet(Button::Ok));
    } else if (decoded.crcMissing) {
        user.Alert(AlertSound::Exclamation, BoxKind::Warning, msg::kCrcMissing, ButtonSet(Button::Ok));
    } else if (decoded.crcDiffers) {
        user.Alert(AlertSound::Exclamation, BoxKind::Warning, msg::kCrcError, ButtonSet(Button::Ok));
    }
}

} // namespace mus
