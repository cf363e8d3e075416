#pragma once
// Pieces shared by the phrase and method dialogs.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QDialog;
class QFrame;
class QPushButton;
class QWidget;

namespace mus::dialog {

// Names and titles a fixed-size dialog of `size`, makes it modal to its owner
// alone (the help window its Help button opens stays usable) and centres it
// on the screen (a dialog that changes its size afterwards centres itself
// again). The dialog gets the dialog face in bold; the normal face,
// for its prompt, notes and buttons, is returned.
QFont SetUp(QDialog& dialog, const char* name, const QString& title, QSize size);

// The sunken frame around a dialog's controls.
QFrame* Bevel(QWidget* dialog, const QRect& geometry);

// The dialogs' buttons, 70 x 27 at (x, y), with the small image of their
// kind: "OK" (a tick; the default button), "Cancel" (a cross) and "&Help" (a
// question mark). Named cmd_OK / cmd_Cancel / HelpBtn unless renamed.
QPushButton* OkButton(QWidget* dialog, const QFont& font, int x, int y);
QPushButton* CancelButton(QWidget* dialog, const QFont& font, int x, int y);
QPushButton* HelpButton(QWidget* dialog, const QFont& font, int x, int y);

} // namespace mus::dialog
