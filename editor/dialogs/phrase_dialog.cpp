#include "editor/dialogs/phrase_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QValidator>

#include "cipher/phrase.h"
#include "cipher/secret.h"
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

// Refuses an edit that would make the phrase longer than the method takes,
// counted in bytes of its folding through the cipher library, the same as
// `mus` uses. Where the rule folds while typing (Methods 00 and 01), every
// edit is folded to upper case too; otherwise the entry keeps what was typed.
class PhraseValidator final : public QValidator {
public:
    PhraseValidator(const mus::PhraseRule& rule, QObject* parent) : QValidator(parent), rule_(rule) {}

    State validate(QString& input, int&) const override
    {
        std::string entry = input.toStdString();
        const mus::ScopedWipe wipe(entry);
        if (!mus::PhraseFits(rule_, entry)) return Invalid;
        if (rule_.folding == mus::Folding::WhileTyping) {
            // Folding keeps every character's length in UTF-16, so the
            // cursor position stays right.
            std::string folded = mus::FoldPhrase(entry);
            const mus::ScopedWipe wipeFolded(folded);
            input = QString::fromStdString(folded);
        }
        return Acceptable;
    }

private:
    mus::PhraseRule rule_;
};

} // namespace

frm_PWord::frm_PWord(QWidget* owner, const mus::PhraseRule& rule)
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
    // Characters, never more than bytes: a long paste is cut, then checked in
    // bytes. An entry kept as typed may hold more characters than its folding
    // holds bytes (a decomposed letter); only its folding is counted.
    if (rule.folding == mus::Folding::WhileTyping) txt_PWord->setMaxLength(rule.limit);
    txt_PWord->setValidator(new PhraseValidator(rule, txt_PWord));
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
    return txt_PWord->text().toStdString();
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
