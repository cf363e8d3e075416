// The command table, and the menus, toolbar, shortcut guard and focus rule
// derived from it.
#include "editor/window/command_table.h"

#include <QAction>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <string>
#include <vector>

#include "editor/desktop/desktop.h"
#include "editor/desktop/fonts.h"
#include "editor/icons/pictures.h"
#include "editor/window/decrypted_text_guard.h"
#include "editor/window/main_window.h"

using mus::Command;
using mus::desktop::ConnectGuarded;

namespace {

constexpr int kButtonSize = 25;
constexpr int kCaptionedButtonWidth = 69;
constexpr int kGroupGap = 13;

// The desktop's theme icon where it has one, else the program's own picture.
QIcon ToolbarIcon(const char* theme)
{
    const std::string name(theme);
    const std::string picture = "toolbar/" + name.substr(name.find('-') + 1);
    return QIcon::fromTheme(QString::fromStdString(name), mus::BuiltIcon(picture.c_str(), {16, 32}));
}

QString ButtonName(const mus::ToolbarButton& button)
{
    return QStringLiteral("btn_") + QString::fromLatin1(button.hint).remove(QLatin1Char(' '));
}

} // namespace

std::span<const Command> frm_CText::Commands()
{
    using W = frm_CText;
    using namespace mus::row;
    using mus::MenuRow, mus::SeparatorRow, mus::SubmenuRow;
    // clang-format off
    static constexpr Command kCommands[] = {
        // name, caption, shortcut, handler, flags, toolbar button {hint, theme icon, place[, Captioned]}
        MenuRow("Action1", "&Action"),
        {"New1", "&New", "Ctrl+N", &W::btn_NewClick, 0, {"New", "document-new", 11}},
        {"OpenFile1", "&Open File...", "Ctrl+O", &W::btn_OpenClick, Focus, {"Open", "document-open", 12}},
        {"SaveFileAs1", "&Save File As...", "Ctrl+S", &W::btn_SaveClick, Show | Focus, {"Save", "document-save", 13}},
        {"Print1", "&Print...", "Ctrl+P", &W::Print1Click, Show | Focus},
        {"ExportAsPdf1", "Expor&t as PDF...", "", &W::ExportAsPdf1Click, Show | Focus},
        mus::SubmenuRow("RecentFiles1", "Recent &Files", &W::RecentFiles1Fill, 0),
        {"ClearList1", "&Clear List", "", &W::ClearList1Click, Show | InSubmenu},
        SeparatorRow(),
        {"Encrypt1", "&Encrypt", "Ctrl+E", &W::btn_EncryptClick, Show, {"Encrypt", "document-encrypt", 41, Captioned}},
        {"EncryptUsingMethod1", "Encrypt With Specific &Method...", "", &W::EncryptUsingMethod1Click, Show},
        {"EncryptSelection1", "Encrypt Se&lection", "Ctrl+Shift+E", &W::EncryptSelection1Click, Show},
        {"Decrypt1", "&Decrypt", "Ctrl+D", &W::btn_DecryptClick, Show, {"Decrypt", "document-decrypt", 42, Captioned}},
        {"DecryptInPlace1", "Decrypt &in Place", "Ctrl+Shift+D", &W::DecryptInPlace1Click, Show},
        SeparatorRow(),
        {"Exit1", "E&xit", "", &W::Exit1Click, 0},
        MenuRow("Edit1", "&Edit"),
        {"Undo1", "&Undo", "Ctrl+Z", &W::btn_UndoClick, Show, {"Undo", "edit-undo", 31}},
        {"Cut1", "Cu&t", "Ctrl+X", &W::btn_CutClick, Show, {"Cut", "edit-cut", 21}},
        {"Copy1", "&Copy", "Ctrl+C", &W::btn_CopyClick, Show, {"Copy", "edit-copy", 22}},
        {"Paste1", "&Paste", "Ctrl+V", &W::btn_PasteClick, Show, {"Paste", "edit-paste", 23}},
        {"Delete1", "&Delete", "Ctrl+Del", &W::btn_DeleteClick, Show, {"Delete", "edit-delete", 25}},
        {"SelectAll1", "Se&lect All", "", &W::btn_SelectAllClick, Show, {"Select All", "edit-select-all", 24}},
        SeparatorRow(),
        {"Find1", "&Find...", "Ctrl+F", &W::Find1Click, Show},
        {"FindNext1", "Find &Next", "F3", &W::FindNext1Click, Show},
        {"FindPrevious1", "Find Pre&vious", "Shift+F3", &W::FindPrevious1Click, Show},
        {"Replace1", "&Replace...", "Ctrl+H", &W::Replace1Click, Show},
        {"GoToLine1", "&Go to Line...", "Ctrl+G", &W::GoToLine1Click, Show | Focus},
        MenuRow("Options1", "&Options"),
        {"Font1", "&Font...", "", &W::Font1Click, Show},
        {"TextColor1", "&Text Color...", "", &W::TextColor1Click, Show},
        {"BackgroundColor1", "&Background Color...", "", &W::BackgroundColor1Click, Show},
        {"WordWrap1", "Word Wrap", "", &W::WordWrap1Click, Show | Check},
        MenuRow("Help1", "&Help"),
        {"Contents1", "&Contents", "F1", &W::Contents1Click, 0},
        {"SearchforHelpOn1", "&Search for Help On...", "", &W::SearchforHelpOn1Click, 0},
        {"HowtoUseHelp1", "&How to Use Help", "", &W::HowtoUseHelp1Click, 0},
        {"SaveReaderPageAs1", "Save &Reader Page As...", "", &W::SaveReaderPageAs1Click, Focus},
        SeparatorRow(),
        {"About2", "&About...", "", &W::About2Click, 0},
    };
    // clang-format on
    return kCommands;
}

