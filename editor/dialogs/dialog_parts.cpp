#include "editor/dialogs/dialog_parts.h"

#include <QDialog>
#include <QFrame>
#include <QIcon>
#include <QPushButton>
#include <QStyle>

#include "editor/desktop/desktop.h"
#include "editor/desktop/fonts.h"

namespace mus::dialog {

namespace {

QPushButton* Button(QWidget* dialog, const QFont& font, int x, int y, const char* name, const QString& caption,
                    const char* themeIcon, QStyle::StandardPixmap fallback)
{
    auto* button = new QPushButton(
        QIcon::fromTheme(QString::fromLatin1(themeIcon), dialog->style()->standardIcon(fallback)), caption, dialog);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(font);
    button->setGeometry(x, y, 70, 27);
    return button;
}

} // namespace

QPushButton* OkButton(QWidget* dialog, const QFont& font, int x, int y)
{
    QPushButton* button = Button(dialog, font, x, y, "cmd_OK", QStringLiteral("OK"), "dialog-ok",
                                 QStyle::SP_DialogOkButton);
    button->setDefault(true);
    return button;
}

QPushButton* CancelButton(QWidget* dialog, const QFont& font, int x, int y)
{
    return Button(dialog, font, x, y, "cmd_Cancel", QStringLiteral("Cancel"), "dialog-cancel",
                  QStyle::SP_DialogCancelButton);
}

QPushButton* HelpButton(QWidget* dialog, const QFont& font, int x, int y)
{
    return Button(dialog, font, x, y, "HelpBtn", QStringLiteral("&Help"), "help-contents", QStyle::SP_DialogHelpButton);
}

QFont SetUp(QDialog& dialog, const char* name, const QString& title, QSize size)
{
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setFixedSize(size);
    QFont bold = DesignFontPoints(kPanelFace, 8);
    bold.setBold(true);
    dialog.setFont(bold);
    desktop::CentreOnScreen(dialog);
    // Said explicitly, or the children would take the dialog's bold weight.
    QFont normal = DesignFontPoints(kPanelFace, 8);
    normal.setBold(false);
    return normal;
}

QFrame* Bevel(QWidget* dialog, const QRect& geometry)
{
    auto* bevel = new QFrame(dialog);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(geometry);
    return bevel;
}

} // namespace mus::dialog
