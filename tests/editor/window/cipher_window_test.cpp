// Encrypt and Decrypt through the real main window: the real phrase and
// method dialogs answered as a user would, the boxes through the desktop
// probe, the document and the status panels afterwards.
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
#include <QTextLayout>
#include <QToolButton>

#include <memory>
#include <string>

#include "cipher/armoured_block.h"
#include "cipher/commands/transfer_file.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/phrase.h"
#include "editor/document/byte_document.h"
#include "editor/desktop/desktop.h"
#include "editor/window/main_window.h"
#include "editor/settings/settings_store.h"
#include "editor/dialogs/method_dialog.h"
#include "editor/dialogs/phrase_dialog.h"
#include "tests/support/modal_answerer.h"
#include "tests/cipher/commands/command_test_support.h"
#include "tests/cipher/commands/scripted_ui.h"
#include "tests/support/desktop_probe.h"

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
    std::unique_ptr<mus::test::ModalAnswerer> answer_;
    QStringList seen_;   // prompts and dialogs, in the order they showed

    frm_CText& W() { return *window_; }
    std::string Text() { return W().Document().Text(); }

    // The phrase dialog: types `phrase` and presses Enter; notes the entry's limit in `limits`.
    void TypePhrase(const QString& phrase, QList<int>* limits = nullptr)
    {
        answer_->Add([this, phrase, limits](QDialog* d) {
            auto* dialog = qobject_cast<frm_PWord*>(d);
            QVERIFY(dialog != nullptr);
            seen_ << dialog->lab_PWord->text();
            if (limits != nullptr) *limits << dialog->txt_PWord->maxLength();
            QVERIFY(dialog->txt_PWord->text().isEmpty());
            mus::test::TypeText(dialog->txt_PWord, phrase);
            QTest::keyClick(dialog->txt_PWord, Qt::Key_Return);
        });
    }

    // The method dialog: notes the choice it opened with, picks Method 00.
    void ChooseMethod00()
    {
        answer_->Add([this](QDialog* d) {
            auto* dialog = qobject_cast<frm_EncodeMethod*>(d);
            QVERIFY(dialog != nullptr);
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
        answer_ = std::make_unique<mus::test::ModalAnswerer>();
        seen_.clear();
    }

    void cleanup()
    {
        QVERIFY(answer_->Finished());
        QCOMPARE(answer_->Unanswered(), 0);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!QFile::exists(QString::fromLatin1(mus::kTransferFileName.data())));
        answer_.reset();
        window_.reset();
        QVERIFY(QDir::setCurrent(directory_.path()));
    }

    void typedTextEncryptsWithoutPhraseAndDecrypts()
    {
        mus::test::TypeText(W().txt_CText, QStringLiteral("Hello, world"));
        QCOMPARE(Text(), std::string("Hello, world"));
        TypePhrase(QString());
        Click(W().btn_Encrypt);
        QCOMPARE(seen_, QStringList{Q(mus::msg::kPromptPhrase)});
        QCOMPARE(Text(), mus::fake::BlockDocument("Hello, world"));
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Encrypted Text"));
        QCOMPARE(W().pan_Bytes->text(), ByteCount(Text().size()));

        Click(W().btn_Decrypt);
        QCOMPARE(Text(), std::string("Hello, world"));
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Normal Text"));
        QCOMPARE(W().pan_Bytes->text(), QStringLiteral(" 12 bytes"));
    }

    void phraseRoundTripKeepsEveryByte_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("CR LF lines") << std::string("first line\r\nsecond line\r\n\r\nlast") << QStringLiteral("key");
        QTest::newRow("non-ASCII") << std::string("Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln: 20 \xE2\x82\xAC\r\n\xCE\xB1\xCE\xB2")
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
        Click(W().btn_Encrypt);
        const std::string folded = mus::FoldPhrase(phrase.toStdString());
        QCOMPARE(Text(), mus::fake::BlockDocument(text, folded));
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Encrypted Text"));

        TypePhrase(phrase);
        Click(W().btn_Decrypt);
        QCOMPARE(Text(), text);
        QCOMPARE(seen_, (QStringList{Q(mus::msg::kPromptPhrase), Q(mus::msg::kPromptConfirm),
                                     Q(mus::msg::kPromptProtected)}));
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Normal Text"));
        QCOMPARE(W().pan_Bytes->text(), ByteCount(text.size()));
    }

    void specificMethodMenuItemChoosesMethod00()
    {
        W().Document().SetText("Method zero please");
        ChooseMethod00();
        TypePhrase(QString());
        W().EncryptUsingMethod1->trigger();
        QCOMPARE(seen_, (QStringList{QStringLiteral("method dialog, Method 01 checked"), Q(mus::msg::kPromptPhrase)}));
        QCOMPARE(Text(), mus::fake::BlockDocument("Method zero please", "", 0));
        QVERIFY(!W().AskForMethod);

        // The flag was used up: the next Encrypt asks no method.
        mus::test::DesktopProbe probe;
        probe.answers = {mus::Answer::Yes};
        TypePhrase(QString());
        W().Encrypt1->trigger();
        QCOMPARE(seen_.size(), 3);
        QCOMPARE(seen_.last(), Q(mus::msg::kPromptPhrase));
        QCOMPARE(probe.events, (QStringList{QStringLiteral("sound:Question"),
                                            QStringLiteral("box:Confirm:Confirm:") + Q(mus::msg::kAlreadyEncrypted)}));
    }

    void method02EncryptsAndDecryptsWithALongPhrase()
    {
        W().Method02Costs = mus::kMinimumCosts;
        const std::string text = "Sealed in the window\r\n";
        W().Document().SetText(text);
        QList<int> limits;
        answer_->Add([this](QDialog* d) {
            auto* dialog = qobject_cast<frm_EncodeMethod*>(d);
            QVERIFY(dialog != nullptr && dialog->RadioButton2->isChecked());
            QTest::mouseClick(dialog->RadioButton3, Qt::LeftButton);
            QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        });
        // 65 characters typed: the entry keeps 64.
        const QString typed = QString(60, QLatin1Char('w')) + QStringLiteral("ord 5");
        for (int i = 0; i < 3; ++i) TypePhrase(typed, &limits);
        W().EncryptUsingMethod1->trigger();
        QVERIFY(Text().starts_with(std::string(mus::kStartLine) + "\r\nMuS/0130/02/1/22\r\n"));
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Encrypted Text"));

        Click(W().btn_Decrypt);
        QCOMPARE(Text(), text);
        QCOMPARE(seen_, (QStringList{Q(mus::msg::kPromptPhraseRequired), Q(mus::msg::kPromptConfirm),
                                     Q(mus::msg::kPromptProtected)}));
        QCOMPARE(limits, (QList<int>{64, 64, 64}));
    }

    void wrongPhraseThenRetryThenRightPhrase()
    {
        W().Document().SetText(mus::fake::BlockDocument("guarded", "KEY"));
        mus::test::DesktopProbe probe;
        probe.answers = {mus::Answer::Retry};
        TypePhrase(QStringLiteral("kex"));
        TypePhrase(QStringLiteral("key"));
        Click(W().btn_Decrypt);
        QCOMPARE(probe.events, (QStringList{QStringLiteral("sound:Stop"),
                                            QStringLiteral("box:Error:Error:") + Q(mus::msg::kPhraseMismatch)}));
        QCOMPARE(probe.lastButtons, mus::Button::Retry | mus::Button::Cancel);
        QCOMPARE(seen_, (QStringList{Q(mus::msg::kPromptProtected), Q(mus::msg::kPromptProtected)}));
        QCOMPARE(Text(), std::string("guarded"));
        // Each attempt had a dialog of its own, gone when the command ended.
        QVERIFY(W().findChildren<frm_PWord*>().isEmpty());
    }

    void wordWrapOnEncryptsAndDecrypts()
    {
        W().WordWrap1->trigger();
        QVERIFY(W().WordWrap1->isChecked());
        QVERIFY(W().txt_CText->lineWrapMode() != QPlainTextEdit::NoWrap);
        W().resize(300, W().height());
        const std::string text(3000, 'q');
        W().Document().SetText(text);
        TypePhrase(QStringLiteral("wrap"));
        TypePhrase(QStringLiteral("wrap"));
        Click(W().btn_Encrypt);
        QCOMPARE(Text(), mus::fake::BlockDocument(text, "WRAP"));

        // The editor shows each body line as more than one line.
        QCoreApplication::processEvents();
        const QTextBlock body = W().txt_CText->document()->findBlockByNumber(2);
        QVERIFY(body.layout() != nullptr);
        QVERIFY(body.layout()->lineCount() > 1);

        TypePhrase(QStringLiteral("wrap"));
        Click(W().btn_Decrypt);
        QCOMPARE(Text(), text);
    }

    void statusFollowsTheChangeNotificationAlone()
    {
        // No dialog and no key event: only the editor's change notification
        // can bring the panels up to date.
        mus::fake::Log log;
        mus::fake::ScriptedUser user(log);
        W().CipherUser = &user;
        W().Document().SetText("Plain text");
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Normal Text"));

        user.Script({mus::fake::Phrase("")});
        W().btn_EncryptClick();
        const std::string block = mus::fake::BlockDocument("Plain text");
        QCOMPARE(Text(), block);
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Encrypted Text"));
        QCOMPARE(W().pan_Bytes->text(), ByteCount(block.size()));
        QVERIFY(W().btn_Decrypt->isEnabled());

        W().btn_DecryptClick();
        QCOMPARE(Text(), std::string("Plain text"));
        QCOMPARE(W().pan_TextType->text(), QStringLiteral(" Normal Text"));
        QCOMPARE(W().pan_Bytes->text(), QStringLiteral(" 10 bytes"));
        W().CipherUser = nullptr;
    }

    void emptyDocumentRefusedThroughShortcuts()
    {
        mus::test::DesktopProbe probe;
        W().txt_CText->setFocus();
        QTest::keyClick(W().txt_CText, Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(W().txt_CText, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(probe.events, (QStringList{QStringLiteral("sound:Stop"),
                                            QStringLiteral("box:Error:Error:") + Q(mus::msg::kNoTextToEncrypt),
                                            QStringLiteral("sound:Stop"),
                                            QStringLiteral("box:Error:Error:") + Q(mus::msg::kNoTextToDecrypt)}));
        QCOMPARE(Text(), std::string());
    }

    void transferFileErrorReachesTheFailureReport()
    {
        const QString gone = directory_.filePath(QStringLiteral("gone"));
        QVERIFY(QDir().mkdir(gone));
        QVERIFY(QDir::setCurrent(gone));
        QVERIFY(QDir().rmdir(gone));

        W().Document().SetText("Keep me");
        mus::test::DesktopProbe probe;
        TypePhrase(QString());
        Click(W().btn_Encrypt);
        QCOMPARE(probe.events, QStringList{QStringLiteral("box:Error:Murmurscript:Invalid filename.")});
        QCOMPARE(Text(), std::string("Keep me"));
    }
};

QTEST_MAIN(CipherWindowTest)
#include "cipher_window_test.moc"
