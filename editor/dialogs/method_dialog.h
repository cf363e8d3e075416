#pragma once
// The method dialog frm_EncodeMethod "Encoding Method": the choice of the
// encryption method for one Encrypt, one choice per method this version
// writes, each with its note.

#include <QDialog>

#include <cstdint>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

class frm_EncodeMethod : public QDialog {
    Q_OBJECT

public:
    // Modal to `owner` alone, so that the help window stays usable.
    explicit frm_EncodeMethod(QWidget* owner);

    QFrame* Bevel1 = nullptr;
    QRadioButton* RadioButton1 = nullptr; // "Method 00"
    QLabel* Label1 = nullptr;
    QRadioButton* RadioButton2 = nullptr; // "Method 01", checked at design
    QLabel* Label2 = nullptr;
    QRadioButton* RadioButton3 = nullptr; // "Method 02"
    QLabel* Label3 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    // The method code chosen when the dialog closed with OK.
    std::int32_t ChosenMethod = 1;

    // Checks the choice of the method `code`.
    void CheckMethod(std::int32_t code);

protected:
    // OKBtn has the focus when the dialog opens.
    void showEvent(QShowEvent* event) override;

private:
    // Stores the checked method and closes with OK; with none checked, the
    // box "You must choose an encoding method." and the dialog stays.
    void OKBtnClick();
    void HelpBtnClick();

    struct Choice {
        QRadioButton* radio;
        std::int32_t method;
    };
    std::vector<Choice> choices_;
};
