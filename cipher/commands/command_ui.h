#pragma once
// What the commands need of the world around them: the user (dialogs,
// message boxes, sounds, the busy cursor), the one way every command of the
// window talks to the user, and, for Encrypt and Decrypt, the document.
// The window implements both with real widgets; the tests with scripted fakes.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/commands/dialog_types.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "cipher/phrase.h"

namespace mus {

// One phrase dialog. Every showing starts with an empty entry.
class PhraseDialog {
public:
    virtual ~PhraseDialog() = default;

    // Shows the dialog with `prompt`, its Help button opening the help on
    // `topic`; the entry (folded as it was typed where the dialog's rule
    // says so, else as typed; one the rule takes) on OK, nothing on Cancel.
    virtual std::optional<std::string> Ask(std::string_view prompt, PromptTopic topic) = 0;
};

class CommandUser {
public:
    virtual ~CommandUser() = default;

    // Creates the method dialog, checks "Method 01", shows it and destroys it:
    // the chosen method code on OK, nothing otherwise.
    virtual std::optional<std::int32_t> AskForMethod() = 0;

    // A new phrase dialog whose entry takes what `rule` takes: at most 16
    // bytes folded to upper case as they are typed (Methods 00 and 01), or
    // 64 bytes of the folded phrase, the entry keeping what was typed
    // (Method 02); a rated rule shows the strength of a new phrase.
    // Destroying the object destroys the dialog.
    virtual std::unique_ptr<PhraseDialog> CreatePhraseDialog(const PhraseRule& rule) = 0;

    // A modal message box; the answer is the button that closed it. The box
    // plays no sound of its own.
    virtual Answer ShowBox(BoxKind kind, std::string_view text, Buttons buttons) = 0;

    virtual void PlaySound(AlertSound sound) = 0;

    // The hourglass over the whole application, or the normal cursor.
    virtual void SetBusyCursor(bool busy) = 0;

    // The alert sound, then the box it announces.
    Answer Alert(AlertSound sound, BoxKind kind, std::string_view text, Buttons buttons)
    {
        PlaySound(sound);
        return ShowBox(kind, text, buttons);
    }
};

// The hourglass for the lifetime of the object, or until Release().
class BusyCursor {
public:
    explicit BusyCursor(CommandUser& user) : user_(&user) { user_->SetBusyCursor(true); }
    ~BusyCursor() { Release(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    void Release()
    {
        if (user_ != nullptr) {
            user_->SetBusyCursor(false);
            user_ = nullptr;
        }
    }

private:
    CommandUser* user_;
};

// Bytes [begin, end) of the document's text.
struct TextRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// The editor's document: its length and logical lines (DocumentLines), its
// bytes, its selection, and replacing all of it or a range of it in one
// step. A replacement raises the editor's change notification.
class CommandDocument : public DocumentLines {
public:
    // The whole text, every line break as CR LF; TextLength() bytes.
    virtual std::string Text() const = 0;

    // Makes `bytes` the whole text. Nothing happens when the text already is
    // exactly these bytes. Failure "Text exceeds memo capacity" when the
    // editor cannot hold them; it then keeps its text.
    virtual void LoadText(std::string_view bytes) = 0;

    // Makes the zero-terminated string in `buffer` (up to its first zero
    // byte, or all of it) the whole text, always replacing it. The same
    // failure as LoadText.
    virtual void ReplaceWithBuffer(std::string_view buffer) = 0;

    // The selection as bytes of Text(); begin == end where nothing is selected.
    virtual TextRange Selection() const = 0;

    // Puts `bytes` (any line breaks) in the place of `range` of Text(), every
    // other byte staying as it is, in one step that one Undo takes back. The
    // range neither begins nor ends inside a character or between the CR and
    // the LF of a line break. The same failure as LoadText when the editor
    // cannot hold the result.
    virtual void ReplaceRange(TextRange range, std::string_view bytes) = 0;
};

} // namespace mus
