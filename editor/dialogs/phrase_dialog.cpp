#include "editor/dialogs/phrase_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QValidator>

#include "cipher/phrase.h"
#include "editor/desktop/desktop.h"
#include "editor/dialogs/dialog_parts.h"

namespace {

// Qt's password character is the style's (often a bullet); the entry shows "*".
class AsteriskStyle final : public QProxyStyle {
public:
    explicit AsteriskStyle(QObject* parent) { setParent(parent); }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// Folds every edit to upper case through the cipher library's phrase folding,
// the same as `mus` uses, and refuses an edit that would make the phrase
// longer than the method takes (16 or 64 bytes of UTF-8).
class PhraseValidator final : public QValidator {
public:
    PhraseValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int&) const override
    {
        const std::string folded = mus::FoldPhrase(input.toStdString());
        if (folded.size() > static_cast<std::size_t>(limit_)) return Invalid;
        // Folding keeps every character's length in UTF-16, so the cursor
        // position stays right.
        input = QString::fromStdString(folded);
        return Acceptable;
    }

private:
    int limit_;
};

} // namespace

frm_PWord::frm_PWord(QWidget* owner, int limit)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    const QFont normal = mus::dialog::SetUp(*this, "frm_PWord", QStringLiteral("Password Protection"), QSize(300, 118));
    Bevel1 = mus::dialog::Bevel(this, QRect(8, 8, 284, 65));

    lab_PWord = new QLabel(this);
    lab_PWord->setObjectName(QStringLiteral("lab_PWord"));
    lab_PWord->setFont(normal);
    lab_PWord->move(24, 24);
    // Up to the frame's inner edge: the longest prompt needs all of it.
    lab_PWord->resize(Bevel1->geometry().right() - 24 - 2, 14);

    txt_PWord = new QLineEdit(this);
    txt_PWord->setObjectName(QStringLiteral("txt_PWord"));
    txt_PWord->setGeometry(24, 40, 249, 20);
    txt_PWord->setEchoMode(QLineEdit::Password);
    txt_PWord->setStyle(new AsteriskStyle(txt_PWord));
    // Characters, never more than bytes: a long paste is cut, then checked in bytes.
    txt_PWord->setMaxLength(limit);
    txt_PWord->setValidator(new PhraseValidator(limit, txt_PWord));
    // The prompt names the entry for a screen reader, whichever it shows.
    lab_PWord->setBuddy(txt_PWord);

    HelpBtn = mus::dialog::HelpButton(this, normal, 8, 84);
    cmd_Cancel = mus::dialog::CancelButton(this, normal, 146, 84);
    cmd_OK = mus::dialog::OkButton(this, normal, 222, 84);

    connect(cmd_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmd_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(HelpBtn, &QPushButton::clicked, this,
            [this] { mus::desktop::RunGuarded(this, [this] { HelpBtnClick(); }); });
}

std::string frm_PWord::Phrase() const
{
    return mus::FoldPhrase(txt_PWord->text().toStdString());
}

void frm_PWord::FormActivate()
{
    txt_PWord->clear();
    txt_PWord->setFocus();
}

void frm_PWord::SetPrompt(const QString& prompt, mus::PromptTopic topic)
{
    lab_PWord->setText(prompt);
    topic_ = topic;
}

QString frm_PWord::HelpTopicFor(mus::PromptTopic topic)
{
    switch (topic) {
    case mus::PromptTopic::NewPhrase: break;
    case mus::PromptTopic::ProtectedText: return QStringLiteral("Help_Password2");
    case mus::PromptTopic::Confirmation: return QStringLiteral("Help_Password3");
    }
    return QStringLiteral("Help_Password1");
}

void frm_PWord::HelpBtnClick()
{
    mus::desktop::HelpJump(HelpTopicFor(topic_));
}

void frm_PWord::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // At every showing, not at every activation: coming back from the help
    // window must not wipe what was typed.
    FormActivate();
}
