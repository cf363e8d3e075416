#include "editor/window/decrypted_text_guard.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDBusConnection>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>

#include "editor/desktop/desktop.h"
#include "editor/document/byte_document.h"

namespace mus {

namespace {

// The longest a QTimer waits; a longer delay is as good as for ever.
std::chrono::milliseconds Delay(std::int32_t seconds)
{
    return std::chrono::milliseconds(std::min<std::int64_t>(std::int64_t{seconds} * 1000, INT_MAX));
}

// Input from the user to any window of the program.
bool IsInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::InputMethod: return true;
    default: return false;
    }
}

// While the text is hidden, screen readers find an editor without text: an
// interface of its own, with no text interface, in place of Qt's.
QAccessibleInterface* HiddenEditorAccessible(const QString& /*className*/, QObject* object)
{
    auto* editor = qobject_cast<SecretTextEdit*>(object);
    if (editor == nullptr || !editor->TextHidden()) return nullptr;
    return new QAccessibleWidget(editor, QAccessible::EditableText, editor->accessibleName());
}

// Qt keeps one accessible interface per object: dropping it makes the next
// question build it anew, through the factory above.
void RenewAccessible(QObject* object)
{
    if (QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
}

// The object path of login session `id`: the bytes other than ASCII letters
// and digits, and a leading digit, written as "_" and two hexadecimal
// digits, as systemd names its objects.
QString SessionPath(const QByteArray& id)
{
    QString path = QStringLiteral("/org/freedesktop/login1/session/");
    for (qsizetype i = 0; i < id.size(); ++i) {
        const char c = id[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (letter || (digit && i > 0)) {
            path += QLatin1Char(c);
        } else {
            path += QStringLiteral("_%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
        }
    }
    return path;
}

} // namespace

// ---- The editor --------------------------------------------------------------

QMimeData* SecretTextEdit::createMimeDataFromSelection() const
{
    QMimeData* plain = QPlainTextEdit::createMimeDataFromSelection();
    if (!secret_) return plain;
    // The text alone, as text/plain: no second copy as HTML or as an office
    // document.
    const std::unique_ptr<QMimeData> made(plain);
    auto* secret = new SecretMimeData;
    secret->setText(made->text());
    secret->setData(QString::fromLatin1(kSecretHintType), QByteArray(kSecretHintValue));
    return secret;
}

// ---- The guard ---------------------------------------------------------------

DecryptedTextGuard::DecryptedTextGuard(SecretTextEdit& editor, ByteDocument& document)
    : editor_(editor), document_(document)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(HiddenEditorAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    BuildNote();
    document_.SetWholeTextReplacedHook([this] { WholeTextReplaced(); });

    idleTimer_.setSingleShot(true);
    connect(&idleTimer_, &QTimer::timeout, this, [this] { Guarded([this] { IdleTimerRanOut(); }); });
    dueTimer_.setInterval(250);
    connect(&dueTimer_, &QTimer::timeout, this, [this] { Guarded([this] { TryDueGoingBack(); }); });
    for (const QClipboard::Mode mode : {QClipboard::Clipboard, QClipboard::Selection}) {
        QTimer& timer = clearTimers_[static_cast<std::size_t>(mode)];
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, this, [this, mode] { ClearMode(mode); });
    }
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &DecryptedTextGuard::ClipboardChanged);
    qApp->installEventFilter(this);
    ConnectScreenLock();
}

DecryptedTextGuard::~DecryptedTextGuard()
{
    qApp->removeEventFilter(this);
    document_.SetWholeTextReplacedHook({});
    ClearClipboard();
}

void DecryptedTextGuard::BuildNote()
{
    note_ = new QWidget(editor_.parentWidget());
    note_->setObjectName(QStringLiteral("pan_Hidden"));
    noteLabel_ = new QLabel(QStringLiteral("Hidden while you were away."), note_);
    noteLabel_->setObjectName(QStringLiteral("lab_Hidden"));
    noteLabel_->setAlignment(Qt::AlignCenter);
    showButton_ = new QPushButton(QStringLiteral("Show"), note_);
    showButton_->setObjectName(QStringLiteral("cmd_Show"));
    // Enter shows, as in a dialog.
    showButton_->setAutoDefault(true);
    connect(showButton_, &QPushButton::clicked, this, [this] { Guarded([this] { ShowText(); }); });

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(showButton_);
    row->addStretch();
    auto* column = new QVBoxLayout(note_);
    column->addStretch();
    column->addWidget(noteLabel_);
    column->addLayout(row);
    column->addStretch();
    note_->hide();
    if (QLayout* layout = editor_.parentWidget()->layout()) layout->addWidget(note_);
}

void DecryptedTextGuard::ConnectScreenLock()
{
    // A missing bus, or a desktop without these services, is no error: the
    // idle delay still applies.
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        // Any sender, any object path: desktops publish the signal at
        // different paths.
        for (const char* service : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"}) {
            session.connect(QString(), QString(), QString::fromLatin1(service), QStringLiteral("ActiveChanged"), this,
                            SLOT(ScreenSaverActiveChanged(bool)));
        }
    }
    const QByteArray id = qgetenv("XDG_SESSION_ID");
    if (id.isEmpty()) return;
    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected()) return;
    system.connect(QStringLiteral("org.freedesktop.login1"), SessionPath(id),
                   QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Lock"), this,
                   SLOT(SessionLocked()));
}

void DecryptedTextGuard::SetDelays(const ForgetDelays& delays)
{
    delays_ = delays;
    ArmIdleTimer();
}

void DecryptedTextGuard::Guarded(const std::function<void()>& step)
{
    desktop::RunGuarded(editor_.window(), step);
}

// ---- Holding decrypted text -------------------------------------------------

