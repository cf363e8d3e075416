// Decrypted text that does not outlive its use, through the real window:
// the mark on what leaves the editor, the clipboard cleared after the delay
// and at exit, the document going back to its block or the text hidden when
// the user is away, and Show.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

#include "editor/desktop/desktop.h"
#include "editor/document/byte_document.h"
#include "editor/settings/settings_store.h"
#include "editor/window/decrypted_text_guard.h"
#include "editor/window/main_window.h"
#include "tests/support/command_test_support.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/window_parts.h"

using namespace mus::test;
using mus::fake::Reply;

namespace {

const std::string kText = "Meet at the old mill\r\nat nine.";

QClipboard* Clipboard()
{
    return QGuiApplication::clipboard();
}

bool ClipboardMarked()
{
    const QMimeData* data = Clipboard()->mimeData();
    return data != nullptr && data->data(mus::kSecretHintType) == mus::kSecretHintValue;
}

// The block without its CRC value: Decrypt warns after the text is in.
std::string WithoutCrc(std::string block)
{
    const std::size_t crc = block.find("\r\nMuS/", block.find("MuS/")) + 2;
    return block.replace(crc, block.find("\r\n", crc) - crc, "MuS/0");
}

} // namespace

class DecryptedTextTest : public QObject {
    Q_OBJECT

    QTemporaryDir directory_;
    std::unique_ptr<frm_CText> window_;
    mus::fake::Log log_;
    std::unique_ptr<mus::fake::ScriptedUser> user_;
    const std::string block_ = mus::fake::BlockDocument(kText);

    frm_CText& W() { return *window_; }
    mus::DecryptedTextGuard& Guard() { return W().DecryptedText(); }
    std::string Text() { return W().Document().Text(); }
    QPushButton* ShowButton() { return Part<QPushButton>(W(), "cmd_Show"); }

    void NewWindow()
    {
        window_ = std::make_unique<frm_CText>();
        user_ = std::make_unique<mus::fake::ScriptedUser>(log_);
        W().SetUser(user_.get());
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void Run(const char* command, std::vector<mus::fake::Step> script = {})
    {
        user_->Script(std::move(script));
        MenuItem(W(), command)->trigger();
    }

    void Decrypt(const std::string& block)
    {
        W().Document().SetText(block);
        Run("Decrypt1");
        QCOMPARE(Text(), kText);
        QVERIFY(Guard().HoldsDecryptedText());
    }

    // How the document came by its text: typed, or decrypted and what followed.
    void Prepare(const QString& how)
    {
        if (how == "typed") return TypeText(Editor(W()), QStringLiteral("typed"));
        Decrypt(how == "decrypted with a warning" ? WithoutCrc(block_) : block_);
        Editor(W())->moveCursor(QTextCursor::End);
        if (how.contains("typed")) TypeText(Editor(W()), QStringLiteral("!"));
        if (how.contains("undone")) Run("Undo1");
        if (how.contains("pasted")) {
            Clipboard()->setText(QStringLiteral(" pasted"));
            Run("Paste1");
        }
        if (how.contains("encrypted")) Run("Encrypt1", {mus::fake::Phrase("")});
        if (how.contains("new")) {
            Run("New1", {Reply(mus::Answer::Yes)});
            TypeText(Editor(W()), QStringLiteral("new"));
        }
        if (how.contains("opened")) {
            QFile file(directory_.filePath(QStringLiteral("opened.txt")));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("opened") == 6);
            file.close();
            W().OpenPath(file.fileName());
        }
    }

    void CopyAll()
    {
        Editor(W())->selectAll();
        Run("Copy1");
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setApplicationName(QStringLiteral("Murmurscript"));
        QVERIFY(directory_.isValid());
        QVERIFY(QDir::setCurrent(directory_.path()));
    }

    void init()
    {
        QFile::remove(mus::SettingsStore::DefaultPath());
        Clipboard()->clear();
        NewWindow();
    }

    void cleanup()
    {
        window_.reset();
        mus::desktop::CloseHelp();
    }

