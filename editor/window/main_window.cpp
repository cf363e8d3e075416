#include "editor/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "editor/desktop/desktop.h"
#include "editor/desktop/fonts.h"
#include "editor/dialogs/about_dialog.h"
#include "editor/document/byte_document.h"
#include "editor/icons/pictures.h"
#include "editor/window/window_command_ui.h"

static void InitIconResource()
{
    Q_INIT_RESOURCE(icons);
}

using mus::desktop::ConnectGuarded;

namespace {

constexpr int kClientWidth = 560;
constexpr int kClientHeight = 352; // below the menu bar
constexpr int kToolbarHeight = 33;
constexpr int kButtonSize = 25;
constexpr int kCipherButtonWidth = 69;
constexpr int kGroupGap = 13;
constexpr int kTextTypeWidth = 88;

// The desktop's theme icon where it has one, else the program's own picture.
QIcon ToolbarIcon(const char* themeName, const char* file)
{
    const std::string picture = std::string("toolbar/") + file;
    return QIcon::fromTheme(QString::fromLatin1(themeName), mus::BuiltIcon(picture.c_str(), {16, 32}));
}

QString ByteText(std::int64_t n)
{
    return QString::number(n) + (n == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));
}

} // namespace

frm_CText::frm_CText(QWidget* parent) : QMainWindow(parent)
{
    InitIconResource();
    mus::InstallFontSubstitutes();
    setObjectName(QStringLiteral("frm_CText"));
    setWindowTitle(QStringLiteral("Murmurscript"));
    setWindowIcon(mus::BuiltIcon("murmurscript", {16, 32, 64, 128}));

    BuildEditor();
    BuildMenu();
    BuildToolbar();
    BuildStatusBar();
    document_ = std::make_unique<mus::ByteDocument>(*txt_CText);
    ownUser_ = std::make_unique<mus::WindowCommandUser>(*this);
    user_ = ownUser_.get();

    resize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
    txt_CText->setFocus();

    ConnectGuarded(txt_CText, &QPlainTextEdit::textChanged, this, &frm_CText::txt_CTextChange);
    mus::desktop::RunGuarded(this, [this] { FormCreate(); });
}

frm_CText::~frm_CText()
{
    // No window to own the box any more: a failure to write the settings is
    // reported on its own.
    mus::desktop::RunGuarded(nullptr, [this] { FormDestroy(); });
}

void frm_CText::BuildEditor()
{
    pan_CText = new QFrame(this);
    pan_CText->setObjectName(QStringLiteral("pan_CText"));
    pan_CText->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pan_CText->setLineWidth(1);

    txt_CText = new QPlainTextEdit(pan_CText);
    txt_CText->setObjectName(QStringLiteral("txt_CText"));
    txt_CText->setFrameShape(QFrame::NoFrame);
    QFont font = mus::DesignFontPixels(mus::kEditorFace, 13);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    txt_CText->setFont(font);
    txt_CText->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt_CText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt_CText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txt_CText->setTabChangesFocus(false); // Tab inserts a tab
    txt_CText->setAccessibleName(QStringLiteral("Document text"));

    // Key releases (keyboard moves of caret and selection) and mouse moves
    // (mouse selections) refresh the status; the window's shortcuts must win
    // over the editor's own bindings.
    txt_CText->installEventFilter(this);
    txt_CText->viewport()->installEventFilter(this);
    txt_CText->viewport()->setMouseTracking(true);

    auto* layout = new QVBoxLayout(pan_CText);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(txt_CText);
    setCentralWidget(pan_CText);
}

// ---- Menu ------------------------------------------------------------------

void frm_CText::BuildMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    BuildActionMenu(AddMenu("Action1", "&Action"));
    BuildEditMenu(AddMenu("Edit1", "&Edit"));
    BuildOptionsMenu(AddMenu("Options1", "&Options"));
    BuildHelpMenu(AddMenu("Help1", "&Help"));
}

