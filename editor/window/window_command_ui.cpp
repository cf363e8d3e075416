#include "editor/window/window_command_ui.h"

#include <QLabel>
#include <QRadioButton>

#include <memory>

#include "editor/dialogs/method_dialog.h"
#include "editor/dialogs/phrase_dialog.h"
#include "editor/document/byte_document.h"
#include "editor/window/decrypted_text_guard.h"
#include "editor/window/main_window.h"

namespace mus {

namespace {

// One frm_PWord, a child of the main window while the command holds it.
class WindowPhraseDialog final : public PhraseDialog {
public:
    WindowPhraseDialog(frm_CText& window, const PhraseRule& rule) : dialog_(std::make_unique<frm_PWord>(&window, rule))
    {
    }

    std::optional<std::string> Ask(std::string_view prompt, PromptTopic topic) override
    {
        dialog_->SetPrompt(QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())), topic);
        if (dialog_->exec() != QDialog::Accepted) return std::nullopt;
        return dialog_->Phrase();
    }

private:
    std::unique_ptr<frm_PWord> dialog_;
};

} // namespace

std::optional<std::int32_t> WindowCommandUser::AskForMethod()
{
    frm_EncodeMethod dialog(&window_);
    dialog.CheckMethod(kMethod01);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.ChosenMethod;
}

std::unique_ptr<PhraseDialog> WindowCommandUser::CreatePhraseDialog(const PhraseRule& rule)
{
    return std::make_unique<WindowPhraseDialog>(window_, rule);
}

Answer WindowCommandUser::ShowBox(BoxKind kind, std::string_view text, Buttons buttons)
{
    return desktop::MessageBox(&window_, kind, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                               buttons);
}

void WindowCommandUser::PlaySound(AlertSound sound)
{
    desktop::PlaySound(sound);
}

void WindowCommandUser::SetBusyCursor(bool busy)
{
    if (busy) {
        if (!busy_) busy_.emplace();
    } else {
        busy_.reset();
    }
}

std::int64_t WindowDocument::TextLength() const
{
    return document_.TextLength();
}

std::int32_t WindowDocument::LineCount() const
{
    return document_.LineCount();
}

std::string_view WindowDocument::Line(std::int32_t index) const
{
    return document_.Line(index);
}

std::string WindowDocument::Text() const
{
    return document_.Text();
}

void WindowDocument::LoadText(std::string_view bytes)
{
    document_.SetText(bytes);
}

void WindowDocument::ReplaceWithBuffer(std::string_view buffer)
{
    if (decrypted_ == nullptr) return document_.SetTextFromBuffer(buffer);
    decrypted_->PutDecryptedText([this, buffer] { document_.SetTextFromBuffer(buffer); });
}

TextRange WindowDocument::Selection() const
{
    const auto [begin, end] = document_.SelectionBytes();
    return {static_cast<std::size_t>(begin), static_cast<std::size_t>(end)};
}

void WindowDocument::ReplaceRange(TextRange range, std::string_view bytes)
{
    const auto replace = [this, range, bytes] {
        document_.ReplaceBytes(static_cast<std::int64_t>(range.begin), static_cast<std::int64_t>(range.end), bytes);
    };
    if (decrypted_ == nullptr) return replace();
    decrypted_->PutDecryptedText(replace);
}

} // namespace mus
