#include "editor/dialogs/go_to_line_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "editor/desktop/desktop.h"
#include "editor/dialogs/dialog_parts.h"

namespace {

constexpr int kWidth = 252;
constexpr int kHeight = 124;
constexpr int kMargin = 8;
constexpr int kButtonsY = 90;

} // namespace

frm_GoToLine::frm_GoToLine(QWidget* owner, int currentLine, int lineCount)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      lineCount_(lineCount)
{
    const QFont normal = mus::dialog::SetUp(*this, "frm_GoToLine", QStringLiteral("Go to Line"),
                                            QSize(kWidth, kHeight));
    mus::dialog::Bevel(this, QRect(kMargin, kMargin, kWidth - 2 * kMargin, kButtonsY - kMargin - 8));

    txt_Line = new QLineEdit(QString::number(currentLine), this);
    txt_Line->setObjectName(QStringLiteral("txt_Line"));
    txt_Line->setFont(normal);
    txt_Line->setGeometry(120, 18, 112, 22);
    // Digits only; a number out of range is answered when OK is chosen.
    txt_Line->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), txt_Line));
    txt_Line->setAccessibleName(QStringLiteral("Line number"));
    txt_Line->selectAll();

    auto* prompt = new QLabel(QStringLiteral("&Line number:"), this);
    prompt->setObjectName(QStringLiteral("lab_Line"));
    prompt->setFont(normal);
    prompt->setBuddy(txt_Line);
    prompt->setGeometry(18, 18, 100, 22);

    lab_LineNote = new QLabel(this);
    lab_LineNote->setObjectName(QStringLiteral("lab_LineNote"));
    lab_LineNote->setFont(normal);
    lab_LineNote->setWordWrap(true);
    lab_LineNote->setGeometry(18, 46, kWidth - 36, 30);

    cmd_OK = mus::dialog::OkButton(this, normal, 96, kButtonsY);
    cmd_Cancel = mus::dialog::CancelButton(this, normal, 172, kButtonsY);
    connect(cmd_OK, &QPushButton::clicked, this, &frm_GoToLine::accept);
    connect(cmd_Cancel, &QPushButton::clicked, this, &frm_GoToLine::reject);
    txt_Line->setFocus();
}

void frm_GoToLine::accept()
{
    bool ok = false;
    const qlonglong line = txt_Line->text().toLongLong(&ok);
    if (!ok || line < 1 || line > lineCount_) {
        mus::desktop::PlaySound(mus::AlertSound::Exclamation);
        lab_LineNote->setText(QStringLiteral("Enter a line number from 1 to %1.").arg(lineCount_));
        txt_Line->setAccessibleDescription(lab_LineNote->text());
        txt_Line->setFocus();
        txt_Line->selectAll();
        return;
    }
    line_ = static_cast<int>(line);
    QDialog::accept();
}
