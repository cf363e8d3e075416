// The phrase dialog frm_PWord and the method dialog frm_EncodeMethod on
// their own: layout, folding and masking, edits past the limit, the strength
// hint, Enter and Escape, every showing empty, help topics by prompt, the
// method choice.
#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTest>

#include <memory>
#include <string>
#include <string_view>

#include "cipher/messages.h"
#include "cipher/methods.h"
#include "cipher/phrase_strength.h"
#include "editor/desktop/desktop.h"
#include "editor/desktop/help_viewer.h"
#include "editor/dialogs/method_dialog.h"
#include "editor/dialogs/phrase_dialog.h"
#include "tests/support/desktop_probe.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/window_parts.h"

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(mus::PromptTopic)

namespace {

// The topic the help window shows, if it is open.
QString ShownTopic()
{
    const mus::HelpWindow* help = mus::CurrentHelpWindow();
    if (help == nullptr || !help->isVisible()) return {};
    return mus::test::HelpPage(*help).fragment();
}

mus::PhraseRule RuleOf(std::int32_t method)
{
    return mus::PhraseRuleOf(*mus::FindMethod(method));
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> owner_;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        owner_ = std::make_unique<QWidget>();
        owner_->resize(400, 300);
        owner_->show();
    }

    void cleanup()
    {
        owner_.reset();
        mus::desktop::CloseHelp();
    }