void DecryptedTextGuard::PutDecryptedText(const std::function<void()>& put)
{
    // A text that held decrypted text is no block to go back to.
    std::string before = holds_ ? std::string() : document_.Text();
    put();
    holds_ = true;
    block_ = std::move(before);
    editor_.SetSecret(true);
    // "Unchanged since Decrypt" is the document's modified flag, which Undo
    // back to this point clears again.
    editor_.document()->setModified(false);
    lastInput_.start();
    ArmIdleTimer();
}

void DecryptedTextGuard::WholeTextReplaced()
{
    holds_ = false;
    std::string().swap(block_);
    editor_.SetSecret(false);
    goingBackDue_ = false;
    dueTimer_.stop();
    idleTimer_.stop();
    if (hidden_) ShowText();
}

bool DecryptedTextGuard::Unchanged() const
{
    return !editor_.document()->isModified();
}

bool DecryptedTextGuard::CommandRunning() const
{
    return commands_ > 0 || QApplication::activeModalWidget() != nullptr;
}

// ---- Away -------------------------------------------------------------------

void DecryptedTextGuard::ArmIdleTimer()
{
    if (!holds_ || hidden_ || delays_.hideAfterIdleSeconds <= 0) {
        idleTimer_.stop();
        return;
    }
    const auto full = Delay(delays_.hideAfterIdleSeconds);
    const auto quiet = std::chrono::milliseconds(lastInput_.isValid() ? lastInput_.elapsed() : 0);
    idleTimer_.start(std::max(full - quiet, std::chrono::milliseconds(0)));
}

void DecryptedTextGuard::IdleTimerRanOut()
{
    // Input since the timer started moves the moment on; the filter only
    // notes the time, so input costs next to nothing.
    if (lastInput_.isValid() && lastInput_.elapsed() < Delay(delays_.hideAfterIdleSeconds).count())
        return ArmIdleTimer();
    Away();
}

bool DecryptedTextGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (IsInput(event->type())) lastInput_.start();
    return QObject::eventFilter(watched, event);
}

void DecryptedTextGuard::ScreenSaverActiveChanged(bool active)
{
    if (active) Guarded([this] { Away(); });
}

void DecryptedTextGuard::SessionLocked()
{
    Guarded([this] { Away(); });
}

void DecryptedTextGuard::Away()
{
    if (!holds_) return;
    const bool canGoBack = !block_.empty() && Unchanged();
    if (canGoBack && !CommandRunning()) return GoBack();
    HideText();
    if (canGoBack) {
        goingBackDue_ = true;
        dueTimer_.start();
    }
}

void DecryptedTextGuard::TryDueGoingBack()
{
    if (!goingBackDue_ || CommandRunning()) return;
    goingBackDue_ = false;
    dueTimer_.stop();
    if (holds_ && !block_.empty() && Unchanged()) GoBack();
}

void DecryptedTextGuard::GoBack()
{
    const std::string block = std::move(block_);
    ClearClipboard();
    // A whole replacement: the history goes, and with it the state.
    document_.SetText(block);
}

void DecryptedTextGuard::HideText()
{
    if (hidden_) return;
    hidden_ = true;
    idleTimer_.stop();
    editor_.SetTextHidden(true);
    RenewAccessible(&editor_);
    // Hidden and disabled: not drawn, no focus, no input; the document and
    // its undo history stay as they are.
    editor_.setEnabled(false);
    editor_.hide();
    note_->show();
    showButton_->setFocus(Qt::OtherFocusReason);
    emit textHiddenChanged(true);
}

void DecryptedTextGuard::ShowText()
{
    if (!hidden_) return;
    hidden_ = false;
    goingBackDue_ = false;
    dueTimer_.stop();
    note_->hide();
    editor_.SetTextHidden(false);
    RenewAccessible(&editor_);
    editor_.setEnabled(true);
    editor_.show();
    editor_.setFocus(Qt::OtherFocusReason);
    lastInput_.start();
    ArmIdleTimer();
    emit textHiddenChanged(false);
}

void DecryptedTextGuard::FocusEditor()
{
    if (hidden_) {
        showButton_->setFocus(Qt::OtherFocusReason);
    } else {
        editor_.setFocus(Qt::OtherFocusReason);
    }
}

DecryptedTextGuard::RunningCommand::RunningCommand(DecryptedTextGuard& guard, bool showsText) : guard_(guard)
{
    if (showsText) guard_.ShowText();
    ++guard_.commands_;
}

DecryptedTextGuard::RunningCommand::~RunningCommand()
{
    if (--guard_.commands_ == 0) guard_.Guarded([this] { guard_.TryDueGoingBack(); });
}

// ---- The clipboard ----------------------------------------------------------

void DecryptedTextGuard::ClipboardChanged(QClipboard::Mode mode)
{
    if (mode != QClipboard::Clipboard && mode != QClipboard::Selection) return;
    QTimer& timer = clearTimers_[static_cast<std::size_t>(mode)];
    if (qobject_cast<const SecretMimeData*>(QGuiApplication::clipboard()->mimeData(mode)) == nullptr) {
        timer.stop();
        return;
    }
    if (delays_.clipboardClearSeconds > 0) timer.start(Delay(delays_.clipboardClearSeconds));
}

void DecryptedTextGuard::ClearMode(QClipboard::Mode mode)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection()) return;
    // Only what the program itself put there: anything copied since, by
    // this program or another, stays.
    if (qobject_cast<const SecretMimeData*>(clipboard->mimeData(mode)) != nullptr) clipboard->clear(mode);
}

void DecryptedTextGuard::ClearClipboard()
{
    ClearMode(QClipboard::Clipboard);
    ClearMode(QClipboard::Selection);
}

} // namespace mus
