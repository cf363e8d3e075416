#pragma once
// The vocabulary of message boxes and alert sounds, shared by the commands
// (which have no user interface of their own) and the window that shows them.

#include <cstdint>

namespace mus {

enum class BoxKind { Warning, Error, Information, Confirm };

// Buttons stand left to right in this order whenever present.
enum class Button : std::uint16_t {
    Yes = 1 << 0,
    No = 1 << 1,
    Ok = 1 << 2,
    Cancel = 1 << 3,
    Abort = 1 << 4,
    Retry = 1 << 5,
    Ignore = 1 << 6,
    All = 1 << 7,
    Help = 1 << 8,
};

using Buttons = std::uint16_t; // a set of Button values

// Not a button: added to a set with Yes and No, it makes No the default, for
// a question whose safe answer is No.
inline constexpr Buttons kNoIsDefault = 1 << 15;

constexpr Buttons operator|(Button a, Button b)
{
    return static_cast<Buttons>(static_cast<Buttons>(a) | static_cast<Buttons>(b));
}
constexpr Buttons ButtonSet(Button b)
{
    return static_cast<Buttons>(b);
}
constexpr bool Has(Buttons set, Button b)
{
    return (set & static_cast<Buttons>(b)) != 0;
}

// The button that closed a box.
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No, All };

// Enter: OK if present, else Yes (No where the set says so), else Retry.
constexpr Button DefaultButton(Buttons set)
{
    if (Has(set, Button::Ok)) return Button::Ok;
    if (Has(set, Button::No) && (set & kNoIsDefault) != 0) return Button::No;
    return Has(set, Button::Yes) ? Button::Yes : Button::Retry;
}

// Escape: Cancel if present, else No, else OK.
constexpr Answer EscapeAnswer(Buttons set)
{
    return Has(set, Button::Cancel) ? Answer::Cancel : Has(set, Button::No) ? Answer::No : Answer::Ok;
}

enum class AlertSound { Stop, Question, Exclamation };

} // namespace mus
