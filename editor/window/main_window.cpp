#include "editor/window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "editor/desktop/desktop.h"
#include "editor/desktop/fonts.h"
#include "editor/dialogs/about_dialog.h"
#include "editor/document/byte_document.h"
#include "editor/icons/pictures.h"
#include "editor/settings/settings_store.h"
#include "editor/window/decrypted_text_guard.h"
#include "editor/window/find_bar.h"
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
constexpr int kTextTypeWidth = 88;

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
    decrypted_ = std::make_unique<mus::DecryptedTextGuard>(*static_cast<mus::SecretTextEdit*>(txt_CText), *document_);
    BuildFindBar();
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

    txt_CText = new mus::SecretTextEdit(pan_CText);
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

    // The editor's panel, and under it the find bar when it shows.
    auto* area = new QWidget(this);
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(pan_CText, 1);
    setCentralWidget(area);
}

void frm_CText::BuildFindBar()
{
    pan_Find = new mus::FindBar(*txt_CText, *document_, centralWidget());
    centralWidget()->layout()->addWidget(pan_Find);
    ConnectGuarded(pan_Find, &mus::FindBar::selectionMoved, this, &frm_CText::UpdateStatus);
    // While the text is hidden the find bar neither searches nor replaces.
    connect(decrypted_.get(), &mus::DecryptedTextGuard::textHiddenChanged, pan_Find,
            [this](bool hidden) { pan_Find->setEnabled(!hidden); });
}

// ---- Toolbar ---------------------------------------------------------------

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

// ---- Editor events --------------------------------------------------------

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
    decrypted_->FocusEditor();
}

void frm_CText::FormCreate()
{
    AskForMethod = false;
    // The settings file is read once, for every setting read at start.
    const mus::SettingsStore settings;
    LoadAppearance(settings);
    LoadRecentFiles(settings);
    decrypted_->SetDelays(mus::ReadForgetDelays(settings));
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

    EnableButtons(len, sel, canUndo);

    QString bytes = QLatin1Char(' ') + ByteText(len);
    if (sel > 0) bytes += QStringLiteral(", ") + ByteText(sel) + QStringLiteral(" selected");
    if (pan_Bytes->text() != bytes) pan_Bytes->setText(bytes);

    const QString type = doc.HoldsBlock() ? QStringLiteral(" Encrypted Text") : QStringLiteral(" Normal Text");
    if (pan_TextType->text() != type) pan_TextType->setText(type);
}

void frm_CText::EnableButtons(std::int64_t len, std::int64_t sel, bool canUndo)
{
    for (const char* b : {"btn_Encrypt", "btn_Decrypt", "btn_Save", "btn_SelectAll"}) Button(b)->setEnabled(len > 0);
    for (const char* b : {"btn_Cut", "btn_Copy", "btn_Delete"}) Button(b)->setEnabled(sel > 0);
    Button("btn_Undo")->setEnabled(canUndo);
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
