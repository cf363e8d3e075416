#pragma once
// The phrase dialog frm_PWord "Password Protection": one masked entry for a
// pass phrase of at most the method's limit of bytes (16, or 64 for Method
// 02), folded to upper case as it is typed. An edit past the limit is
// refused whole, with the exclamation sound and a note under the entry; a
// method whose phrases are rated shows the strength of a new phrase there.

#include <QDialog>

#include <string>

#include "cipher/armoured_block.h"
#include "cipher/phrase.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frm_PWord : public QDialog {
    Q_OBJECT

public:
    // Modal to `owner` alone, so that the help window stays usable. The
    // entry takes what `rule` allows; without one, what Methods 00 and 01 do.
    explicit frm_PWord(QWidget* owner);
    frm_PWord(QWidget* owner, const mus::PhraseRule& rule);

    QLabel* lab_PWord = nullptr;
    QFrame* Bevel1 = nullptr;
    QLineEdit* txt_PWord = nullptr;
    QPushButton* cmd_OK = nullptr;
    QPushButton* cmd_Cancel = nullptr;
    QPushButton* HelpBtn = nullptr;
    // Under the entry, one at a time: the note that an edit went past the
    // limit (until the next edit), else the strength of a new phrase.
    QLabel* lab_Limit = nullptr;
    QLabel* lab_Strength = nullptr;

    // The phrase as entered: UTF-8, already upper case, 0 to the limit's bytes.
    std::string Phrase() const;

    // Shows `prompt` above the entry; Help then opens the help on `topic`.
    void SetPrompt(const QString& prompt, mus::PromptTopic topic);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Every showing starts with an empty, focused entry.
    void FormActivate();
    // The help on the prompt's topic (a new phrase until a prompt is set).
    void HelpBtnClick();
    // An edit was refused for going past the limit.
    void txt_PWordInputRejected();
    // After every edit: the limit note goes, the strength is estimated anew.
    void txt_PWordChange();
    // Which note shows, and the entry's description for a screen reader.
    void ShowNotes(bool limitReached);

    // The help's topic ID for a prompt's topic: Help_Password1 for a new
    // phrase, Help_Password2 for a protected text, Help_Password3 for the
    // confirmation.
    static QString HelpTopicFor(mus::PromptTopic topic);

    mus::PromptTopic topic_ = mus::PromptTopic::NewPhrase;
    mus::PhraseRule rule_;
};
