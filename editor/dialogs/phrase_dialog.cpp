#include "editor/dialogs/phrase_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QValidator>

#include <utility>

#include "cipher/method_family.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"
#include "cipher/phrase_strength.h"
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

// Folds every edit to upper case through the cipher library's phrase folding,
// the same as `mus` uses, and refuses an edit that would make the phrase
// longer than the method takes (16 or 64 bytes of the phrase as the method's
// family folds it). The entry then keeps what it had.
class PhraseValidator final : public QValidator {
public:
    PhraseValidator(const mus::PhraseRule& rule, QObject* parent) : QValidator(parent), rule_(rule) {}

    State validate(QString& input, int&) const override
    {
        std::string typed = input.toStdString();
        const mus::ScopedWipe wipeTyped(typed);
        std::string folded = mus::FoldPhrase(typed);
        const mus::ScopedWipe wipeFolded(folded);
        if (PhraseBytes(folded) > static_cast<std::size_t>(rule_.limit)) {
            overLimit_ = true;
            return Invalid;
        }
        // Folding keeps every character's length in UTF-16, so the cursor
        // position stays right.
        input = QString::fromStdString(folded);
        return Acceptable;
    }

    // Whether the last refusal was for the limit; asked once per refusal.
    // The entry's inputRejected also comes for keys it does not take.
    bool TakeOverLimit() { return std::exchange(overLimit_, false); }

private:
    std::size_t PhraseBytes(const std::string& entered) const
    {
        if (rule_.family == nullptr) return entered.size();
        std::string folded = rule_.family->FoldPhrase(entered);
        const std::size_t bytes = folded.size();
        mus::Wipe(folded);
        return bytes;
    }

    mus::PhraseRule rule_;
    mutable bool overLimit_ = false;
};

// Where the entry's notes stand: under it, inside the frame, which grows to
// hold them; the buttons and the dialog's edge move down with it.
constexpr QRect kNoteGeometry(24, 63, 249, 15);
constexpr int kButtonsY = 102;
constexpr QSize kDialogSize(300, 136);

} // namespace

frm_PWord::frm_PWord(QWidget* owner) : frm_PWord(owner, mus::PhraseRuleOf(*mus::FindMethod(mus::kMethod01)))
{
}

frm_PWord::frm_PWord(QWidget* owner, const mus::PhraseRule& rule)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), rule_(rule)
{
    const QFont normal = mus::dialog::SetUp(*this, "frm_PWord", QStringLiteral("Password Protection"), kDialogSize);
    Bevel1 = mus::dialog::Bevel(this, QRect(8, 8, 284, 83));

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
    // No length limit of the entry's own: it would cut a long paste
    // silently, where the validator refuses it whole.
    auto* validator = new PhraseValidator(rule_, txt_PWord);
    txt_PWord->setValidator(validator);
    // The prompt names the entry for a screen reader, whichever it shows;
    // the note under it is the entry's description.
    lab_PWord->setBuddy(txt_PWord);

    for (QLabel** note : {&lab_Limit, &lab_Strength}) {
        *note = new QLabel(this);
        (*note)->setFont(normal);
        (*note)->setGeometry(kNoteGeometry);
        (*note)->hide();
    }
    lab_Limit->setObjectName(QStringLiteral("lab_Limit"));
    lab_Limit->setText(QStringLiteral("A phrase holds at most %1 bytes.").arg(rule_.limit));
    lab_Strength->setObjectName(QStringLiteral("lab_Strength"));

    HelpBtn = mus::dialog::HelpButton(this, normal, 8, kButtonsY);
    cmd_Cancel = mus::dialog::CancelButton(this, normal, 146, kButtonsY);
    cmd_OK = mus::dialog::OkButton(this, normal, 222, kButtonsY);

    connect(txt_PWord, &QLineEdit::inputRejected, this, [this, validator] {
        if (validator->TakeOverLimit()) mus::desktop::RunGuarded(this, [this] { txt_PWordInputRejected(); });
    });
    connect(txt_PWord, &QLineEdit::textChanged, this,
            [this] { mus::desktop::RunGuarded(this, [this] { txt_PWordChange(); }); });

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
    ShowNotes(false);
}

void frm_PWord::SetPrompt(const QString& prompt, mus::PromptTopic topic)
{
    lab_PWord->setText(prompt);
    topic_ = topic;
    ShowNotes(false);
}

void frm_PWord::txt_PWordInputRejected()
{
    mus::desktop::PlaySound(mus::AlertSound::Exclamation);
    ShowNotes(true);
}

void frm_PWord::txt_PWordChange()
{
    ShowNotes(false);
}

void frm_PWord::ShowNotes(bool limitReached)
{
    // The strength of the phrase a new block is to get, as the user types it.
    QString strength;
    if (rule_.rated && topic_ == mus::PromptTopic::NewPhrase && !txt_PWord->text().isEmpty()) {
        std::string phrase = Phrase();
        const mus::PhraseStrength estimate = mus::EstimatePhraseStrength(phrase);
        mus::Wipe(phrase);
        strength = QStringLiteral("Strength: %1 (%2)")
                       .arg(QString::fromStdString(std::string(mus::LevelName(estimate.level))),
                            QString::fromStdString(mus::GuessesText(estimate.bits)));
    }
    lab_Strength->setText(strength);
    lab_Limit->setVisible(limitReached);
    lab_Strength->setVisible(!limitReached && !strength.isEmpty());
    txt_PWord->setAccessibleDescription(limitReached ? lab_Limit->text() : strength);
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
