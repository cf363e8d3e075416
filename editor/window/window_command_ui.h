#pragma once
// The commands' user and document, as the main window provides them: the
// phrase and method dialogs, the message boxes, the alert sounds, the busy
// cursor and the editor's byte document. The only part of the window that
// shows boxes and plays sounds through the desktop layer.

#include <optional>

#include "cipher/commands/command_ui.h"
#include "editor/desktop/desktop.h"

class frm_CText;

namespace mus {

class ByteDocument;
class DecryptedTextGuard;

class WindowCommandUser final : public CommandUser {
public:
    explicit WindowCommandUser(frm_CText& window) : window_(window) {}

    std::optional<std::int32_t> AskForMethod() override;
    std::unique_ptr<PhraseDialog> CreatePhraseDialog(const PhraseRule& rule) override;
    Answer ShowBox(BoxKind kind, std::string_view text, Buttons buttons) override;
    void PlaySound(AlertSound sound) override;
    void SetBusyCursor(bool busy) override;

private:
    frm_CText& window_;
    std::optional<desktop::BusyCursorScope> busy_;
};

class WindowDocument final : public CommandDocument {
public:
    // With `decrypted`, the text ReplaceWithBuffer and ReplaceRange put in
    // is decrypted text (DecryptedTextGuard::PutDecryptedText).
    explicit WindowDocument(ByteDocument& document, DecryptedTextGuard* decrypted = nullptr)
        : document_(document), decrypted_(decrypted)
    {
    }

    std::int64_t TextLength() const override;
    std::int32_t LineCount() const override;
    std::string_view Line(std::int32_t index) const override;
    std::string Text() const override;
    void LoadText(std::string_view bytes) override;
    void ReplaceWithBuffer(std::string_view buffer) override;
    TextRange Selection() const override;
    void ReplaceRange(TextRange range, std::string_view bytes) override;

private:
    ByteDocument& document_;
    DecryptedTextGuard* decrypted_;
};

} // namespace mus
