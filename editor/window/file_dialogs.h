#pragma once
// What the window's file dialogs share beyond Qt's own dialog.

class QFileDialog;

namespace mus {

// Closes the dialog's file-name completion list with the dialog. Qt's list
// can outlive the dialog: when the file type was changed, the folder is read
// again, and the list shows itself once more as the reading ends, which can
// be after the dialog closed. Under a window manager it then stays over the
// main window holding the keyboard, and the first key typed only closes it.
void CloseCompletionWithDialog(QFileDialog* dialog);

} // namespace mus
