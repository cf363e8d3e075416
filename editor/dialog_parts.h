#pragma once
// Pieces shared by the phrase and method dialogs.

#include <QFont>

class QPushButton;
class QWidget;

namespace mus::dialog {

// The dialogs' buttons, 70 x 27 at (x, y), with the small image of their
// kind: "OK" (a tick; the default button), "Cancel" (a cross) and "&Help" (a
// question mark). Named cmd_OK / cmd_Cancel / HelpBtn unless renamed.
QPushButton* OkButton(QWidget* dialog, const QFont& font, int x, int y);
QPushButton* CancelButton(QWidget* dialog, const QFont& font, int x, int y);
QPushButton* HelpButton(QWidget* dialog, const QFont& font, int x, int y);

// Places a fixed-size dialog in the middle of its screen.
void CentreOnScreen(QWidget& dialog);

} // namespace mus::dialog