// ---- Menus ------------------------------------------------------------------

void frm_CText::BuildMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* menu = nullptr;
    QMenu* submenu = nullptr;
    for (const Command& c : Commands()) {
        if (c.kind == mus::RowKind::Menu) {
            menu = MainMenu1->addMenu(QString::fromLatin1(c.caption));
            menu->setObjectName(QString::fromLatin1(c.name));
            continue;
        }
        QMenu* into = (c.flags & mus::row::InSubmenu) != 0 ? submenu : menu;
        Q_ASSERT(into != nullptr);
        switch (c.kind) {
        case mus::RowKind::Separator: into->addSeparator(); break;
        case mus::RowKind::Submenu:
            submenu = into->addMenu(QString::fromLatin1(c.caption));
            submenu->setObjectName(QString::fromLatin1(c.name));
            submenu->menuAction()->setObjectName(submenu->objectName());
            if (c.handler != nullptr) ConnectGuarded(submenu, &QMenu::aboutToShow, this, c.handler);
            break;
        default: AddMenuItem(into, c); break;
        }
    }
    WordWrap1 = MainMenu1->findChild<QAction*>(QStringLiteral("WordWrap1"));
}

void frm_CText::AddMenuItem(QMenu* menu, const Command& c)
{
    QAction* action = menu->addAction(QString::fromLatin1(c.caption));
    action->setObjectName(QString::fromLatin1(c.name));
    const QKeySequence shortcut = QKeySequence::fromString(QString::fromLatin1(c.shortcut), QKeySequence::PortableText);
    action->setShortcut(shortcut);
    if (!shortcut.isEmpty()) guardedKeys_.push_back(shortcut);
    if ((c.flags & mus::row::Check) != 0) {
        action->setCheckable(true);
        // Qt flips a checkable item's mark before it reports the trigger, but
        // the handler inverts the mark itself (also when the settings run it),
        // so the menu's flip is taken back first.
        connect(action, &QAction::triggered, this, [this, action, &c] {
            action->setChecked(!action->isChecked());
            RunCommand(c);
        });
    } else {
        connect(action, &QAction::triggered, this, [this, &c] { RunCommand(c); });
    }
    // A slot connected after the handler's runs after it, boxes included.
    if (c.EndsInEditor()) connect(action, &QAction::triggered, this, &frm_CText::FocusEditor);
}

// ---- Toolbar ----------------------------------------------------------------

void frm_CText::BuildToolbar()
{
    MakeToolbar();
    std::vector<const Command*> rows;
    for (const Command& c : Commands()) {
        if (c.HasButton()) rows.push_back(&c);
    }
    std::sort(rows.begin(), rows.end(),
              [](const Command* a, const Command* b) { return a->button.place < b->button.place; });
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows[i]->button.place / 10 != rows[i - 1]->button.place / 10) AddToolbarGap();
        AddToolButton(*rows[i]);
    }
    // The design state, which is what the status routine gives for an empty
    // editor.
    EnableButtons(0, 0, false);
}

void frm_CText::AddToolButton(const Command& c)
{
    auto* button = new QToolButton(pan_Toolbar);
    button->setObjectName(ButtonName(c.button));
    button->setIcon(ToolbarIcon(c.button.theme));
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    button->setAccessibleName(QString::fromLatin1(c.button.hint));
    if (c.button.captioned) {
        button->setFont(mus::DesignFontPoints(mus::kPanelFace, 8));
        button->setText(button->accessibleName());
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        // The design width, or more where the desktop's face needs it: the
        // caption is never cut short.
        button->setFixedWidth(std::max(kCaptionedButtonWidth, button->sizeHint().width()));
    } else {
        button->setToolTip(button->accessibleName());
    }
    pan_Toolbar->addWidget(button);
    buttons_.emplace_back(button->objectName().toStdString(), button);
    connect(button, &QToolButton::clicked, this, [this, &c] { RunCommand(c); });
    if (c.EndsInEditor()) connect(button, &QToolButton::clicked, this, &frm_CText::FocusEditor);
}

// The space between two groups of buttons.
void frm_CText::AddToolbarGap()
{
    auto* gap = new QWidget(pan_Toolbar);
    gap->setFixedWidth(kGroupGap);
    pan_Toolbar->addWidget(gap);
}

QToolButton* frm_CText::Button(std::string_view name) const
{
    for (const auto& [n, button] : buttons_) {
        if (n == name) return button;
    }
    Q_ASSERT(false);
    return nullptr;
}

// ---- Running a command --------------------------------------------------------

// The rows live as long as the program, so the connections hold them by
// reference.
void frm_CText::RunCommand(const Command& c)
{
    // A command that needs the editor's text shows it first when it is
    // hidden; while a command runs, the document does not go back to its
    // block under it.
    const mus::DecryptedTextGuard::RunningCommand running(*decrypted_, c.ShowsHiddenTextFirst());
    mus::desktop::RunGuarded(this, [this, &c] { (this->*c.handler)(); });
}

// ---- Shortcut guard ---------------------------------------------------------

bool frm_CText::IsWindowShortcut(const QKeyEvent& key) const
{
    const QKeySequence pressed(QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    return std::find(guardedKeys_.begin(), guardedKeys_.end(), pressed) != guardedKeys_.end();
}
