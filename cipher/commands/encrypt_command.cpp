#include "cipher/commands/encrypt_command.h"

#include <optional>
#include <string>
#include <utility>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/group_codec.h"
#include "cipher/messages.h"

namespace mus {

namespace {

// The phrase exchange: the phrase, or nothing when the user gave up. One
// dialog serves every prompt of the run and is destroyed on the way out.
std::optional<std::string> AskForPhrase(CommandUser& user)
{
    const std::unique_ptr<PhraseDialog> dialog = user.CreatePhraseDialog();
    for (;;) {
        std::optional<std::string> first = dialog->Ask(msg::kPromptPhrase);
        if (!first) return std::nullopt;
        if (first->empty()) return first;  // no phrase, no confirmation
        const std::optional<std::string> second = dialog->Ask(msg::kPromptConfirm);
        if (!second) return std::nullopt;
        if (*second == *first) return first;
        if (user.Alert(AlertSound::Stop, BoxKind::Error, msg::kPhrasesDoNotMatch, Button::Retry | Button::Cancel) !=
            Answer::Retry) {
            return std::nullopt;
        }
    }
}

} // namespace

bool BlockDecodesTo(std::string_view block, std::string_view text, std::string_view phrase, std::int32_t method)
{
    const TextLines lines(block);
    const std::int32_t count = lines.LineCount();
    if (count < 2 || lines.Line(0) != kStartLine || lines.Line(count - 1) != kEndLine) return false;
    const HeaderResult read = ReadHeader(lines);
    if (read.refusal) return false;
    const BlockHeader& header = read.header;
    if (header.method != method || header.phraseLength != static_cast<std::int64_t>(phrase.size()) ||
        header.textLength != static_cast<std::int64_t>(text.size())) {
        return false;
    }
    if (!phrase.empty() && !PhraseMatches(lines, header, phrase)) return false;
    const DecodedText decoded = DecodeText(lines, header, phrase);
    // Decrypting hands the editor a zero-terminated string.
    const std::string_view expected = text.substr(0, text.find('\0'));
    return !decoded.endedEarly && !decoded.crcDiffers && decoded.text == expected;
}

void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, TransferFiles& files)
{
    // The flag serves this one run, whichever way it ends.
    const bool askMethod = std::exchange(askForMethod, false);

    const std::int64_t length = document.TextLength();
    if (length == 0) {
        user.Alert(AlertSound::Stop, BoxKind::Error, msg::kNoTextToEncrypt, ButtonSet(Button::Ok));
        return;
    }
    if (length > kMaxTextLength) {
        user.Alert(AlertSound::Stop, BoxKind::Error, msg::kTextTooLong, ButtonSet(Button::Ok));
        return;
    }

    std::int32_t method = kMethod01;
    if (askMethod) {
        const std::optional<std::int32_t> chosen = user.AskForMethod();
        if (!chosen) return;
        method = *chosen;
    }

    if (IsEncryptedText(document) &&
        user.Alert(AlertSound::Question, BoxKind::Confirm, msg::kAlreadyEncrypted, Button::Yes | Button::No) ==
            Answer::No) {
        return;
    }

    const std::optional<std::string> phrase = AskForPhrase(user);
    if (!phrase) return;

    // From here on every way out deletes the transfer file first and then
    // brings the normal cursor back (destruction in reverse order).
    BusyCursor busy(user);
    std::unique_ptr<TransferFile> file = files.Create();
    const std::string text = document.Text();
    WriteArmouredBlock(text, *phrase, method, [&file](std::string_view line) { file->WriteLine(line); });
    file->Finish();

    try {
        const std::string block = NormaliseLineBreaks(file->ReadAll());
        // A writer fault or a disk that gave back other bytes must never
        // cost the user the text.
        if (BlockDecodesTo(block, text, *phrase, method)) {
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

void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod)
{
    SystemTransferFiles files;
    EncryptCommand(user, document, askForMethod, files);
}

} // namespace mus
