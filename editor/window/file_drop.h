#pragma once
// A file dropped onto the main window from a file manager is opened as the
// Open command opens the file the user chose. Dropped text is left to the
// editor, which inserts it. Any other drop (several files, a folder, a web
// link, an image) is refused.

#include <QString>

class QMimeData;
class frm_CText;

namespace mus {

// Makes the window and its editor take file drops. The handler is a child of
// the window and lives as long as it does.
void InstallFileDrop(frm_CText& window);

// The one local file (not a folder) that a drag carries, or an empty string:
// for text, for a link to a web page and for several files alike.
QString DroppedFile(const QMimeData* data);

// True for a drag that carries text and no addresses of files or pages.
bool IsDroppedText(const QMimeData* data);

// Open once a file is chosen: asks "Replace existing text with the contents
// of the selected file?" when the editor holds text, then reads the file.
// Failures reach the caller (the drop runs it through the failure report).
void OpenDroppedFile(frm_CText& window, const QString& path);

} // namespace mus
