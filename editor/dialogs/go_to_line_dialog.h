#pragma once
// The Go to Line dialog frm_GoToLine: one field for a line number, which
// starts as the current line's, selected. OK (Enter) takes a number from 1 to
// the document's line count; any other entry gets the exclamation sound and
// "Enter a line number from 1 to N." under the field, and the dialog stays.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class frm_GoToLine final : public QDialog {
    Q_OBJECT

public:
    frm_GoToLine(QWidget* owner, int currentLine, int lineCount);

    // The line chosen, from 1; valid after the dialog was accepted.
    int Line() const { return line_; }

    QLineEdit* txt_Line = nullptr;
    QLabel* lab_LineNote = nullptr;
    QPushButton* cmd_OK = nullptr;
    QPushButton* cmd_Cancel = nullptr;

public slots:
    void accept() override;

private:
    int lineCount_;
    int line_ = 0;
};
