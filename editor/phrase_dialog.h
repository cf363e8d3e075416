#pragma once
// The phrase dialog frm_PWord "Password Protection": one masked entry for a
// pass phrase of at most 16 bytes, folded to upper case as it is typed.

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frm_PWord : public QDialog {
    Q_OBJECT

public:
    // Modal to `owner` alone, so that the help window stays usable.
    explicit frm_PWord(QWidget* owner);

    QLabel* lab_PWord = nullptr;
    QFrame* Bevel1 = nullptr;
    QLineEdit* txt_PWord = nullptr;
    QPushButton* cmd_OK = nullptr;
    QPushButton* cmd_Cancel = nullptr;
    QPushButton* HelpBtn = nullptr;

    // The phrase as entered: UTF-8, already upper case, 0 to 16 bytes.
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
