#pragma once
// Decrypted text that does not outlive its use.
//
// The document holds decrypted text from the moment a Decrypt puts text in it
// (PutDecryptedText: whatever the method, with or without a phrase, a warning
// or a repair) until its whole text is replaced: by Encrypt, New, any Open, or
// the going back described below (ByteDocument's whole-text hook). Typing,
// Undo and Paste do not end it. While it holds:
// - text copied, cut, selected (the X11 primary selection) or dragged out of
//   the editor carries the mark clipboard managers know for secrets, and what
//   the program put on the clipboard or the primary selection is cleared
//   after the clipboard delay when it is still there; at exit it is cleared
//   in any case;
// - after the idle delay without input to any window of the program, or at
//   once when the desktop session locks, the document goes back to what it
//   held before Decrypt (the block), when its text is unchanged since and no
//   command is running; otherwise the text is hidden behind a note with a
//   Show button, until the user shows it or runs a command that needs it.

#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>

#include <array>
#include <functional>
#include <string>

#include "editor/settings/settings_store.h"

class QLabel;
class QPushButton;

namespace mus {

class ByteDocument;

// The mark, a MIME type and its value, by which clipboard managers know a
// secret: they keep it out of their histories.
inline constexpr char kSecretHintType[] = "x-kde-passwordManagerHint";
inline constexpr char kSecretHintValue[] = "secret";

// What the editor hands out of a selection of decrypted text: the text and
// the mark. Its type tells the program's own secrets on the clipboard from
// anything else there.
class SecretMimeData final : public QMimeData {
    Q_OBJECT
};

// The document editor, txt_CText.
class SecretTextEdit final : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

    // Whether the selection leaves marked as a secret.
    void SetSecret(bool secret) { secret_ = secret; }
    // Whether the text is hidden: the editor then offers screen readers no text.
    bool TextHidden() const { return hidden_; }
    void SetTextHidden(bool hidden) { hidden_ = hidden; }

    // Copy, Cut, the primary selection and a drag all take the selection
    // from here: while the document holds decrypted text, as SecretMimeData
    // (public, so a test can see what a drag would carry).
    QMimeData* createMimeDataFromSelection() const override;

private:
    bool secret_ = false;
    bool hidden_ = false;
};

class DecryptedTextGuard final : public QObject {
    Q_OBJECT

public:
    // Watches `editor` and `document`, the whole application's input and the
    // desktop's screen lock. The note that hides the text takes the editor's
    // place in its parent's layout.
    DecryptedTextGuard(SecretTextEdit& editor, ByteDocument& document);
    // Clears the clipboard and the primary selection where they still hold
    // decrypted text the program put there (at exit, before the application
    // object goes and with it what the program owns on the clipboard).
    ~DecryptedTextGuard() override;
    DecryptedTextGuard(const DecryptedTextGuard&) = delete;
    DecryptedTextGuard& operator=(const DecryptedTextGuard&) = delete;

    // The two delays, from the settings file at start.
    void SetDelays(const ForgetDelays& delays);

    bool HoldsDecryptedText() const { return holds_; }

    // Runs `put`, which puts decrypted text into the document (the whole
    // text or a span of it), and marks the document as holding decrypted
    // text. The whole text before is kept to go back to, unless it held
    // decrypted text itself. Nothing is marked when `put` fails.
    void PutDecryptedText(const std::function<void()>& put);

    // The user is away (the idle delay ran out, the screen locked): goes
    // back to the block, or hides the text (see the top of this file).
    void Away();

    bool TextHidden() const { return hidden_; }
    // Shows the hidden text again, with the undo history as it was, and
    // gives the editor the keyboard focus.
    void ShowText();
    // Gives the keyboard focus to the editor, or to the Show button while
    // the text is hidden.
    void FocusEditor();

    // Clears the clipboard and the primary selection where they still hold
    // decrypted text the program put there.
    void ClearClipboard();

    // A command of the window runs while the object lives. It shows the
    // hidden text first when the command needs it; the going back that came
    // due meanwhile waits for the end of the outermost command.
    class RunningCommand {
    public:
        RunningCommand(DecryptedTextGuard& guard, bool showsText);
        ~RunningCommand();
        RunningCommand(const RunningCommand&) = delete;
        RunningCommand& operator=(const RunningCommand&) = delete;

    private:
        DecryptedTextGuard& guard_;
    };

signals:
    // The text was hidden, or shown again: what else works on the text (the
    // find bar) follows.
    void textHiddenChanged(bool hidden);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // The desktop's screen saver started or ended; the session locked.
    void ScreenSaverActiveChanged(bool active);
    void SessionLocked();

private:
    void BuildNote();
    void ConnectScreenLock();
    void WholeTextReplaced();
    void HideText();
    void GoBack();
    void ArmIdleTimer();
    void IdleTimerRanOut();
    bool CommandRunning() const;
    bool Unchanged() const;
    void TryDueGoingBack();
    void ClipboardChanged(QClipboard::Mode mode);
    void ClearMode(QClipboard::Mode mode);
    // Runs `step` with a failure shown in the failure report.
    void Guarded(const std::function<void()>& step);

    SecretTextEdit& editor_;
    ByteDocument& document_;
    ForgetDelays delays_;

    bool holds_ = false;
    std::string block_; // the text before Decrypt; empty: no going back
    bool hidden_ = false;
    bool goingBackDue_ = false;
    int commands_ = 0; // commands running, nested

    QElapsedTimer lastInput_;
    QTimer idleTimer_;
    QTimer dueTimer_;                   // looks again for the end of a modal dialog
    std::array<QTimer, 2> clearTimers_; // QClipboard::Clipboard, Selection

    QWidget* note_ = nullptr;
    QLabel* noteLabel_ = nullptr;
    QPushButton* showButton_ = nullptr;
};

} // namespace mus