    void phraseDialogLayout()
    {
        frm_PWord dialog(owner_.get());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Password Protection"));
        QCOMPARE(dialog.size(), QSize(300, 136));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowModality(), Qt::WindowModal);
        QCOMPARE(dialog.parentWidget(), owner_.get());
        // No title-bar buttons: closed through its buttons, Enter and Escape.
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowSystemMenuHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));

        QCOMPARE(dialog.lab_PWord->pos(), QPoint(24, 24));
        QCOMPARE(dialog.lab_PWord->text(), QString());
        // The frame holds a line for the notes under the entry.
        QCOMPARE(dialog.Bevel1->geometry(), QRect(8, 8, 284, 83));
        QCOMPARE(dialog.txt_PWord->geometry(), QRect(24, 40, 249, 20));
        for (QLabel* note : {dialog.lab_Limit, dialog.lab_Strength}) {
            QCOMPARE(note->geometry(), QRect(24, 63, 249, 15));
            QVERIFY(note->isHidden());
            QVERIFY(!note->font().bold());
        }
        QCOMPARE(dialog.cmd_OK->geometry(), QRect(222, 102, 70, 27));
        QCOMPARE(dialog.cmd_Cancel->geometry(), QRect(146, 102, 70, 27));
        QCOMPARE(dialog.HelpBtn->geometry(), QRect(8, 102, 70, 27));
        QCOMPARE(dialog.cmd_OK->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.cmd_Cancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(dialog.HelpBtn->text(), QStringLiteral("&Help"));
        QVERIFY(dialog.cmd_OK->isDefault());
        for (QPushButton* b : {dialog.cmd_OK, dialog.cmd_Cancel, dialog.HelpBtn}) QVERIFY(!b->icon().isNull());
        // The dialog face is bold; the prompt and buttons are not, the entry is.
        QVERIFY(dialog.font().bold());
        QVERIFY(!dialog.lab_PWord->font().bold());
        QVERIFY(!dialog.cmd_OK->font().bold());
        QVERIFY(dialog.txt_PWord->font().bold());

        QCOMPARE(dialog.txt_PWord->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.txt_PWord->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, dialog.txt_PWord),
                 int('*'));
    }

    // The prompt is never cut short, and stays inside the frame.
    void everyPromptFits()
    {
        frm_PWord dialog(owner_.get());
        for (const std::string_view prompt :
             {mus::msg::kPromptPhrase, mus::msg::kPromptConfirm, mus::msg::kPromptProtected}) {
            dialog.lab_PWord->setText(QString::fromLatin1(prompt.data(), qsizetype(prompt.size())));
            QVERIFY2(dialog.lab_PWord->sizeHint().width() <= dialog.lab_PWord->width(), prompt.data());
        }
        QVERIFY(dialog.Bevel1->geometry().contains(dialog.lab_PWord->geometry()));
    }

    void phraseEntryFolds_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::string>("phrase");
        QTest::newRow("lower case") << QStringLiteral("secret") << std::string("SECRET");
        QTest::newRow("mixed") << QStringLiteral("aBc 1-z") << std::string("ABC 1-Z");
        QTest::newRow("latin-1 letters") << QStringLiteral("\u00e9t\u00e9 \u00fe")
                                         << std::string("\xC3\x89T\xC3\x89 \xC3\x9E");
        QTest::newRow("sharp s, division sign, y diaeresis unchanged")
            << QStringLiteral("\u00df\u00f7\u00ff") << std::string("\xC3\x9F\xC3\xB7\xC3\xBF");
        QTest::newRow("17th character refused")
            << QStringLiteral("abcdefghijklmnopq") << std::string("ABCDEFGHIJKLMNOP");
        // Each of these is two bytes: eight fill the 16 bytes.
        QTest::newRow("bytes, not characters, are counted")
            << QStringLiteral("\u00e0\u00e0\u00e0\u00e0\u00e0\u00e0\u00e0\u00e0\u00e0")
            << std::string("\xC3\x80\xC3\x80\xC3\x80\xC3\x80\xC3\x80\xC3\x80\xC3\x80\xC3\x80");
        QTest::newRow("a two-byte letter does not fit after 15 bytes")
            << QStringLiteral("abcdefghijklmno\u00e9") << std::string("ABCDEFGHIJKLMNO");
    }

    void phraseEntryFolds()
    {
        QFETCH(QString, typed);
        QFETCH(std::string, phrase);
        frm_PWord dialog(owner_.get());
        dialog.show();
        mus::fake::Log sounds; // a character past the limit is refused with a sound
        mus::test::DesktopProbe probe(sounds);
        mus::test::TypeText(dialog.txt_PWord, typed);
        QCOMPARE(dialog.Phrase(), phrase);
        QCOMPARE(dialog.txt_PWord->text().toStdString(), phrase);
        // Only asterisks are shown, one per character.
        QCOMPARE(dialog.txt_PWord->displayText(), QString(dialog.txt_PWord->text().size(), QLatin1Char('*')));
        dialog.hide();
    }

    // An edit past the limit, typed or pasted, is refused whole: the entry
    // keeps what it had, the exclamation sound plays and the note says the
    // limit until the next edit.
    void editPastTheLimitIsRefused_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted"); // after the typing, with Ctrl+V
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("note"); // empty: nothing refused
        const QString at16 = QStringLiteral("A phrase holds at most 16 bytes.");
        const QString at64 = QStringLiteral("A phrase holds at most 64 bytes.");
        QTest::newRow("17th character typed") << 1 << QString(17, 'a') << QString() << QString(16, 'A') << at16;
        QTest::newRow("long paste into an empty entry")
            << 1 << QString() << QStringLiteral("a much longer phrase than allowed") << QString() << at16;
        QTest::newRow("paste keeps what was typed")
            << 0 << QStringLiteral("abc") << QString(14, 'x') << QStringLiteral("ABC") << at16;
        QTest::newRow("paste that fits") << 1 << QStringLiteral("abc") << QString(13, 'x')
                                         << QStringLiteral("ABC") + QString(13, 'X') << QString();
        QTest::newRow("Method 02, 65th byte typed") << 2 << QString(65, 'w') << QString() << QString(64, 'W') << at64;
        QTest::newRow("Method 02, two-byte letter after 63 bytes")
            << 2 << QString(63, 'w') + QChar(0xe9) << QString() << QString(63, 'W') << at64;
        QTest::newRow("Method 02, 70-byte paste") << 2 << QString() << QString(70, 'p') << QString() << at64;
    }

    void editPastTheLimitIsRefused()
    {
        QFETCH(int, method);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, kept);
        QFETCH(QString, note);
        frm_PWord dialog(owner_.get(), RuleOf(method));
        dialog.show();
        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        mus::test::TypeText(dialog.txt_PWord, typed);
        if (!pasted.isEmpty()) {
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(dialog.txt_PWord, Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(dialog.txt_PWord->text(), kept);
        const mus::fake::Log sounds = note.isEmpty()
                                          ? mus::fake::Log{}
                                          : mus::fake::Log{mus::fake::SoundLine(mus::AlertSound::Exclamation)};
        QCOMPARE(log, sounds);
        QCOMPARE(dialog.lab_Limit->isVisible(), !note.isEmpty());
        if (!note.isEmpty()) QCOMPARE(dialog.lab_Limit->text(), note);
        QCOMPARE(dialog.txt_PWord->accessibleDescription(), note.isEmpty() ? dialog.lab_Strength->text() : note);
        if (!note.isEmpty()) QVERIFY(!dialog.lab_Strength->isVisible());

        // A key that edits nothing leaves the note and plays nothing; the
        // next edit takes the note away (a new Method 02 phrase's strength
        // shows again).
        QTest::keyClick(dialog.txt_PWord, Qt::Key_Left);
        QTest::keyClick(dialog.txt_PWord, Qt::Key_F5);
        QCOMPARE(dialog.lab_Limit->isVisible(), !note.isEmpty());
        QCOMPARE(log, sounds);
        if (kept.isEmpty()) mus::test::TypeText(dialog.txt_PWord, QStringLiteral("z"));
        else QTest::keyClick(dialog.txt_PWord, Qt::Key_Backspace);
        QVERIFY(!dialog.lab_Limit->isVisible());
        QCOMPARE(dialog.txt_PWord->accessibleDescription(), dialog.lab_Strength->text());
        QCOMPARE(dialog.lab_Strength->isVisible(), method == 2);
        dialog.hide();
    }

    // Only Method 02's prompt for a new phrase says how strong it is, as it
    // is typed; the note is the entry's description too.
    void strengthHintForANewMethod02Phrase_data()
    {
        using mus::PromptTopic;
        QTest::addColumn<int>("method");
        QTest::addColumn<PromptTopic>("topic");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("level"); // empty: no hint
        QTest::newRow("weak") << 2 << PromptTopic::NewPhrase << QStringLiteral("abc") << QStringLiteral("weak");
        QTest::newRow("strong") << 2 << PromptTopic::NewPhrase << QStringLiteral("meet me at the old mill")
                                << QStringLiteral("strong");
        QTest::newRow("empty entry") << 2 << PromptTopic::NewPhrase << QString() << QString();
        QTest::newRow("confirmation") << 2 << PromptTopic::Confirmation << QStringLiteral("abc") << QString();
        QTest::newRow("decrypt") << 2 << PromptTopic::ProtectedText << QStringLiteral("abc") << QString();
        QTest::newRow("Method 01") << 1 << PromptTopic::NewPhrase << QStringLiteral("abc") << QString();
    }

    void strengthHintForANewMethod02Phrase()
    {
        QFETCH(int, method);
        QFETCH(mus::PromptTopic, topic);
        QFETCH(QString, typed);
        QFETCH(QString, level);
        frm_PWord dialog(owner_.get(), RuleOf(method));
        dialog.SetPrompt(QStringLiteral("prompt"), topic);
        dialog.show();
        mus::test::TypeText(dialog.txt_PWord, typed);
        QString hint;
        if (!level.isEmpty()) {
            const mus::PhraseStrength strength = mus::EstimatePhraseStrength(dialog.Phrase());
            hint =
                QStringLiteral("Strength: %1 (%2)").arg(level, QString::fromStdString(mus::GuessesText(strength.bits)));
        }
        QCOMPARE(dialog.lab_Strength->isVisible(), !hint.isEmpty());
        if (!hint.isEmpty()) QCOMPARE(dialog.lab_Strength->text(), hint);
        QCOMPARE(dialog.txt_PWord->accessibleDescription(), hint);
        dialog.hide();
    }

    void enterIsOkEscapeIsCancel_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }

    void enterIsOkEscapeIsCancel()
    {
        QFETCH(int, key);
        QFETCH(int, result);
        frm_PWord dialog(owner_.get());
        mus::test::ModalAnswerer answer;
        answer.Add([key](QDialog* d) {
            auto* entry = d->findChild<QLineEdit*>(QStringLiteral("txt_PWord"));
            mus::test::TypeText(entry, QStringLiteral("abc"));
            QTest::keyClick(entry, Qt::Key(key));
        });
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(dialog.Phrase(), std::string("ABC"));
    }

    void everyShowingStartsEmptyAndFocused()
    {
        frm_PWord dialog(owner_.get());
        mus::test::ModalAnswerer answer;
        QString seenSecondTime = QStringLiteral("not shown");
        bool focused = false;
        answer.Add([](QDialog* d) {
            mus::test::TypeText(d->findChild<QLineEdit*>(QStringLiteral("txt_PWord")), QStringLiteral("first"));
            QTest::keyClick(d, Qt::Key_Return);
        });
        answer.Add([&](QDialog* d) {
            auto* entry = d->findChild<QLineEdit*>(QStringLiteral("txt_PWord"));
            seenSecondTime = entry->text();
            focused = d->focusWidget() == entry;
            QTest::keyClick(entry, Qt::Key_Escape);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(dialog.Phrase(), std::string("FIRST"));
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(seenSecondTime, QString());
        QVERIFY(focused);
        QCOMPARE(answer.Leftover(), 0);
    }

    void helpTopicOfThePrompt_data()
    {
        using mus::PromptTopic;
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<PromptTopic>("topic");
        QTest::addColumn<QString>("help");
        const auto row = [](const char* name, std::string_view prompt, PromptTopic topic, const char* help) {
            QTest::newRow(name) << QString::fromLatin1(prompt.data(), qsizetype(prompt.size())) << topic
                                << QString::fromLatin1(help);
        };
        row("Encrypt, phrase", mus::msg::kPromptPhrase, PromptTopic::NewPhrase, "Help_Password1");
        row("Encrypt, phrase required", mus::msg::kPromptPhraseRequired, PromptTopic::NewPhrase, "Help_Password1");
        row("Encrypt, confirmation", mus::msg::kPromptConfirm, PromptTopic::Confirmation, "Help_Password3");
        row("Decrypt", mus::msg::kPromptProtected, PromptTopic::ProtectedText, "Help_Password2");
        // The topic decides, never the prompt's words.
        row("topic, not text", "Re-enter This text", PromptTopic::NewPhrase, "Help_Password1");
    }

    void helpTopicOfThePrompt()
    {
        QFETCH(QString, prompt);
        QFETCH(mus::PromptTopic, topic);
        QFETCH(QString, help);
        frm_PWord dialog(owner_.get());
        dialog.SetPrompt(prompt, topic);
        dialog.show();
        QCOMPARE(dialog.lab_PWord->text(), prompt);
        QTest::mouseClick(dialog.HelpBtn, Qt::LeftButton);
        QCOMPARE(ShownTopic(), help);
        QVERIFY(dialog.isVisible()); // the dialog stays open
    }

    void methodDialogLayout()
    {
        frm_EncodeMethod dialog(owner_.get());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Encoding Method"));
        QCOMPARE(dialog.width(), 317);
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowModality(), Qt::WindowModal);
        QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
        QCOMPARE(dialog.Bevel1->pos(), QPoint(8, 8));
        QCOMPARE(dialog.Bevel1->width(), 300);
        const struct {
            QRadioButton* radio;
            QLabel* note;
            const char* name;
            const char* text;
        } choices[] = {
            {dialog.RadioButton1, dialog.Label1, "Method 00", "Requires version 1.0 or higher to decrypt."},
            {dialog.RadioButton2, dialog.Label2, "Method 01", "Requires version 1.1 or higher to decrypt."},
            {dialog.RadioButton3, dialog.Label3, "Method 02",
             "Strong encryption. Requires version 1.30 or higher to decrypt."},
        };
        // The first two stand where the first design put them; the third
        // follows, its note on as many lines as it needs, all of it inside
        // the frame.
        int y = 24;
        for (const auto& choice : choices) {
            QCOMPARE(choice.radio->pos(), QPoint(24, y));
            QCOMPARE(choice.radio->text(), QString::fromLatin1(choice.name));
            QCOMPARE(choice.note->pos(), QPoint(42, y + 16));
            QCOMPARE(choice.note->text(), QString::fromLatin1(choice.text));
            QVERIFY2(choice.note->height() >= choice.note->heightForWidth(choice.note->width()), choice.text);
            QVERIFY2(dialog.Bevel1->geometry().contains(choice.note->geometry()), choice.text);
            QVERIFY(!choice.note->font().bold());
            y = choice.note->geometry().bottom() + 12;
        }
        QCOMPARE(dialog.Label2->pos().y(), 80);
        QVERIFY(dialog.RadioButton2->isChecked());
        // The buttons keep their places below the frame, and the dialog's bottom edge below them.
        const int buttonsY = dialog.Bevel1->geometry().bottom() + 12;
        QCOMPARE(dialog.OKBtn->geometry(), QRect(238, buttonsY, 70, 27));
        QCOMPARE(dialog.CancelBtn->geometry(), QRect(162, buttonsY, 70, 27));
        QCOMPARE(dialog.HelpBtn->geometry(), QRect(8, buttonsY, 70, 27));
        QCOMPARE(dialog.height(), buttonsY + 34);
        QVERIFY(dialog.OKBtn->isDefault());
        QVERIFY(!dialog.OKBtn->font().bold());

        // One group: checking one clears the others.
        QTest::mouseClick(dialog.RadioButton3, Qt::LeftButton);
        QVERIFY(dialog.RadioButton3->isChecked());
        QVERIFY(!dialog.RadioButton1->isChecked() && !dialog.RadioButton2->isChecked());
    }

    void methodDialogCloses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("method");
        QTest::newRow("OK keeps Method 01") << QStringLiteral("enter") << int(QDialog::Accepted) << 1;
        QTest::newRow("Method 00 then OK") << QStringLiteral("method00") << int(QDialog::Accepted) << 0;
        QTest::newRow("Method 02 then OK") << QStringLiteral("method02") << int(QDialog::Accepted) << 2;
        QTest::newRow("Escape") << QStringLiteral("escape") << int(QDialog::Rejected) << -1;
        QTest::newRow("Cancel button") << QStringLiteral("cancel") << int(QDialog::Rejected) << -1;
        QTest::newRow("close box") << QStringLiteral("close") << int(QDialog::Rejected) << -1;
    }

    void methodDialogCloses()
    {
        QFETCH(QString, how);
        QFETCH(int, result);
        QFETCH(int, method);
        frm_EncodeMethod dialog(owner_.get());
        dialog.ChosenMethod = -1;
        mus::test::ModalAnswerer answer;
        bool okFocused = false;
        answer.Add([&](QDialog* d) {
            auto* self = static_cast<frm_EncodeMethod*>(d);
            okFocused = self->focusWidget() == self->OKBtn;
            if (how == QLatin1String("enter")) QTest::keyClick(self, Qt::Key_Return);
            if (how.startsWith(QLatin1String("method"))) {
                QTest::mouseClick(how.endsWith(QLatin1String("00")) ? self->RadioButton1 : self->RadioButton3,
                                  Qt::LeftButton);
                QTest::mouseClick(self->OKBtn, Qt::LeftButton);
            }
            if (how == QLatin1String("escape")) QTest::keyClick(self, Qt::Key_Escape);
            if (how == QLatin1String("cancel")) QTest::mouseClick(self->CancelBtn, Qt::LeftButton);
            if (how == QLatin1String("close")) self->close();
        });
        QCOMPARE(dialog.exec(), result);
        if (result == QDialog::Accepted) QCOMPARE(dialog.ChosenMethod, method);
        QVERIFY(okFocused);
    }

    void methodDialogWithNeitherCheckedStaysOpen()
    {
        frm_EncodeMethod dialog(owner_.get());
        dialog.show();
        // Only a program can clear both choices of the group.
        for (QRadioButton* r : {dialog.RadioButton1, dialog.RadioButton2, dialog.RadioButton3}) {
            r->setAutoExclusive(false);
            r->setChecked(false);
        }
        dialog.ChosenMethod = 7;
        mus::fake::Log log;
        mus::test::DesktopProbe probe(log);
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        const char refusal[] = "You must choose an encoding method.";
        QCOMPARE(log, mus::fake::Log{mus::fake::BoxLine(mus::BoxKind::Error, "OK", refusal)});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(dialog.ChosenMethod, 7);
    }

    void methodDialogHelp()
    {
        frm_EncodeMethod dialog(owner_.get());
        dialog.show();
        QTest::mouseClick(dialog.HelpBtn, Qt::LeftButton);
        QCOMPARE(ShownTopic(), QStringLiteral("Help_EncodingMethod"));
        QVERIFY(dialog.isVisible());
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
