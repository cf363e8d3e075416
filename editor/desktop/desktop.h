#pragma once
// What the editor uses in place of the desktop's own facilities: message
// boxes, alert sounds, the busy cursor, the help viewer and the general
// failure report. The window's user interface (the commands' way to the user)
// and the dialogs call these, never Qt's boxes directly.

#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <utility>

#include "cipher/commands/dialog_types.h"

class QWidget;

namespace mus::desktop {

// The application title: the task bar's name and the failure report's title.
inline constexpr char kApplicationTitle[] = "Murmurscript";
// The help file's name, the identity of the help built into the program.
inline constexpr char kHelpFileName[] = "MUS.HLP";

// ---- Message box --------------------------------------------------------

// Titles of the four kinds: "Warning", "Error", "Information", "Confirm".
QString BoxTitle(BoxKind kind);

// A modal box centred on the screen, titled by its kind, with the kind's
// standard icon and `buttons` in the fixed left-to-right order ("&Yes",
// "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "&Help").
// Enter picks OK, else Yes, else Retry; Escape answers Cancel, else No,
// else OK (and does nothing when that button is not there). The box plays
// no sound. "&Help" opens the help contents and leaves the box open.
// Returns the button that closed the box.
Answer MessageBox(QWidget* parent, BoxKind kind, const QString& text, Buttons buttons);

// The same box with a title of the caller's (the failure report's).
Answer TitledMessageBox(QWidget* parent, const QString& title, BoxKind kind, const QString& text, Buttons buttons);

// Moves `window` to the middle of the free area of its owner's screen (the
// primary screen for a window without owner), keeping its size. The boxes
// and dialogs open there.
void CentreOnScreen(QWidget& window);

// ---- Alert sounds -------------------------------------------------------

// Plays the stop, question or exclamation sound of the desktop's sound
// theme, or the plain beep when that cannot be played. Never fails.
void PlaySound(AlertSound sound);

// ---- Busy cursor --------------------------------------------------------

// The hourglass over the whole application while the object lives.
class BusyCursorScope {
public:
    BusyCursorScope();
    ~BusyCursorScope();
    BusyCursorScope(const BusyCursorScope&) = delete;
    BusyCursorScope& operator=(const BusyCursorScope&) = delete;

    // Restores the normal cursor early; the destructor then does nothing.
    void Release();

private:
    bool active_ = true;
};

// ---- Help viewer --------------------------------------------------------

// The help file the help requests use; "MUS.HLP" names the help built into
// the program. The viewer runs as its own top-level window; every request
// shows it and returns at once. Each returns false when the help file cannot
// be found (the viewer then shows its own message).
void SetHelpFile(const QString& name);
bool ShowHelpContents();
bool ShowHelpSearch(); // the keyword search, without a keyword
bool ShowHelpOnHelp(); // how to use help
// The Help buttons' jump: the contents first and, only when that succeeded,
// the topic with this ID ("Help_Password1", ...). False when the topic does
// not exist.
bool HelpJump(const QString& topicId);
// Closes the viewer, if it is open (at program end).
void CloseHelp();

// ---- General failure report ---------------------------------------------

// The box for a failure no handler caught: titled "Murmurscript", stop icon,
// one OK button, the message followed by a full stop.
void ReportFailure(QWidget* parent, const QString& message);

// Runs `handler`; a failure (an exception) escaping it is shown in the
// failure report instead of reaching Qt's event loop. Returns false when the
// handler failed.
bool RunGuarded(QWidget* parent, const std::function<void()>& handler) noexcept;

// Connects `signal` to a member handler without arguments, run through
// RunGuarded with `receiver` as the report's parent window.
template <typename Sender, typename Signal, typename Receiver>
QMetaObject::Connection ConnectGuarded(Sender* sender, Signal signal, Receiver* receiver, void (Receiver::*handler)())
{
    return QObject::connect(sender, signal, receiver, [receiver, handler] {
        RunGuarded(receiver, [receiver, handler] { (receiver->*handler)(); });
    });
}

// ---- Test probe -----------------------------------------------------------

// Lets a test watch the sounds and boxes in the order they happen and answer
// boxes without showing them. Not used by the program itself.
class Probe {
public:
    virtual ~Probe() = default;
    virtual void SoundPlayed(AlertSound sound) = 0;
    // Called as a box is about to open. An answer closes it unseen;
    // std::nullopt shows the real box.
    virtual std::optional<Answer> BoxOpening(const QString& title, BoxKind kind, const QString& text,
                                             Buttons buttons) = 0;
};

// Installs `probe` (nullptr removes it); returns the previous one.
Probe* SetProbe(Probe* probe);

} // namespace mus::desktop
