#include "cipher/commands/encrypt_command.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "cipher/armoured_block.h"
#include "cipher/commands/dialog_prompt.h"
#include "cipher/document_lines.h"
#include "cipher/messages.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"
#include "cipher/secret.h"

namespace mus {

namespace {

// Method 01, or the method chosen in the method dialog when `ask` is set;
// null when the dialog was cancelled.
const MethodInfo* ChooseMethod(CommandUser& user, bool ask)
{
    if (!ask) return FindMethod(kMethod01);
    const std::optional<std::int32_t> chosen = user.AskForMethod();
    if (!chosen) return nullptr;
    const MethodInfo* method = FindMethod(*chosen);
    if (method == nullptr) throw std::invalid_argument("the method dialog gave an unknown method");
    return method;
}

// The phrase, or nothing when the user gave up. One dialog, limited to the
// method's phrase length, serves every prompt and is destroyed on the way out.
std::optional<std::string> AskForPhrase(CommandUser& user, const MethodInfo& method)
{
    DialogPrompt prompt(user, DialogPrompt::Dialogs::OnePerRun);
    return AskForNewPhrase(prompt, PhraseRuleOf(method));
}

// Writes the block into the transfer file and makes what is read back the
// document's text, once it is known to decrypt to the text. Every way out
// deletes the transfer file first and then brings the normal cursor back
// (destruction in reverse order). The method's family writes the block and
// checks it; Method 02 derives its key under the busy cursor, once.
void WriteThroughTransferFile(CommandUser& user, CommandDocument& document, TransferFiles& files,
                              const MethodInfo& method, std::string& phrase, Costs costs)
{
    BusyCursor busy(user);
    std::unique_ptr<TransferFile> file = files.Create();
    std::string text = document.Text();
    const ScopedWipe wipeText(text);
    const LineSink toFile = [&file](std::string_view line) { file->WriteLine(line); };
    const std::unique_ptr<WrittenBlock> written = method.family->Write(text, phrase, method, costs, toFile);
    file->Finish();

    try {
        const std::string block = NormaliseLineBreaks(file->ReadAll());
        // A writer fault or a disk that gave back other bytes must never
        // cost the user the text.
        if (written->DecodesTo(block, text)) {
            document.LoadText(block);
        } else {
            user.Alert(AlertSound::Stop, BoxKind::Error, kNotVerified, ButtonSet(Button::Ok));
        }
    } catch (const Failure& failure) {
        // The load's failures ("Cannot open file ...", "Text exceeds memo
        // capacity") are shown here, without a sound, and the run goes on.
        user.ShowBox(BoxKind::Error, failure.what(), ButtonSet(Button::Ok));
    }

    file.reset();
    busy.Release();
}

} // namespace

void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, TransferFiles& files, Costs costs)
{
    // The flag serves this one run, whichever way it ends.
    const bool askMethod = std::exchange(askForMethod, false);

    if (const std::optional<std::string_view> refusal = EncryptRefusal(document.TextLength())) {
        user.Alert(AlertSound::Stop, BoxKind::Error, *refusal, ButtonSet(Button::Ok));
        return;
    }
    const MethodInfo* method = ChooseMethod(user, askMethod);
    if (method == nullptr) return;
    if (IsEncryptedText(document) && user.Alert(AlertSound::Question, BoxKind::Confirm, msg::kAlreadyEncrypted,
                                                Button::Yes | Button::No) == Answer::No) {
        return;
    }
    std::optional<std::string> phrase = AskForPhrase(user, *method);
    if (!phrase) return;
    const ScopedWipe wipePhrase(*phrase);
    WriteThroughTransferFile(user, document, files, *method, *phrase, costs);
}

void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, Costs costs)
{
    SystemTransferFiles files;
    EncryptCommand(user, document, askForMethod, files, costs);
}

} // namespace mus
