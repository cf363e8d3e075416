// Murmurscript: start-up and end.
#include <QApplication>
#include <QIcon>

#include "editor/desktop.h"
#include "editor/main_window.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The name, not the display name: Qt would append a display name to every
    // window title, and the boxes must be titled exactly "Error", "Warning", ...
    QApplication::setApplicationName(QString::fromLatin1(mus::desktop::kApplicationTitle));
    mus::desktop::SetHelpFile(QString::fromLatin1(mus::desktop::kHelpFileName));

    int result = 0;
    {
        frm_CText window;
        QApplication::setWindowIcon(window.windowIcon());
        window.show();
        result = QApplication::exec();
        mus::desktop::CloseHelp();
    }   // the window's destruction writes the settings
    return result;
}
