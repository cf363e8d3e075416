// Find, Find Next, Find Previous, Replace and Go to Line.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include "editor/dialogs/go_to_line_dialog.h"
#include "editor/window/find_bar.h"
#include "editor/window/main_window.h"

void frm_CText::Find1Click()
{
    pan_Find->Open(false);
}

void frm_CText::FindNext1Click()
{
    pan_Find->FindNext();
}

void frm_CText::FindPrevious1Click()
{
    pan_Find->FindPrevious();
}

void frm_CText::Replace1Click()
{
    pan_Find->Open(true);
}

// Lines are counted as they are in the file, whether or not Word Wrap shows
// a long one on several.
void frm_CText::GoToLine1Click()
{
    QTextDocument* text = txt_CText->document();
    frm_GoToLine dialog(this, txt_CText->textCursor().blockNumber() + 1, text->blockCount());
    if (dialog.exec() != QDialog::Accepted) return;
    txt_CText->setTextCursor(QTextCursor(text->findBlockByNumber(dialog.Line() - 1)));
    txt_CText->ensureCursorVisible();
    UpdateStatus();
}
