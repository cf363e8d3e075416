#pragma once
// The window's commands, each stated once: one row a command, from which the
// menus, the toolbar, the shortcuts the editor must not swallow and the rule
// of which commands end with the keyboard in the editor are all derived
// (command_table.cpp, frm_CText::Commands()).
//
// Adding a command is adding its row where its menu item stands, and its
// handler (a member of the window without arguments, in whichever source
// file holds its family). A submenu is a row too; the rows marked
// InSubmenu after it go into it, and its handler runs each time it is about
// to show, so it can fill itself.

#include <cstdint>

class frm_CText;

namespace mus {

// What a row makes, besides the command it runs.
enum class RowKind : std::uint8_t {
    Item,      // a menu item running the handler
    Menu,      // a menu of the menu bar; the rows after it go into it
    Submenu,   // a submenu of the current menu
    Separator, // a line between two groups of items
};

// Facts about a command, or'ed together; short names for the table's rows,
// kept out of the way in a namespace of their own.
namespace row {
enum Flags : unsigned {
    // The command ends with the keyboard in the editor, whatever happened on
    // the way (a dialog, a question, a failure report).
    Focus = 1u << 0,
    // When the editor's text is hidden, the command first shows it, then runs.
    Show = 1u << 1,
    // The item has a check mark, which the handler sets itself.
    Check = 1u << 2,
    // The row goes into the last submenu above it, not into the menu.
    InSubmenu = 1u << 3,
};
inline constexpr bool Captioned = true; // ToolbarButton::captioned
} // namespace row

// A toolbar button running the row's command. Its object name is "btn_" and
// the hint without blanks ("btn_SelectAll"); its picture file, used where the
// desktop's theme lacks the icon, is the theme name after its first '-'
// ("select-all" for "edit-select-all").
struct ToolbarButton {
    const char* hint = nullptr; // the tooltip and accessible name; none: no button
    const char* theme = nullptr;
    // The tens are the group (a gap stands between two groups), the units the
    // place in it: 24 is the fourth button of the second group.
    int place = 0;
    // The button shows the hint as its caption, and no tooltip.
    bool captioned = false;
};

struct Command {
    using Handler = void (frm_CText::*)();

    const char* name = nullptr;    // the object name ("Encrypt1")
    const char* caption = nullptr; // "&" marks the access key
    const char* shortcut = "";     // in QKeySequence's portable text; "" for none
    Handler handler = nullptr;
    unsigned flags = 0;
    ToolbarButton button{};
    RowKind kind = RowKind::Item;

    constexpr bool EndsInEditor() const { return (flags & row::Focus) != 0; }
    constexpr bool ShowsHiddenTextFirst() const { return (flags & row::Show) != 0; }
    constexpr bool HasButton() const { return button.hint != nullptr; }
};

constexpr Command MenuRow(const char* name, const char* caption)
{
    return {name, caption, "", nullptr, 0, {}, RowKind::Menu};
}

constexpr Command SubmenuRow(const char* name, const char* caption, Command::Handler fill, unsigned flags)
{
    return {name, caption, "", fill, flags, {}, RowKind::Submenu};
}

constexpr Command SeparatorRow(unsigned flags = 0)
{
    return {nullptr, nullptr, "", nullptr, flags, {}, RowKind::Separator};
}

} // namespace mus
