#include "cipher/commands/decrypt_command.h"

#include <optional>
#include <string>
#include <string_view>

#include "cipher/block_reader.h"
#include "cipher/commands/dialog_prompt.h"
#include "cipher/messages.h"

namespace mus {

void DecryptCommand(CommandUser& user, CommandDocument& document)
{
    DialogPrompt prompt(user, DialogPrompt::Dialogs::OnePerAttempt);
    // The text replaces the document in one step, under the busy cursor; the
    // document is read from a copy of its bytes, which the replacement leaves
    // as it was.
    const std::string bytes = document.Text();
    const ReadOutcome outcome = DecryptDocument(
        bytes, prompt, [&document](std::string_view text) { document.ReplaceWithBuffer(text); }, Delivery::Whole);
    if (outcome.refusal) {
        if (*outcome.refusal != Refusal::PhraseCancelled)
            user.Alert(AlertSound::Stop, BoxKind::Error, RefusalMessage(*outcome.refusal, outcome.header),
                       ButtonSet(Button::Ok));
        return;
    }
    // A repaired block is verified: there is nothing to warn about, only to tell.
    if (outcome.repairs.Any()) {
        user.ShowBox(BoxKind::Information, std::string(msg::kRepairedPrefix) + RepairItems(outcome.repairs) + ".",
                     ButtonSet(Button::Ok));
        return;
    }
    if (const std::optional<std::string_view> warning = DecodeWarning(outcome.decoded))
        user.Alert(AlertSound::Exclamation, BoxKind::Warning, *warning, ButtonSet(Button::Ok));
}

} // namespace mus