    void markedWhileTheDocumentHoldsDecryptedText_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("marked");
        for (const char* way : {"copy", "cut", "selection or drag"}) {
            for (const char* how : {"decrypted", "decrypted with a warning", "decrypted, typed", "decrypted, pasted"})
                QTest::addRow("%s, %s", how, way) << how << way << true;
            for (const char* how : {"typed", "decrypted, encrypted", "decrypted, new", "decrypted, opened"})
                QTest::addRow("%s, %s", how, way) << how << way << false;
        }
    }

    void markedWhileTheDocumentHoldsDecryptedText()
    {
        QFETCH(QString, how);
        QFETCH(QString, way);
        QFETCH(bool, marked);
        Prepare(how);
        Editor(W())->selectAll();
        const QString selected = Editor(W())->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
        std::unique_ptr<QMimeData> made;
        if (way == "selection or drag") {
            made.reset(static_cast<mus::SecretTextEdit*>(Editor(W()))->createMimeDataFromSelection());
        } else {
            Run(way == "copy" ? "Copy1" : "Cut1");
        }
        const QMimeData* data = made ? made.get() : Clipboard()->mimeData();
        QCOMPARE(data->text(), selected);
        QCOMPARE(data->data(mus::kSecretHintType), marked ? QByteArray(mus::kSecretHintValue) : QByteArray());
        // Unmarked text leaves as it always did, HTML form included; marked text as text alone.
        QCOMPARE(data->hasHtml(), !marked);
    }

    // Decrypt in Place marks the document as Decrypt does; away, the whole
    // document goes back, the mail around the block included.
    void decryptInPlaceHoldsDecryptedText()
    {
        const std::string mail = "Hi,\r\n" + block_ + "Bye\r\n";
        W().Document().SetText(mail);
        Run("DecryptInPlace1");
        QCOMPARE(Text(), "Hi,\r\n" + kText + "\r\nBye\r\n");
        QVERIFY(Guard().HoldsDecryptedText());
        CopyAll();
        QVERIFY(ClipboardMarked());
        Guard().Away();
        QCOMPARE(Text(), mail);
        QVERIFY(!Guard().HoldsDecryptedText());
    }

    void clipboardCleared_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("after the delay") << 1 << "wait" << true;
        QTest::newRow("after the delay, copied over since") << 1 << "copy over, wait" << false;
        QTest::newRow("delay 0: never") << 0 << "wait" << false;
        QTest::newRow("at exit") << 0 << "exit" << true;
        QTest::newRow("at exit, document encrypted since") << 0 << "encrypt, exit" << true;
        QTest::newRow("at exit, copied over since") << 0 << "copy over, exit" << false;
    }

    void clipboardCleared()
    {
        QFETCH(int, delay);
        QFETCH(QString, after);
        QFETCH(bool, cleared);
        Guard().SetDelays({delay, 0});
        Prepare(QStringLiteral("decrypted"));
        CopyAll();
        QVERIFY(ClipboardMarked());
        if (after.contains("copy over")) Clipboard()->setText(QStringLiteral("someone else's"));
        if (after.contains("encrypt")) Run("Encrypt1", {mus::fake::Phrase("")});
        if (after.contains("exit")) window_.reset();
        if (after.contains("wait") && cleared) QTRY_VERIFY_WITH_TIMEOUT(Clipboard()->text().isEmpty(), 3000);
        if (after.contains("wait") && !cleared) QTest::qWait(1500);
        QCOMPARE(Clipboard()->text().isEmpty(), cleared);
    }

    void awayGoesBackOrHides_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("away");
        QTest::addColumn<QString>("expected");
        for (const char* away : {"idle", "screen lock", "idle in a dialog"}) {
            const bool dialog = QByteArray(away) == "idle in a dialog";
            QTest::addRow("unchanged, %s", away) << "decrypted" << away << "back";
            QTest::addRow("typed, %s", away) << "decrypted, typed" << away << "hidden";
            QTest::addRow("typed and undone, %s", away) << "decrypted, typed, undone" << away << "back";
            QTest::addRow("pasted, %s", away) << "decrypted, pasted" << away << "hidden";
            if (dialog) continue;
            QTest::addRow("not decrypted, %s", away) << "typed" << away << "shown";
            QTest::addRow("encrypted since, %s", away) << "decrypted, encrypted" << away << "shown";
        }
        QTest::addRow("unchanged, delay of the settings file") << "decrypted"
                                                               << "settings"
                                                               << "back";
        QTest::addRow("typed, delay of the settings file") << "decrypted, typed"
                                                           << "settings"
                                                           << "hidden";
    }

    // In a dialog, hidden at first in any case; back to the block once the
    // command has ended, if the text is unchanged.
    void awayGoesBackOrHides()
    {
        QFETCH(QString, how);
        QFETCH(QString, away);
        QFETCH(QString, expected);
        if (away == "settings") {
            window_.reset();
            QDir().mkpath(QFileInfo(mus::SettingsStore::DefaultPath()).absolutePath());
            QFile ini(mus::SettingsStore::DefaultPath());
            QVERIFY(ini.open(QIODevice::WriteOnly) && ini.write("[Murmurscript]\nHideAfterIdleSeconds=1\n") > 0);
            ini.close();
            NewWindow();
        }
        Prepare(how);
        if (how == "decrypted") CopyAll();
        const std::string before = Text();
        ModalAnswerer answer;
        bool hiddenInDialog = false;
        if (away == "idle") Guard().Away();
        if (away == "screen lock") QMetaObject::invokeMethod(&Guard(), "ScreenSaverActiveChanged", Q_ARG(bool, true));
        if (away == "settings") QTRY_VERIFY_WITH_TIMEOUT(Text() != before || Guard().TextHidden(), 4000);
        if (away == "idle in a dialog") {
            answer.Add([&](QDialog* dialog) {
                Guard().Away();
                hiddenInDialog = Guard().TextHidden() && Text() == before;
                dialog->reject();
            });
            Run("About2");
            QVERIFY(hiddenInDialog);
        }
        QCOMPARE(Guard().TextHidden(), expected == "hidden");
        QCOMPARE(Editor(W())->isVisible(), expected != "hidden");
        QCOMPARE(Text(), expected == "back" ? block_ : before);
        if (expected == "back") {
            QVERIFY(!Guard().HoldsDecryptedText());
            QVERIFY(!W().Document().CanUndo() && !Editor(W())->document()->isRedoAvailable());
            QVERIFY(!ClipboardMarked());
        }
    }

    void hiddenTextShowsWithItsHistory()
    {
        Prepare(QStringLiteral("decrypted, typed"));
        Run("Find1");
        QWidget* findBar = Part<QWidget>(W(), "pan_Find");
        Guard().Away();
        // Not drawn, no input, nothing for a screen reader to read; the
        // note's button has the focus.
        QVERIFY(!Editor(W())->isVisible() && !Editor(W())->isEnabled() && !findBar->isEnabled());
        QCOMPARE(QApplication::focusWidget(), ShowButton());
        QCOMPARE(Part<QLabel>(W(), "lab_Hidden")->text(), QStringLiteral("Hidden while you were away."));
        QVERIFY(QAccessible::queryAccessibleInterface(Editor(W()))->textInterface() == nullptr);

        QTest::keyClick(ShowButton(), Qt::Key_Return);
        QVERIFY(!Guard().TextHidden() && Editor(W())->isVisible() && findBar->isEnabled());
        QCOMPARE(QApplication::focusWidget(), Editor(W()));
        QAccessibleTextInterface* reader = QAccessible::queryAccessibleInterface(Editor(W()))->textInterface();
        QVERIFY(reader != nullptr && reader->text(0, 20).contains(QStringLiteral("mill")));
        Run("Undo1");
        QCOMPARE(Text(), kText);
    }

    // Every command but New, Open, Exit and the Help menu's shows the hidden
    // text first, before any dialog of its own.
    void commandsShowTheTextFirst_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("shows");
        QStringList keepHidden;
        for (const mus::Command& c : frm_CText::Commands()) {
            if (c.kind != mus::RowKind::Item) continue;
            if (!c.ShowsHiddenTextFirst()) keepHidden << c.name;
            if (QByteArray(c.name) != "Exit1")
                QTest::newRow(c.name) << c.name << c.ShowsHiddenTextFirst(); // Exit ends the test
        }
        QCOMPARE(keepHidden, (QStringList{"New1", "OpenFile1", "Exit1", "Contents1", "SearchforHelpOn1",
                                          "HowtoUseHelp1", "SaveReaderPageAs1", "About2"}));
    }

    void commandsShowTheTextFirst()
    {
        QFETCH(QString, command);
        QFETCH(bool, shows);
        Prepare(QStringLiteral("decrypted, typed"));
        Guard().Away();
        ModalAnswerer answer; // every dialog cancelled
        QList<bool> shownInDialogs;
        for (int i = 0; i < 2; ++i) {
            answer.Add([&](QDialog* dialog) {
                shownInDialogs << !Guard().TextHidden();
                dialog->reject();
            });
        }
        Run(qPrintable(command), {mus::fake::CancelPhrase()});
        answer.Leftover();
        QCOMPARE(!Guard().TextHidden(), shows);
        for (const bool shown : shownInDialogs) QCOMPARE(shown, shows);
        QVERIFY(Guard().HoldsDecryptedText());
    }

    // Run under a private session bus (dbus-run-session).
    void screenLockThroughTheSessionBus_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("signal");
        QTest::newRow("freedesktop") << "/org/freedesktop/ScreenSaver"
                                     << "org.freedesktop.ScreenSaver.ActiveChanged";
        QTest::newRow("GNOME") << "/org/gnome/ScreenSaver"
                               << "org.gnome.ScreenSaver.ActiveChanged";
    }

    void screenLockThroughTheSessionBus()
    {
        QFETCH(QString, path);
        QFETCH(QString, signal);
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) QSKIP("no session bus");
        Prepare(QStringLiteral("decrypted"));
        const QStringList send{"emit", "--session", "--object-path", path, "--signal", signal};
        QCOMPARE(QProcess::execute(QStringLiteral("gdbus"), send + QStringList{"false"}), 0);
        QTest::qWait(200);
        QCOMPARE(Text(), kText);
        QCOMPARE(QProcess::execute(QStringLiteral("gdbus"), send + QStringList{"true"}), 0);
        QTRY_COMPARE(Text(), block_);
    }
};

QTEST_MAIN(DecryptedTextTest)
#include "decrypted_text_test.moc"