QMenu* frm_CText::AddMenu(const char* name, const char* caption)
{
    QMenu* menu = MainMenu1->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* frm_CText::AddMenuItem(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut,
                                Handler handler)
{
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    if (handler != nullptr) ConnectGuarded(action, &QAction::triggered, this, handler);
    if (EndsInEditor(handler)) connect(action, &QAction::triggered, this, &frm_CText::FocusEditor);
    return action;
}

void frm_CText::BuildActionMenu(QMenu* menu)
{
    New1 = AddMenuItem(menu, "New1", "&New", QKeySequence(Qt::CTRL | Qt::Key_N), &frm_CText::btn_NewClick);
    OpenFile1 = AddMenuItem(menu, "OpenFile1", "&Open File...", QKeySequence(Qt::CTRL | Qt::Key_O),
                            &frm_CText::btn_OpenClick);
    SaveFileAs1 = AddMenuItem(menu, "SaveFileAs1", "&Save File As...", QKeySequence(Qt::CTRL | Qt::Key_S),
                              &frm_CText::btn_SaveClick);
    menu->addSeparator();
    Encrypt1 = AddMenuItem(menu, "Encrypt1", "&Encrypt", QKeySequence(Qt::CTRL | Qt::Key_E),
                           &frm_CText::btn_EncryptClick);
    EncryptUsingMethod1 = AddMenuItem(menu, "EncryptUsingMethod1", "Encrypt With Specific &Method...", {},
                                      &frm_CText::EncryptUsingMethod1Click);
    Decrypt1 = AddMenuItem(menu, "Decrypt1", "&Decrypt", QKeySequence(Qt::CTRL | Qt::Key_D),
                           &frm_CText::btn_DecryptClick);
    menu->addSeparator();
    Exit1 = AddMenuItem(menu, "Exit1", "E&xit", {}, &frm_CText::Exit1Click);
}

void frm_CText::BuildEditMenu(QMenu* menu)
{
    Undo1 = AddMenuItem(menu, "Undo1", "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), &frm_CText::btn_UndoClick);
    Cut1 = AddMenuItem(menu, "Cut1", "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), &frm_CText::btn_CutClick);
    Copy1 = AddMenuItem(menu, "Copy1", "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), &frm_CText::btn_CopyClick);
    Paste1 = AddMenuItem(menu, "Paste1", "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), &frm_CText::btn_PasteClick);
    Delete1 = AddMenuItem(menu, "Delete1", "&Delete", QKeySequence(Qt::CTRL | Qt::Key_Delete),
                          &frm_CText::btn_DeleteClick);
    SelectAll1 = AddMenuItem(menu, "SelectAll1", "Se&lect All", {}, &frm_CText::btn_SelectAllClick);
}

void frm_CText::BuildOptionsMenu(QMenu* menu)
{
    Font1 = AddMenuItem(menu, "Font1", "&Font...", {}, &frm_CText::Font1Click);
    TextColor1 = AddMenuItem(menu, "TextColor1", "&Text Color...", {}, &frm_CText::TextColor1Click);
    BackgroundColor1 = AddMenuItem(menu, "BackgroundColor1", "&Background Color...", {},
                                   &frm_CText::BackgroundColor1Click);
    WordWrap1 = AddMenuItem(menu, "WordWrap1", "Word Wrap", {}, nullptr);
    WordWrap1->setCheckable(true);
    // Qt flips a checkable item's mark before it reports the trigger, but the
    // handler inverts the mark itself (also when the settings run it), so
    // the menu's flip is taken back first.
    connect(WordWrap1, &QAction::triggered, this, [this] {
        WordWrap1->setChecked(!WordWrap1->isChecked());
        mus::desktop::RunGuarded(this, [this] { WordWrap1Click(); });
    });
}

void frm_CText::BuildHelpMenu(QMenu* menu)
{
    Contents1 = AddMenuItem(menu, "Contents1", "&Contents", QKeySequence(Qt::Key_F1), &frm_CText::Contents1Click);
    SearchforHelpOn1 = AddMenuItem(menu, "SearchforHelpOn1", "&Search for Help On...", {},
                                   &frm_CText::SearchforHelpOn1Click);
    HowtoUseHelp1 = AddMenuItem(menu, "HowtoUseHelp1", "&How to Use Help", {}, &frm_CText::HowtoUseHelp1Click);
    menu->addSeparator();
    About2 = AddMenuItem(menu, "About2", "&About...", {}, &frm_CText::About2Click);
}

// ---- Toolbar ---------------------------------------------------------------

void frm_CText::BuildToolbar()
{
    MakeToolbar();
    btn_New = AddIconButton("btn_New", "New", "document-new", "new", &frm_CText::btn_NewClick);
    btn_Open = AddIconButton("btn_Open", "Open", "document-open", "open", &frm_CText::btn_OpenClick);
    btn_Save = AddIconButton("btn_Save", "Save", "document-save", "save", &frm_CText::btn_SaveClick);
    AddToolbarGap();
    btn_Cut = AddIconButton("btn_Cut", "Cut", "edit-cut", "cut", &frm_CText::btn_CutClick);
    btn_Copy = AddIconButton("btn_Copy", "Copy", "edit-copy", "copy", &frm_CText::btn_CopyClick);
    btn_Paste = AddIconButton("btn_Paste", "Paste", "edit-paste", "paste", &frm_CText::btn_PasteClick);
    btn_SelectAll = AddIconButton("btn_SelectAll", "Select All", "edit-select-all", "select-all",
                                  &frm_CText::btn_SelectAllClick);
    btn_Delete = AddIconButton("btn_Delete", "Delete", "edit-delete", "delete", &frm_CText::btn_DeleteClick);
    AddToolbarGap();
    btn_Undo = AddIconButton("btn_Undo", "Undo", "edit-undo", "undo", &frm_CText::btn_UndoClick);
    AddToolbarGap();
    AddCipherButtons();

    // The design state, which is what UpdateStatus gives for an empty editor.
    for (QToolButton* b : {btn_Save, btn_Cut, btn_Copy, btn_SelectAll, btn_Delete, btn_Undo, btn_Encrypt, btn_Decrypt})
        b->setEnabled(false);
}

// The bar itself: fixed at the top, the design height, no menu of its own.
void frm_CText::MakeToolbar()
{
    pan_Toolbar = new QToolBar(QStringLiteral("Toolbar"), this);
    pan_Toolbar->setObjectName(QStringLiteral("pan_Toolbar"));
    pan_Toolbar->setMovable(false);
    pan_Toolbar->setFloatable(false);
    pan_Toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    pan_Toolbar->toggleViewAction()->setVisible(false);
    pan_Toolbar->setIconSize(QSize(16, 16));
    pan_Toolbar->setFixedHeight(kToolbarHeight);
    pan_Toolbar->layout()->setSpacing(0);
    addToolBar(Qt::TopToolBarArea, pan_Toolbar);
    // The button Qt shows for the buttons a narrow window cannot hold has no
    // name of its own; a screen reader would call it an unnamed check box.
    if (auto* more = pan_Toolbar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("More buttons"));
        more->setToolTip(more->accessibleName());
    }
}

QToolButton* frm_CText::AddToolButton(const char* name, const char* hint, const QIcon& icon, int width, Handler handler)
{
    auto* button = new QToolButton(pan_Toolbar);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(icon);
    button->setFixedSize(width, kButtonSize);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    button->setAccessibleName(QString::fromLatin1(hint));
    pan_Toolbar->addWidget(button);
    ConnectGuarded(button, &QToolButton::clicked, this, handler);
    if (EndsInEditor(handler)) connect(button, &QToolButton::clicked, this, &frm_CText::FocusEditor);
    return button;
}

// A square button showing its icon, named by its tooltip.
QToolButton* frm_CText::AddIconButton(const char* name, const char* hint, const char* theme, const char* file,
                                      Handler handler)
{
    QToolButton* button = AddToolButton(name, hint, ToolbarIcon(theme, file), kButtonSize, handler);
    button->setToolTip(QString::fromLatin1(hint));
    return button;
}

// The space between two groups of buttons.
void frm_CText::AddToolbarGap()
{
    auto* gap = new QWidget(pan_Toolbar);
    gap->setFixedWidth(kGroupGap);
    pan_Toolbar->addWidget(gap);
}

// The cipher buttons show their text and no tooltip. The icon naming
// standard has no names for them; these are the common themes' names.
void frm_CText::AddCipherButtons()
{
    btn_Encrypt = AddToolButton("btn_Encrypt", "Encrypt", ToolbarIcon("document-encrypt", "encrypt"),
                                kCipherButtonWidth, &frm_CText::btn_EncryptClick);
    btn_Decrypt = AddToolButton("btn_Decrypt", "Decrypt", ToolbarIcon("document-decrypt", "decrypt"),
                                kCipherButtonWidth, &frm_CText::btn_DecryptClick);
    for (QToolButton* b : {btn_Encrypt, btn_Decrypt}) {
        b->setFont(mus::DesignFontPoints(mus::kPanelFace, 8));
        b->setText(b->accessibleName());
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        // The design width, or more where the desktop's face needs it: the
        // caption is never cut short.
        b->setFixedWidth(std::max(kCipherButtonWidth, b->sizeHint().width()));
    }
}

bool frm_CText::EndsInEditor(Handler handler)
{
    // Whatever happened on the way (a file dialog, a question, a failure
    // report): a slot connected after the handler's runs after it, boxes
    // included.
    return handler == &frm_CText::btn_OpenClick || handler == &frm_CText::btn_SaveClick;
}

// ---- Status bar ------------------------------------------------------------

void frm_CText::BuildStatusBar()
{
    pan_Status = statusBar();
    pan_Status->setObjectName(QStringLiteral("pan_Status"));
    pan_Status->setFont(mus::DesignFontPoints(mus::kPanelFace, 8));
    const auto field = [this](const char* name, const char* text) {
        auto* label = new QLabel(QString::fromLatin1(text), pan_Status);
        label->setObjectName(QString::fromLatin1(name));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        // The design's black is the desktop's text colour: the labels keep
        // the palette's, so a dark theme shows light text on its dark bar.
        return label;
    };
    pan_Bytes = field("pan_Bytes", " 0 bytes");
    // The design width, or more where the desktop's face needs it: the longer
    // text, " Encrypted Text", is never cut short (a blank's width is kept
    // after it, as before it).
    pan_TextType = field("pan_TextType", " Encrypted Text");
    const int needed = pan_TextType->sizeHint().width() +
                       pan_TextType->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    pan_TextType->setText(QStringLiteral(" Normal Text"));
    pan_TextType->setFixedWidth(std::max(kTextTypeWidth, needed));
    pan_Status->addWidget(pan_Bytes, 1);
    pan_Status->addPermanentWidget(pan_TextType);
}

void frm_CText::SetUser(mus::CommandUser* user)
{
    user_ = user != nullptr ? user : ownUser_.get();
}

void frm_CText::WatchDrops(QObject* filter)
{
    // Drags over the editor arrive at its viewport; a filter there runs
    // before the editor's own handling.
    setAcceptDrops(true);
    installEventFilter(filter);
    txt_CText->installEventFilter(filter);
    txt_CText->viewport()->installEventFilter(filter);
}

// ---- Shortcuts ----------------------------------------------------------

bool frm_CText::IsWindowShortcut(const QKeyEvent& key) const
{
    const QKeySequence pressed(QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    for (const QAction* action :
         {New1, OpenFile1, SaveFileAs1, Encrypt1, Decrypt1, Undo1, Cut1, Copy1, Paste1, Delete1, Contents1}) {
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed) return true;
    }
    return false;
}

bool frm_CText::eventFilter(QObject* watched, QEvent* event)
{
    if (txt_CText != nullptr && watched == txt_CText) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // QPlainTextEdit accepts the override for Ctrl+Z/X/C/V and
            // Ctrl+Del, so its own bindings would run instead of the window's
            // commands and their guards. Stopping the event here, not
            // accepted, lets the shortcut reach the window's action.
            if (IsWindowShortcut(*static_cast<QKeyEvent*>(event))) return true;
            break;
        case QEvent::KeyPress:
            // Shift+Enter would put a line separator (U+2028) into the text:
            // it looks like a line break but is three bytes of one line, in
            // the count, in a saved file and in an armoured block alike. It
            // starts a new line as Enter does.
            if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::InsertLineSeparator)) {
                txt_CText->insertPlainText(QStringLiteral("\n"));
                return true;
            }
            break;
        case QEvent::KeyRelease: mus::desktop::RunGuarded(this, [this] { UpdateStatus(); }); break;
        default: break;
        }
    } else if (txt_CText != nullptr && watched == txt_CText->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            // Catches selections dragged with the mouse.
            mus::desktop::RunGuarded(this, [this] { UpdateStatus(); });
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // A click changes the selection with no move after it: a
            // double-click selects a word, a click drops the selection. The
            // editor finishes a click inside a selection only in its own
            // handling of the release, so the status runs right after that.
            QMetaObject::invokeMethod(
                this, [this] { mus::desktop::RunGuarded(this, [this] { UpdateStatus(); }); }, Qt::QueuedConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Window events --------------------------------------------------------

void frm_CText::closeEvent(QCloseEvent* event)
{
    event->accept();
    // The help window has no parent and would keep the loop running.
    QCoreApplication::quit();
}

void frm_CText::changeEvent(QEvent* event)
{
    // The desktop changed its theme while the program runs: the editor's
    // colours that stand for the desktop's follow it.
    if (event->type() == QEvent::PaletteChange && txt_CText != nullptr) ApplyColors();
    QMainWindow::changeEvent(event);
}

void frm_CText::FocusEditor()
{
    // Once a dialog has closed, which window is active is the window
    // manager's choice, and not every one gives it back to the dialog's
    // owner: what the user types next would be lost until they click.
    activateWindow();
    txt_CText->setFocus(Qt::OtherFocusReason);
}

void frm_CText::FormCreate()
{
    AskForMethod = false;
    LoadAppearance();
}

void frm_CText::FormDestroy()
{
    SaveAppearance();
}

void frm_CText::txt_CTextChange()
{
    UpdateStatus();
}

// ---- Status ---------------------------------------------------------------

void frm_CText::UpdateStatus()
{
    const mus::ByteDocument& doc = *document_;
    const bool canUndo = doc.CanUndo();
    const std::int64_t len = doc.TextLength();
    const std::int64_t sel = doc.SelectionLength();

    for (QToolButton* b : {btn_Encrypt, btn_Decrypt, btn_Save, btn_SelectAll}) b->setEnabled(len > 0);
    for (QToolButton* b : {btn_Cut, btn_Copy, btn_Delete}) b->setEnabled(sel > 0);
    btn_Undo->setEnabled(canUndo);

    QString bytes = QLatin1Char(' ') + ByteText(len);
    if (sel > 0) bytes += QStringLiteral(", ") + ByteText(sel) + QStringLiteral(" selected");
    if (pan_Bytes->text() != bytes) pan_Bytes->setText(bytes);

    const QString type = doc.HoldsBlock() ? QStringLiteral(" Encrypted Text") : QStringLiteral(" Normal Text");
    if (pan_TextType->text() != type) pan_TextType->setText(type);
}

// ---- Help menu and About ----------------------------------------------------

void frm_CText::Contents1Click()
{
    mus::desktop::ShowHelpContents();
}

void frm_CText::SearchforHelpOn1Click()
{
    mus::desktop::ShowHelpSearch();
}

void frm_CText::HowtoUseHelp1Click()
{
    mus::desktop::ShowHelpOnHelp();
}

void frm_CText::About2Click()
{
    frm_About about(this);
    about.exec();
}
