// Undo, Cut, Copy, Paste, Delete and Select All.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "cipher/commands/command_ui.h"
#include "editor/document/byte_document.h"
#include "editor/window/main_window.h"

namespace {

// A command's guard failed: stop sound, then the error box.
void Refuse(mus::CommandUser& user, const char* message)
{
    user.Alert(mus::AlertSound::Stop, mus::BoxKind::Error, message, mus::ButtonSet(mus::Button::Ok));
}

} // namespace

void frm_CText::btn_UndoClick()
{
    if (!Document().CanUndo()) return Refuse(User(), "No action can be undone at this time.");
    txt_CText->undo();
    UpdateStatus();
}

void frm_CText::btn_CutClick()
{
    if (Document().SelectionLength() == 0) return Refuse(User(), "You must select some text to cut to the clipboard.");
    txt_CText->cut();
}

void frm_CText::btn_CopyClick()
{
    if (Document().SelectionLength() == 0) return Refuse(User(), "You must select some text to copy to the clipboard.");
    txt_CText->copy();
}

void frm_CText::btn_PasteClick()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasText())
        return Refuse(User(), "The clipboard contains no text that can be pasted.");
    // The clipboard's text ends at its first zero character, as a
    // zero-terminated text does: the editor holds no zero bytes, which would
    // end a decrypted text early.
    const QString text = data->text();
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    if (zero < 0) return txt_CText->paste();
    txt_CText->insertPlainText(text.left(zero));
    txt_CText->ensureCursorVisible();
}

void frm_CText::btn_DeleteClick()
{
    if (Document().SelectionLength() == 0) return Refuse(User(), "You must select some text to delete.");
    // Through a cursor, not cut(): the clipboard stays as it was, and the
    // removal can be undone.
    QTextCursor cursor = txt_CText->textCursor();
    cursor.removeSelectedText();
}

void frm_CText::btn_SelectAllClick()
{
    txt_CText->selectAll();
    UpdateStatus();
}
