#include "cipher/commands/decrypt_command.h"

#include <optional>
#include <string>
#include <string_view>

#include "cipher/block_reader.h"
#include "cipher/commands/dialog_prompt.h"
#include "cipher/messages.h"
#include "cipher/secret.h"

namespace mus {

namespace {

// What the user is told once the reading is over: its refusal, what was
// repaired, or the warning about the text now in the document.
void Report(CommandUser& user, const ReadOutcome& outcome)
{
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

} // namespace

// The text goes into the document in one step, under the busy cursor; the
// document is read from a copy of its bytes, which the replacement leaves as
// it was.
void DecryptCommand(CommandUser& user, CommandDocument& document)
{
    DialogPrompt prompt(user, DialogPrompt::Dialogs::OnePerAttempt);
    const std::string bytes = document.Text();
    Report(user, DecryptDocument(
                     bytes, prompt, [&document](std::string_view text) { document.ReplaceWithBuffer(text); },
                     Delivery::Whole));
}

void DecryptInPlaceCommand(CommandUser& user, CommandDocument& document)
{
    DialogPrompt prompt(user, DialogPrompt::Dialogs::OnePerAttempt);
    const std::string bytes = document.Text();
    Report(user, DecryptDocument(bytes, prompt, [&document](const BlockSpan& span, std::string_view text) {
               // Room for the line break first: the copy is never moved.
               std::string replacement;
               const ScopedWipe wipe(replacement);
               replacement.reserve(text.size() + 2);
               replacement.append(text).append(LineBreakAfter(text));
               document.ReplaceRange({span.begin, span.end}, replacement);
           }));
}

} // namespace mus
