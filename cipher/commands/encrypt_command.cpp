#include "cipher/commands/encrypt_command.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/commands/dialog_prompt.h"
#include "cipher/document_lines.h"
#include "cipher/group_codec.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"

namespace mus {

namespace {

// The header of `lines` when they are one whole block, START line to END
// line, of `method` with a text of `textSize` bytes.
std::optional<BlockHeader> WholeBlockHeader(const TextLines& lines, std::int32_t method, std::size_t textSize)
{
    const std::int32_t count = lines.LineCount();
    if (count < 2 || lines.Line(0) != kStartLine || lines.Line(count - 1) != kEndLine) return std::nullopt;
    const HeaderResult read = ReadHeader(lines);
    if (read.refusal || read.header.method != method || read.header.textLength != static_cast<std::int64_t>(textSize)) {
        return std::nullopt;
    }
    return read.header;
}

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
    return AskForNewPhrase(prompt, method);
}

// Writes the block into the transfer file and makes what is read back the
// document's text, once it is known to decrypt to the text. Every way out
// deletes the transfer file first and then brings the normal cursor back
// (destruction in reverse order). The key derivation of Method 02 runs
// under the busy cursor, once: the check reuses its key.
void WriteThroughTransferFile(CommandUser& user, CommandDocument& document, TransferFiles& files,
                              const MethodInfo& method, std::string& phrase, Costs costs)
{
    BusyCursor busy(user);
    std::unique_ptr<TransferFile> file = files.Create();
    std::string text = document.Text();
    const ScopedWipe wipeText(text);
    const LineSink toFile = [&file](std::string_view line) { file->WriteLine(line); };
    std::optional<SealingKey> key;
    WriteBlock(text, phrase, method, costs, key, toFile);
    file->Finish();

    try {
        const std::string block = NormaliseLineBreaks(file->ReadAll());
        // A writer fault or a disk that gave back other bytes must never
        // cost the user the text.
        const bool verified = key ? BlockDecodesTo(block, text, *key)
                                  : BlockDecodesTo(block, text, phrase, method.code);
        if (verified) {
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

bool BlockDecodesTo(std::string_view block, std::string_view text, std::string_view phrase, std::int32_t method)
{
    const TextLines lines(block);
    const std::optional<BlockHeader> header = WholeBlockHeader(lines, method, text.size());
    if (!header || header->phraseLength != static_cast<std::int64_t>(phrase.size())) return false;
    if (!phrase.empty() && !PhraseMatches(lines, *header, phrase)) return false;
    DecodedText decoded = DecodeText(lines, *header, phrase);
    const ScopedWipe wipeDecoded(decoded.text);
    // Decrypting hands the editor a zero-terminated string.
    const std::string_view expected = text.substr(0, text.find('\0'));
    return !decoded.endedEarly && !decoded.crcDiffers && decoded.text == expected;
}

bool BlockDecodesTo(std::string_view block, std::string_view text, const SealingKey& key)
{
    const TextLines lines(block);
    const std::optional<BlockHeader> header = WholeBlockHeader(lines, kMethod02, text.size());
    if (!header) return false;
    const SealedRead read = ReadSealedBlock(lines, *header);
    if (read.refusal || read.block.crcDiffers || read.block.salt != key.KeySalt() ||
        read.block.costs != key.KeyCosts() || !key.Matches(read.block.check)) {
        return false;
    }
    std::optional<std::string> opened = OpenSealedBlock(read.block, key);
    if (!opened) return false;
    const ScopedWipe wipeOpened(*opened);
    return *opened == text;
}

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
