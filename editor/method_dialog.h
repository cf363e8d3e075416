#pragma once
// The method dialog frm_EncodeMethod "Encoding Method": the choice of the
// group codec method for one Encrypt.

#include <QDialog>

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
    QRadioButton* RadioButton1 = nullptr;   // "Method 00"
    QLabel* Label1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;   // "Method 01", checked at design
    QLabel* Label2 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    // The method chosen when the dialog closed with OK: 0 or 1.
    int ChosenMethod = 1;

    // Stores the checked method and closes with OK; with neither checked,
    // the box "You must choose an encoding method." and the dialog stays.
    void OKBtnClick();
    void HelpBtnClick();

protected:
    // OKBtn has the focus when the dialog opens.
    void showEvent(QShowEvent* event) override;
};
