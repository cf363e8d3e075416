// Encrypt and Decrypt through the real main window and its own user
// interface: the real phrase and method dialogs answered as a user would,
// the sounds and boxes through the desktop probe, the document and the
// status panels afterwards.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QToolButton>

#include <memory>
#include <string>

#include "cipher/armoured_block.h"
#include "cipher/commands/transfer_file.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/phrase.h"
#include "editor/desktop/desktop.h"
#include "editor/dialogs/method_dialog.h"
#include "editor/dialogs/phrase_dialog.h"
#include "editor/document/byte_document.h"
#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"
#include "tests/support/command_test_support.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/window_parts.h"

using namespace mus::test;
using mus::fake::BoxLine;
using mus::fake::Log;
using mus::fake::SoundLine;

Q_DECLARE_METATYPE(std::string)

namespace {

QString Q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ByteCount(std::size_t n)
{
    return QStringLiteral(" %1 bytes").arg(n);
}

} // namespace

class CipherWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir directory_;
    std::unique_ptr<frm_CText> window_;
    std::unique_ptr<ModalAnswerer> answer_;
    QStringList seen_; // prompts and dialogs, in the order they showed

    frm_CText& W() { return *window_; }
    std::string Text() { return W().Document().Text(); }

    // The phrase dialog: types `phrase` and presses Enter; notes in `kept`
    // how many characters the entry kept.
    void TypePhrase(const QString& phrase, QList<int>* kept = nullptr)
    {
        answer_->Add<frm_PWord>([this, phrase, kept](frm_PWord* dialog) {
            seen_ << dialog->lab_PWord->text();
            QVERIFY(dialog->txt_PWord->text().isEmpty());
            mus::test::TypeText(dialog->txt_PWord, phrase);
            if (kept != nullptr) *kept << dialog->txt_PWord->text().size();
            QTest::keyClick(dialog->txt_PWord, Qt::Key_Return);
        });
    }

    // The method dialog: notes the choice it opened with, picks Method 00.
    void ChooseMethod00()
    {
        answer_->Add<frm_EncodeMethod>([this](frm_EncodeMethod* dialog) {
            seen_ << (dialog->RadioButton2->isChecked() ? QStringLiteral("method dialog, Method 01 checked")
                                                        : QStringLiteral("method dialog"));
            QTest::mouseClick(dialog->RadioButton1, Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
    }

    void Click(QToolButton* button)
    {
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setApplicationName(QStringLiteral("Murmurscript"));
        QVERIFY(directory_.isValid());
        // The transfer file lies in the current directory.
        QVERIFY(QDir::setCurrent(directory_.path()));
    }

    void init()
    {
        QFile::remove(mus::SettingsStore::DefaultPath());
        window_ = std::make_unique<frm_CText>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        answer_ = std::make_unique<ModalAnswerer>();
        seen_.clear();
    }

    void cleanup()
    {
        QCOMPARE(answer_->Leftover(), 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!QFile::exists(QString::fromLatin1(mus::kTransferFileName.data())));
        answer_.reset();
        window_.reset();
        QVERIFY(QDir::setCurrent(directory_.path()));
    }

    void typedTextEncryptsWithoutPhraseAndDecrypts()
    {
        mus::test::TypeText(Editor(W()), QStringLiteral("Hello, world"));
        QCOMPARE(Text(), std::string("Hello, world"));
        TypePhrase(QString());
        Click(ToolButton(W(), "btn_Encrypt"));
        QCOMPARE(seen_, QStringList{Q(mus::msg::kPromptPhrase)});
        QCOMPARE(Text(), mus::fake::BlockDocument("Hello, world"));
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));
        QCOMPARE(BytesText(W()), ByteCount(Text().size()));

        Click(ToolButton(W(), "btn_Decrypt"));
        QCOMPARE(Text(), std::string("Hello, world"));
        QCOMPARE(TextType(W()), QStringLiteral(" Normal Text"));
        QCOMPARE(BytesText(W()), QStringLiteral(" 12 bytes"));
    }

    void phraseRoundTripKeepsEveryByte_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("CR LF lines") << std::string("first line\r\nsecond line\r\n\r\nlast") << QStringLiteral("key");
        QTest::newRow("non-ASCII") << std::string("Gr\xC3\xBC\xC3\x9F"
                                                  "e aus K\xC3\xB6ln: 20 \xE2\x82\xAC\r\n\xCE\xB1\xCE\xB2")
                                   << QStringLiteral("schl\u00fcssel");
        QTest::newRow("bytes that are no UTF-8") << std::string("raw \xFF\xFE\x80 bytes\r\n") << QStringLiteral("x");
        QTest::newRow("largest text, longest phrase") << std::string(22528, 'w') << QStringLiteral("abcdefghijklmnop");
    }

    void phraseRoundTripKeepsEveryByte()
    {
        QFETCH(std::string, text);
        QFETCH(QString, phrase);
        W().Document().SetText(text);
        QCOMPARE(Text(), text);

        TypePhrase(phrase);
        TypePhrase(phrase);
        Click(ToolButton(W(), "btn_Encrypt"));
        const std::string folded = mus::FoldPhrase(phrase.toStdString());
        QCOMPARE(Text(), mus::fake::BlockDocument(text, folded));
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));

        TypePhrase(phrase);
        Click(ToolButton(W(), "btn_Decrypt"));
        QCOMPARE(Text(), text);
        QCOMPARE(seen_,
                 (QStringList{Q(mus::msg::kPromptPhrase), Q(mus::msg::kPromptConfirm), Q(mus::msg::kPromptProtected)}));
        QCOMPARE(TextType(W()), QStringLiteral(" Normal Text"));
        QCOMPARE(BytesText(W()), ByteCount(text.size()));
    }

    void specificMethodMenuItemChoosesMethod00()
    {
        W().Document().SetText("Method zero please");
        ChooseMethod00();
        TypePhrase(QString());
        MenuItem(W(), "EncryptUsingMethod1")->trigger();
        QCOMPARE(seen_, (QStringList{QStringLiteral("method dialog, Method 01 checked"), Q(mus::msg::kPromptPhrase)}));
        QCOMPARE(Text(), mus::fake::BlockDocument("Method zero please", "", 0));

        // The flag was used up: the next Encrypt asks no method.
        Log log;
        DesktopProbe probe(log);
        probe.answers = {mus::Answer::Yes};
        TypePhrase(QString());
        MenuItem(W(), "Encrypt1")->trigger();
        QCOMPARE(seen_.size(), 3);
        QCOMPARE(seen_.last(), Q(mus::msg::kPromptPhrase));
        QCOMPARE(log, (Log{SoundLine(mus::AlertSound::Question),
                           BoxLine(mus::BoxKind::Confirm, "Yes No", mus::msg::kAlreadyEncrypted)}));
    }

    void method02EncryptsAndDecryptsWithALongPhrase()
    {
        W().Method02Costs = mus::kMinimumCosts;
        const std::string text = "Sealed in the window\r\n";
        W().Document().SetText(text);
        QList<int> kept;
        answer_->Add<frm_EncodeMethod>([](frm_EncodeMethod* dialog) {
            QVERIFY(dialog->RadioButton2->isChecked());
            QTest::mouseClick(dialog->RadioButton3, Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        // 65 characters typed: the entry keeps 64 and refuses the last with
        // the exclamation sound. A run of one letter is easy to guess: Yes
        // takes it all the same.
        const QString typed = QString(60, QLatin1Char('w')) + QStringLiteral("ord 5");
        for (int i = 0; i < 3; ++i) TypePhrase(typed, &kept);
        Log log;
        DesktopProbe probe(log);
        probe.answers = {mus::Answer::Yes};
        MenuItem(W(), "EncryptUsingMethod1")->trigger();
        const std::string refused = SoundLine(mus::AlertSound::Exclamation);
        QCOMPARE(log, (Log{refused, refused, SoundLine(mus::AlertSound::Question),
                           BoxLine(mus::BoxKind::Confirm, "Yes No, No default", mus::msg::kWeakPhrase)}));
        QVERIFY(Text().starts_with(std::string(mus::kStartLine) + "\r\nMuS/0130/02/1/22\r\n"));
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));

        Click(ToolButton(W(), "btn_Decrypt"));
        QCOMPARE(Text(), text);
        QCOMPARE(seen_, (QStringList{Q(mus::msg::kPromptPhraseRequired), Q(mus::msg::kPromptConfirm),
                                     Q(mus::msg::kPromptProtected)}));
        QCOMPARE(kept, (QList<int>{64, 64, 64}));
        QCOMPARE(log.back(), refused);
    }

    // The real box about an easy phrase: Escape and Enter both answer No,
    // and both entries are asked for anew.
    void weakPhraseBoxDefaultsToNo_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
    }

    void weakPhraseBoxDefaultsToNo()
    {
        QFETCH(int, key);
        W().Method02Costs = mus::kMinimumCosts;
        W().Document().SetText("Weak or not\r\n");
        answer_->Add<frm_EncodeMethod>([](frm_EncodeMethod* dialog) {
            QTest::mouseClick(dialog->RadioButton3, Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        TypePhrase(QStringLiteral("abc"));
        TypePhrase(QStringLiteral("abc"));
        answer_->Add([this, key](QDialog* box) {
            seen_ << box->windowTitle();
            QTest::keyClick(box, Qt::Key(key));
        });
        const QString strong = QStringLiteral("meet me at the old mill");
        TypePhrase(strong);
        TypePhrase(strong);
        Log log;
        DesktopProbe probe(log);
        probe.showBoxes = true;
        MenuItem(W(), "EncryptUsingMethod1")->trigger();
        const QString first = Q(mus::msg::kPromptPhraseRequired);
        const QString confirm = Q(mus::msg::kPromptConfirm);
        QCOMPARE(seen_, (QStringList{first, confirm, QStringLiteral("Confirm"), first, confirm}));
        QCOMPARE(log, (Log{SoundLine(mus::AlertSound::Question),
                           BoxLine(mus::BoxKind::Confirm, "Yes No, No default", mus::msg::kWeakPhrase)}));
        QVERIFY(Text().starts_with(std::string(mus::kStartLine) + "\r\nMuS/0130/02/1/13\r\n"));
    }

    // A 1 MiB note: suite 2, and back whole. The phrase typed again in
    // another case and form opens it.
    void method02RoundTripsAMebibyteNote()
    {
        W().Method02Costs = mus::kMinimumCosts;
        std::string text;
        while (text.size() < (std::size_t{1} << 20)) text += "Account details, letters, a journal.\r\n";
        text.resize(std::size_t{1} << 20);
        W().Document().SetText(text);
        answer_->Add<frm_EncodeMethod>([](frm_EncodeMethod* dialog) {
            QTest::mouseClick(dialog->RadioButton3, Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        TypePhrase(QStringLiteral("Meet me by the old mill, Stra\u00dfe 9"));
        TypePhrase(QStringLiteral("MEET ME BY THE OLD MILL, STRASSE 9"));
        Log log;
        DesktopProbe probe(log);
        MenuItem(W(), "EncryptUsingMethod1")->trigger();
        QCOMPARE(log, Log{});
        QVERIFY(Text().starts_with(std::string(mus::kStartLine) + "\r\nMuS/0140/02/1/1048576\r\n"));
        TypePhrase(QStringLiteral("meet me by the old mill, strasse 9"));
        Click(ToolButton(W(), "btn_Decrypt"));
        QVERIFY(Text() == text);
        QCOMPARE(BytesText(W()), ByteCount(text.size()));
    }

    void wrongPhraseThenRetryThenRightPhrase()
    {
        W().Document().SetText(mus::fake::BlockDocument("guarded", "KEY"));
        Log log;
        DesktopProbe probe(log);
        probe.answers = {mus::Answer::Retry};
        TypePhrase(QStringLiteral("kex"));
        TypePhrase(QStringLiteral("key"));
        Click(ToolButton(W(), "btn_Decrypt"));
        QCOMPARE(log, (Log{SoundLine(mus::AlertSound::Stop),
                           BoxLine(mus::BoxKind::Error, "Cancel Retry", mus::msg::kPhraseMismatch)}));
        QCOMPARE(seen_, (QStringList{Q(mus::msg::kPromptProtected), Q(mus::msg::kPromptProtected)}));
        QCOMPARE(Text(), std::string("guarded"));
        // Each attempt had a dialog of its own, gone when the command ended.
        QVERIFY(W().findChildren<frm_PWord*>().isEmpty());
    }

    void wordWrapOnEncryptsAndDecrypts()
    {
        MenuItem(W(), "WordWrap1")->trigger();
        QVERIFY(MenuItem(W(), "WordWrap1")->isChecked());
        QVERIFY(Editor(W())->lineWrapMode() != QPlainTextEdit::NoWrap);
        W().resize(300, W().height());
        const std::string text(3000, 'q');
        W().Document().SetText(text);
        TypePhrase(QStringLiteral("wrap"));
        TypePhrase(QStringLiteral("wrap"));
        Click(ToolButton(W(), "btn_Encrypt"));
        QCOMPARE(Text(), mus::fake::BlockDocument(text, "WRAP"));

        // The editor shows each body line as more than one line.
        QCoreApplication::processEvents();
        const QTextBlock body = Editor(W())->document()->findBlockByNumber(2);
        QVERIFY(body.layout() != nullptr);
        QVERIFY(body.layout()->lineCount() > 1);

        TypePhrase(QStringLiteral("wrap"));
        Click(ToolButton(W(), "btn_Decrypt"));
        QCOMPARE(Text(), text);
    }

    void statusFollowsTheChangeNotificationAlone()
    {
        // No dialog and no key event: only the editor's change notification
        // can bring the panels up to date.
        mus::fake::Log log;
        mus::fake::ScriptedUser user(log);
        W().SetUser(&user);
        W().Document().SetText("Plain text");
        QCOMPARE(TextType(W()), QStringLiteral(" Normal Text"));

        user.Script({mus::fake::Phrase("")});
        MenuItem(W(), "Encrypt1")->trigger();
        const std::string block = mus::fake::BlockDocument("Plain text");
        QCOMPARE(Text(), block);
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));
        QCOMPARE(BytesText(W()), ByteCount(block.size()));
        QVERIFY(ToolButton(W(), "btn_Decrypt")->isEnabled());

        MenuItem(W(), "Decrypt1")->trigger();
        QCOMPARE(Text(), std::string("Plain text"));
        QCOMPARE(TextType(W()), QStringLiteral(" Normal Text"));
        QCOMPARE(BytesText(W()), QStringLiteral(" 10 bytes"));
        W().SetUser(nullptr);
    }

    void emptyDocumentRefusedThroughShortcuts()
    {
        Log log;
        DesktopProbe probe(log);
        Editor(W())->setFocus();
        QTest::keyClick(Editor(W()), Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(Editor(W()), Qt::Key_D, Qt::ControlModifier);
        const std::string stop = SoundLine(mus::AlertSound::Stop);
        QCOMPARE(log, (Log{stop, BoxLine(mus::BoxKind::Error, "OK", mus::msg::kNoTextToEncrypt), stop,
                           BoxLine(mus::BoxKind::Error, "OK", mus::msg::kNoTextToDecrypt)}));
        QCOMPARE(Text(), std::string());
    }

    // A block quoted in a reply: the text, then the information box, no sound.
    void quotedBlockDecryptsWithARepairNote()
    {
        std::string quoted = "On Monday you wrote:\r\n> ";
        for (const char c : mus::fake::BlockDocument("abc"))
            quoted += c == '\n' ? std::string("\n> ") : std::string(1, c);
        W().Document().SetText(quoted);
        Log log;
        DesktopProbe probe(log);
        Editor(W())->setFocus();
        QTest::keyClick(Editor(W()), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(Text(), std::string("abc"));
        QCOMPARE(log, (Log{BoxLine(mus::BoxKind::Information, "OK",
                                   std::string(mus::msg::kRepairedPrefix) + "quote marks removed from 5 lines.")}));
    }

    // The mail around the block, with characters of several bytes and a
    // byte that is no UTF-8, stays as it was; one Undo brings the block back.
    void decryptInPlaceKeepsTheMailAndUndoes_data()
    {
        QTest::addColumn<bool>("shortcut");
        QTest::newRow("menu item") << false;
        QTest::newRow("Ctrl+Shift+D, then Ctrl+Z") << true;
    }

    void decryptInPlaceKeepsTheMailAndUndoes()
    {
        QFETCH(bool, shortcut);
        const std::string before = "Gr\xC3\xBC\xC3\x9F"
                                   "e \xF0\x9F\x99\x82 \xFF\r\n\r\n";
        const std::string after = "\r\nBis bald, \xE2\x82\xAC\r\nAl";
        const std::string document = before + mus::fake::BlockDocument("the map", "KEY") + after;
        W().Document().SetText(document);
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));
        TypePhrase(QStringLiteral("key"));
        Editor(W())->setFocus();
        if (shortcut) {
            QTest::keyClick(Editor(W()), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            MenuItem(W(), "DecryptInPlace1")->trigger();
        }
        QCOMPARE(Text(), before + "the map\r\n" + after);
        QCOMPARE(TextType(W()), QStringLiteral(" Normal Text"));
        QVERIFY(ToolButton(W(), "btn_Undo")->isEnabled());

        if (shortcut) {
            QTest::keyClick(Editor(W()), Qt::Key_Z, Qt::ControlModifier);
        } else {
            Click(ToolButton(W(), "btn_Undo"));
        }
        QCOMPARE(Text(), document);
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));
    }

    // The selection, after a character of two bytes, becomes a block on
    // lines of its own; one Undo brings the selection back.
    void encryptSelectionReplacesTheSelectionAlone_data()
    {
        QTest::addColumn<bool>("shortcut");
        QTest::newRow("menu item") << false;
        QTest::newRow("Ctrl+Shift+E") << true;
    }

    void encryptSelectionReplacesTheSelectionAlone()
    {
        QFETCH(bool, shortcut);
        const std::string document = "Dear S\xC3\xA1m,\r\nthe code is 1234 today.\r\nBye";
        W().Document().SetText(document);
        QTextCursor cursor = Editor(W())->textCursor();
        cursor.setPosition(22); // "Dear Sám,", a line break, "the code is "
        cursor.setPosition(26, QTextCursor::KeepAnchor);
        Editor(W())->setTextCursor(cursor);
        QCOMPARE(Editor(W())->textCursor().selectedText(), QStringLiteral("1234"));
        ChooseMethod00();
        TypePhrase(QString());
        Editor(W())->setFocus();
        if (shortcut) {
            QTest::keyClick(Editor(W()), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            MenuItem(W(), "EncryptSelection1")->trigger();
        }
        QCOMPARE(seen_, (QStringList{QStringLiteral("method dialog, Method 01 checked"), Q(mus::msg::kPromptPhrase)}));
        QCOMPARE(Text(),
                 "Dear S\xC3\xA1m,\r\nthe code is \r\n" + mus::fake::BlockDocument("1234", "", 0) + " today.\r\nBye");
        QCOMPARE(TextType(W()), QStringLiteral(" Encrypted Text"));

        MenuItem(W(), "Undo1")->trigger();
        QCOMPARE(Text(), document);
    }

    void encryptSelectionWithoutSelectionIsRefused()
    {
        W().Document().SetText("Nothing selected");
        Log log;
        DesktopProbe probe(log);
        MenuItem(W(), "EncryptSelection1")->trigger();
        QCOMPARE(log, (Log{SoundLine(mus::AlertSound::Stop),
                           BoxLine(mus::BoxKind::Error, "OK", mus::msg::kNoTextToEncrypt)}));
        QCOMPARE(Text(), std::string("Nothing selected"));
    }

    void transferFileErrorReachesTheFailureReport()
    {
        const QString gone = directory_.filePath(QStringLiteral("gone"));
        QVERIFY(QDir().mkdir(gone));
        QVERIFY(QDir::setCurrent(gone));
        QVERIFY(QDir().rmdir(gone));

        W().Document().SetText("Keep me");
        Log log;
        DesktopProbe probe(log);
        TypePhrase(QString());
        Click(ToolButton(W(), "btn_Encrypt"));
        QCOMPARE(log, Log{ReportLine("Invalid filename")});
        QCOMPARE(Text(), std::string("Keep me"));
    }
};

QTEST_MAIN(CipherWindowTest)
#include "cipher_window_test.moc"
