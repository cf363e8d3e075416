#include "cipher/commands/decrypt_command.h"

#include <optional>
#include <string>
#include <utility>

#include "cipher/block_reader.h"
#include "cipher/messages.h"

namespace mus {

void DecryptCommand(CommandUser& user, CommandDocument& document)
{
    const HeaderResult read = ReadHeader(document);
    if (read.refusal) {
        user.Alert(AlertSound::Stop, BoxKind::Error, RefusalMessage(*read.refusal, read.header),
                   ButtonSet(Button::Ok));
        return;
    }
    const BlockHeader& header = read.header;

    std::string phrase;
    if (header.phraseLength > 0) {
        for (;;) {
            std::optional<std::string> entered;
            {
                // A new, empty dialog for every attempt.
                const std::unique_ptr<PhraseDialog> dialog = user.CreatePhraseDialog();
                entered = dialog->Ask(msg::kPromptProtected);
            }
            if (!entered) return;
            if (PhraseMatches(document, header, *entered)) {
                phrase = std::move(*entered);
                break;
            }
            if (user.Alert(AlertSound::Stop, BoxKind::Error, msg::kPhraseMismatch, Button::Retry | Button::Cancel) !=
                Answer::Retry) {
                return;
            }
        }
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
