#include "cipher/commands/decrypt_command.h"

#include <optional>
#include <string_view>

#include "cipher/block_reader.h"
#include "cipher/commands/dialog_prompt.h"

namespace mus {

void DecryptCommand(CommandUser& user, CommandDocument& document)
{
    DialogPrompt prompt(user, DialogPrompt::Dialogs::OnePerAttempt);
    // The text replaces the document in one step, under the busy cursor; the
    // lines are not read again after it.
    const ReadOutcome outcome = ReadArmouredBlock(
        document, prompt, [&document](std::string_view text) { document.ReplaceWithBuffer(text); }, Delivery::Whole);
    if (outcome.refusal) {
        if (*outcome.refusal != Refusal::PhraseCancelled)
            user.Alert(AlertSound::Stop, BoxKind::Error, RefusalMessage(*outcome.refusal, outcome.header),
                       ButtonSet(Button::Ok));
        return;
    }
    if (const std::optional<std::string_view> warning = DecodeWarning(outcome.decoded))
        user.Alert(AlertSound::Exclamation, BoxKind::Warning, *warning, ButtonSet(Button::Ok));
}

} // namespace mus
