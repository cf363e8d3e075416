#include "cipher/commands/encrypt_command.h"

#include <algorithm>
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

// What a run encrypts, and where its block goes.
class Target {
public:
    virtual ~Target() = default;
    // Bytes of the text, each line break counting two.
    virtual std::int64_t Length() = 0;
    // The text holds an armoured block already (the detection rule).
    virtual bool HoldsBlock() = 0;
    // The text, read once the questions are answered.
    virtual std::string Text() = 0;
    // Puts the block, its lines each ended by CR LF, in the text's place.
    virtual void Place(std::string_view block) = 0;
};

// Encrypt's: the whole document, which the block replaces.
class WholeDocument final : public Target {
public:
    explicit WholeDocument(CommandDocument& document) : document_(document) {}
    std::int64_t Length() override { return document_.TextLength(); }
    bool HoldsBlock() override { return IsEncryptedText(document_); }
    std::string Text() override { return document_.Text(); }
    void Place(std::string_view block) override { document_.LoadText(block); }

private:
    CommandDocument& document_;
};

// Encrypt Selection's: the selected bytes, whose place the block takes on
// lines of its own.
class SelectedText final : public Target {
public:
    explicit SelectedText(CommandDocument& document) : document_(document), range_(document.Selection()) {}
    ~SelectedText() override
    {
        Wipe(whole_);
        Wipe(selected_);
    }
    SelectedText(const SelectedText&) = delete;
    SelectedText& operator=(const SelectedText&) = delete;

    std::int64_t Length() override { return static_cast<std::int64_t>(range_.end - range_.begin); }
    bool HoldsBlock() override { return IsEncryptedText(TextLines(Selected())); }
    std::string Text() override { return std::string(Selected()); }

    // A line break goes before the block where the selection begins inside a
    // line. Where a line break follows the selection it ends the END line,
    // in the place of the block's own last one; elsewhere the block's own
    // breaks the line, or ends the document as Encrypt's does.
    void Place(std::string_view block) override
    {
        const std::string_view whole = Whole();
        const bool startsLine = range_.begin == 0 || whole[range_.begin - 1] == '\n' || whole[range_.begin - 1] == '\r';
        const bool breakFollows = range_.end < whole.size() && (whole[range_.end] == '\r' || whole[range_.end] == '\n');
        if (breakFollows && block.ends_with("\r\n")) block.remove_suffix(2);
        document_.ReplaceRange(range_, (startsLine ? std::string() : std::string("\r\n")).append(block));
    }

private:
    // The document's text, read when first needed; the range kept within it.
    std::string_view Whole()
    {
        if (!read_) {
            read_ = true;
            whole_ = document_.Text();
            range_.end = std::min(range_.end, whole_.size());
            range_.begin = std::min(range_.begin, range_.end);
            selected_ = whole_.substr(range_.begin, range_.end - range_.begin);
        }
        return whole_;
    }
    std::string_view Selected()
    {
        Whole();
        return selected_;
    }

    CommandDocument& document_;
    TextRange range_;
    bool read_ = false;
    std::string whole_;
    std::string selected_;
};

// Writes the block into the transfer file and puts what is read back in the
// target's place, once it is known to decrypt to the text. Every way out
// deletes the transfer file first and then brings the normal cursor back
// (destruction in reverse order). The method's family writes the block and
// checks it; Method 02 derives its key under the busy cursor, once.
void WriteThroughTransferFile(CommandUser& user, Target& target, TransferFiles& files, const MethodInfo& method,
                              std::string& phrase, Costs costs)
{
    BusyCursor busy(user);
    std::unique_ptr<TransferFile> file = files.Create();
    std::string text = target.Text();
    const ScopedWipe wipeText(text);
    const LineSink toFile = [&file](std::string_view line) { file->WriteLine(line); };
    const std::unique_ptr<WrittenBlock> written = method.family->Write(text, phrase, method, costs, toFile);
    file->Finish();

    try {
        const std::string block = NormaliseLineBreaks(file->ReadAll());
        // A writer fault or a disk that gave back other bytes must never
        // cost the user the text.
        if (written->DecodesTo(block, text)) {
            target.Place(block);
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

// Encrypt's steps, whatever the target: the refusals, the method, the
// question about a text that holds a block, the phrase, the block.
void Encrypt(CommandUser& user, Target& target, bool askMethod, TransferFiles& files, Costs costs)
{
    // Before the method is chosen, the text is held to the largest limit of
    // any method; once it is, to the chosen method's.
    const auto refused = [&](const MethodInfo& method) {
        const std::optional<std::string_view> refusal = EncryptRefusal(target.Length(), method);
        if (refusal) user.Alert(AlertSound::Stop, BoxKind::Error, *refusal, ButtonSet(Button::Ok));
        return refusal.has_value();
    };
    if (refused(askMethod ? kLongestTextMethod : *FindMethod(kMethod01))) return;
    const MethodInfo* method = ChooseMethod(user, askMethod);
    if (method == nullptr || refused(*method)) return;
    if (target.HoldsBlock() && user.Alert(AlertSound::Question, BoxKind::Confirm, msg::kAlreadyEncrypted,
                                          Button::Yes | Button::No) == Answer::No) {
        return;
    }
    std::optional<std::string> phrase = AskForPhrase(user, *method);
    if (!phrase) return;
    const ScopedWipe wipePhrase(*phrase);
    WriteThroughTransferFile(user, target, files, *method, *phrase, costs);
}

} // namespace

void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, TransferFiles& files, Costs costs)
{
    // The flag serves this one run, whichever way it ends.
    const bool askMethod = std::exchange(askForMethod, false);
    WholeDocument target(document);
    Encrypt(user, target, askMethod, files, costs);
}

void EncryptSelectionCommand(CommandUser& user, CommandDocument& document, TransferFiles& files, Costs costs)
{
    SelectedText target(document);
    Encrypt(user, target, true, files, costs);
}

void EncryptSelectionCommand(CommandUser& user, CommandDocument& document, Costs costs)
{
    SystemTransferFiles files;
    EncryptSelectionCommand(user, document, files, costs);
}

void EncryptCommand(CommandUser& user, CommandDocument& document, bool& askForMethod, Costs costs)
{
    SystemTransferFiles files;
    EncryptCommand(user, document, askForMethod, files, costs);
}

} // namespace mus
