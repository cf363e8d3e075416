#pragma once
// The phrase dialog frm_PWord "Password Protection": one masked entry for a
// pass phrase of at most the method's limit of bytes (16, or 64 for Method
// 02), folded to upper case as it is typed.

#include <QDialog>

#include <string>

#include "cipher/armoured_block.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frm_PWord : public QDialog {
    Q_OBJECT

public:
    // Modal to `owner` alone, so that the help window stays usable. The
    // entry takes at most `limit` bytes of folded UTF-8.
    explicit frm_PWord(QWidget* owner, int limit = mus::kMaxPhraseLength);

    QLabel* lab_PWord = nullptr;
    QFrame* Bevel1 = nullptr;
    QLineEdit* txt_PWord = nullptr;
    QPushButton* cmd_OK = nullptr;
    QPushButton* cmd_Cancel = nullptr;
    QPushButton* HelpBtn = nullptr;

    // The phrase as entered: UTF-8, already upper case, 0 to the limit's bytes.
    std::string Phrase() const;

    // Every showing starts with an empty, focused entry.
    void FormActivate();
    // The help topic for the prompt showing: "This text" -> Help_Password2,
    // else "Re-enter" -> Help_Password3, else Help_Password1.
    void HelpBtnClick();

    static QString HelpTopicFor(const QString& prompt);

protected:
    void showEvent(QShowEvent* event) override;
};
