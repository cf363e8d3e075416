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
#include <QLabel>
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

} // namespace

class DecryptedTextTest : public QObject {
    Q_OBJECT

    QTemporaryDir directory_;
    std::unique_ptr<frm_CText> window_;
    mus::fake::Log log_;
    std::unique_ptr<mus::fake::ScriptedUser> user_;
    std::string block_ = mus::fake::BlockDocument(kText);

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
        QVERIFY(user_->ScriptUsedUp());
    }

    void Decrypt() { Decrypt(block_); }

    // A block in the editor, then Decrypt.
    void Decrypt(const std::string& block)
    {
        W().Document().SetText(block);
        Run("Decrypt1");
        QCOMPARE(Text(), kText);
        QVERIFY(Guard().HoldsDecryptedText());
    }

    // How the document came by its text, for the tables: decrypted, and
    // what followed.
    void Prepare(const QString& how)
    {
        if (how == "typed") {
            TypeText(Editor(W()), QStringLiteral("typed"));
            return;
        }
        if (how == "decrypted with a warning") {
            // No CRC value: the text comes with a warning box after it.
            std::string block = block_;
            const std::size_t crc = block.find("\r\nMuS/", block.find("MuS/")) + 2;
            block.replace(crc, block.find("\r\n", crc) - crc, "MuS/0");
            Decrypt(block);
            QCOMPARE(log_.back().substr(0, 11), std::string("box warning"));
            return;
        }
        Decrypt();
        Editor(W())->moveCursor(QTextCursor::End);
        if (how == "decrypted, typed") TypeText(Editor(W()), QStringLiteral("!"));
        if (how == "decrypted, typed, undone") {
            TypeText(Editor(W()), QStringLiteral("!"));
            Run("Undo1");
        }
        if (how == "decrypted, pasted") {
            Clipboard()->setText(QStringLiteral(" pasted"));
            Run("Paste1");
        }
        if (how == "decrypted, encrypted") Run("Encrypt1", {mus::fake::Phrase("")});
        if (how == "decrypted, new") {
            Run("New1", {Reply(mus::Answer::Yes)});
            TypeText(Editor(W()), QStringLiteral("new"));
        }
        if (how == "decrypted, opened") {
            QFile file(directory_.filePath(QStringLiteral("opened.txt")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("opened");
            file.close();
            W().OpenPath(file.fileName());
        }
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
        log_.clear();
        NewWindow();
    }

    void cleanup()
    {
        window_.reset();
        user_.reset();
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
        const QString selected = Editor(W())->textCursor().selectedText();
        std::unique_ptr<QMimeData> made;
        const QMimeData* data = nullptr;
        if (way == "selection or drag") {
            made.reset(static_cast<mus::SecretTextEdit*>(Editor(W()))->createMimeDataFromSelection());
            data = made.get();
        } else {
            Run(way == "copy" ? "Copy1" : "Cut1");
            data = Clipboard()->mimeData();
        }
        QVERIFY(data != nullptr);
        QCOMPARE(data->text(), QString(selected).replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
        QCOMPARE(data->data(mus::kSecretHintType), marked ? QByteArray(mus::kSecretHintValue) : QByteArray());
        // Unmarked text leaves as it always did, with its HTML form; marked
        // text as text alone.
        QCOMPARE(data->hasHtml(), !marked);
    }

    void clipboardClearedAfterTheDelay_data()
    {
        QTest::addColumn<int>("delay");
        QTest::addColumn<bool>("copiedOver");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("still there") << 1 << false << true;
        QTest::newRow("copied over since") << 1 << true << false;
        QTest::newRow("delay 0: never") << 0 << false << false;
    }

    void clipboardClearedAfterTheDelay()
    {
        QFETCH(int, delay);
        QFETCH(bool, copiedOver);
        QFETCH(bool, cleared);
        Guard().SetDelays({delay, 0});
        Decrypt();
        Editor(W())->selectAll();
        Run("Copy1");
        QVERIFY(ClipboardMarked());
        if (copiedOver) Clipboard()->setText(QStringLiteral("someone else's"));
        const QString before = Clipboard()->text();
        if (cleared) {
            QTRY_VERIFY_WITH_TIMEOUT(Clipboard()->mimeData() == nullptr || Clipboard()->text().isEmpty(), 3000);
        } else {
            QTest::qWait(1500);
            QCOMPARE(Clipboard()->text(), before);
        }
        // The document is as it was.
        QCOMPARE(Text(), kText);
    }

    void clipboardClearedAtExit_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("still there") << "" << true;
        QTest::newRow("document encrypted since") << "encrypt" << true;
        QTest::newRow("copied over since") << "copy over" << false;
    }

    void clipboardClearedAtExit()
    {
        QFETCH(QString, after);
        QFETCH(bool, cleared);
        Decrypt();
        Editor(W())->selectAll();
        Run("Copy1");
        if (after == "encrypt") Run("Encrypt1", {mus::fake::Phrase("")});
        if (after == "copy over") Clipboard()->setText(QStringLiteral("someone else's"));
        window_.reset();
        QCOMPARE(Clipboard()->text().isEmpty(), cleared);
    }

    void awayGoesBackOrHides_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("away");
        QTest::addColumn<QString>("expected");
        for (const char* away : {"idle", "screen lock"}) {
            QTest::addRow("unchanged, %s", away) << "decrypted" << away << "back";
            QTest::addRow("typed, %s", away) << "decrypted, typed" << away << "hidden";
            QTest::addRow("typed and undone, %s", away) << "decrypted, typed, undone" << away << "back";
            QTest::addRow("pasted, %s", away) << "decrypted, pasted" << away << "hidden";
            QTest::addRow("not decrypted, %s", away) << "typed" << away << "shown";
            QTest::addRow("encrypted since, %s", away) << "decrypted, encrypted" << away << "shown";
        }
        QTest::addRow("unchanged, idle delay from the settings file") << "decrypted"
                                                                      << "settings"
                                                                      << "back";
        QTest::addRow("typed, idle delay from the settings file") << "decrypted, typed"
                                                                  << "settings"
                                                                  << "hidden";
    }

    void awayGoesBackOrHides()
    {
        QFETCH(QString, how);
        QFETCH(QString, away);
        QFETCH(QString, expected);
        if (away == "settings") {
            window_.reset();
            QDir().mkpath(QFileInfo(mus::SettingsStore::DefaultPath()).absolutePath());
            QFile ini(mus::SettingsStore::DefaultPath());
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Murmurscript]\nHideAfterIdleSeconds=1\n");
            ini.close();
            NewWindow();
        }
        Prepare(how);
        Editor(W())->setFocus();
        if (how == "decrypted") {
            Editor(W())->selectAll();
            Run("Copy1");
        }
        const std::string before = Text();
        if (away == "idle") Guard().Away();
        if (away == "screen lock") QMetaObject::invokeMethod(&Guard(), "ScreenSaverActiveChanged", Q_ARG(bool, true));
        if (away == "settings") QTRY_VERIFY_WITH_TIMEOUT(Text() != before || Guard().TextHidden(), 4000);

        QCOMPARE(Guard().TextHidden(), expected == "hidden");
        QCOMPARE(Editor(W())->isVisible(), expected != "hidden");
        if (expected == "back") {
            QCOMPARE(Text(), block_);
            QVERIFY(!Guard().HoldsDecryptedText());
            QVERIFY(!W().Document().CanUndo());
            QVERIFY(!Editor(W())->document()->isRedoAvailable());
            QVERIFY(!ClipboardMarked());
            QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));
        } else {
            QCOMPARE(Text(), before);
        }
    }

    void hiddenTextShowsWithItsHistory()
    {
        Decrypt();
        Editor(W())->moveCursor(QTextCursor::End);
        TypeText(Editor(W()), QStringLiteral(" Bring the map."));
        Run("Find1");
        QWidget* findBar = Part<QWidget>(W(), "pan_Find");
        QVERIFY(findBar->isVisible() && findBar->isEnabled());
        Guard().Away();
        QVERIFY(!findBar->isEnabled());
        QVERIFY(Guard().TextHidden());

        // Not drawn, no input, nothing for a screen reader to read; the
        // note's button has the focus.
        QVERIFY(!Editor(W())->isVisible());
        QVERIFY(!Editor(W())->isEnabled());
        QCOMPARE(QApplication::focusWidget(), ShowButton());
        QCOMPARE(Part<QLabel>(W(), "lab_Hidden")->text(), QStringLiteral("Hidden while you were away."));
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(Editor(W()));
        QVERIFY(reader->textInterface() == nullptr);
        QVERIFY(!reader->text(QAccessible::Value).contains(QStringLiteral("mill")));
        TypeText(ShowButton(), QStringLiteral("x"));
        QCOMPARE(Text(), kText + " Bring the map.");

        QTest::keyClick(ShowButton(), Qt::Key_Return);
        QVERIFY(!Guard().TextHidden());
        QVERIFY(Editor(W())->isVisible());
        QVERIFY(findBar->isEnabled());
        QCOMPARE(QApplication::focusWidget(), Editor(W()));
        reader = QAccessible::queryAccessibleInterface(Editor(W()));
        QVERIFY(reader->textInterface() != nullptr);
        QVERIFY(reader->textInterface()->text(0, 20).contains(QStringLiteral("mill")));
        Run("Undo1");
        QCOMPARE(Text(), kText);
    }

    // Every command but New, Open, Exit and the Help menu's shows the
    // hidden text first.
    void commandsShowTheTextFirst_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("shows");
        QStringList keepHidden;
        for (const mus::Command& c : frm_CText::Commands()) {
            if (c.kind != mus::RowKind::Item) continue;
            if (!c.ShowsHiddenTextFirst()) keepHidden << QString::fromLatin1(c.name);
            // Exit would end the test.
            if (QByteArray(c.name) != "Exit1") QTest::newRow(c.name) << c.name << c.ShowsHiddenTextFirst();
        }
        QCOMPARE(keepHidden, (QStringList{"New1", "OpenFile1", "Exit1", "Contents1", "SearchforHelpOn1",
                                          "HowtoUseHelp1", "About2"}));
    }

    void commandsShowTheTextFirst()
    {
        QFETCH(QString, command);
        QFETCH(bool, shows);
        Prepare(QStringLiteral("decrypted, typed"));
        Guard().Away();
        QVERIFY(Guard().TextHidden());
        // Dialogs are cancelled, boxes answered by their Escape button.
        ModalAnswerer answer;
        QList<bool> shownWhenDialogsOpened;
        for (int i = 0; i < 2; ++i) {
            answer.Add([this, &shownWhenDialogsOpened](QDialog* dialog) {
                shownWhenDialogsOpened << !Guard().TextHidden();
                dialog->reject();
            });
        }
        user_->Script({mus::fake::CancelPhrase()});
        MenuItem(W(), qPrintable(command))->trigger();
        answer.Leftover();
        QCOMPARE(!Guard().TextHidden(), shows);
        for (const bool shown : shownWhenDialogsOpened) QCOMPARE(shown, shows);
        QVERIFY(Guard().HoldsDecryptedText());
    }

    void goingBackWaitsForTheRunningCommand_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("back");
        QTest::newRow("unchanged") << "decrypted" << true;
        QTest::newRow("typed") << "decrypted, typed" << false;
    }

    void goingBackWaitsForTheRunningCommand()
    {
        QFETCH(QString, how);
        QFETCH(bool, back);
        Prepare(how);
        const std::string before = Text();
        ModalAnswerer answer;
        bool hiddenMeanwhile = false;
        answer.Add([this, &hiddenMeanwhile, before](QDialog* dialog) {
            Guard().Away();
            hiddenMeanwhile = Guard().TextHidden() && Text() == before;
            dialog->reject();
        });
        MenuItem(W(), "About2")->trigger();
        QCOMPARE(answer.Leftover(), 0);
        QVERIFY(hiddenMeanwhile);
        QCOMPARE(Text(), back ? block_ : before);
        QCOMPARE(Guard().TextHidden(), !back);
    }

    // Run under a private session bus (dbus-run-session), which the desktop's
    // screen saver signal is sent on.
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
        Decrypt();
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
