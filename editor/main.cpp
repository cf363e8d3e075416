// Murmurscript: start-up and end.
#include <QApplication>
#include <QIcon>

#include <csignal>
#include <cstdio>

#include "common/core_dumps.h"
#include "editor/desktop/desktop.h"
#include "editor/window/command_line.h"
#include "editor/window/file_drop.h"
#include "editor/window/main_window.h"

namespace {

int RefuseCommandLine()
{
    std::fprintf(stderr, "%s\n", qPrintable(mus::UsageLine()));
    return mus::kUsageExitStatus;
}

// The help or the version on standard output; a failed write is not success.
int Answer(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, bytes.size(), stdout) == std::size_t(bytes.size()) &&
                         std::fflush(stdout) == 0;
    if (written) return 0;
    std::fprintf(stderr, "murmurscript: cannot write to standard output\n");
    return mus::kOutputErrorExitStatus;
}

} // namespace

int main(int argc, char* argv[])
{
    // Before the document, a phrase or a key can be in memory.
    mus::ForbidCoreDumps();
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    // The help, the version and a wrong command line are told before the
    // window system is needed.
    const mus::StartRequest asGiven = mus::ParseCommandLine(raw);
    if (!asGiven.answer.isEmpty()) return Answer(asGiven.answer);
    if (!asGiven.understood && !mus::MayHoldToolkitOptions(raw)) return RefuseCommandLine();

    // Under a file size limit a write past it would end the program, and
    // with it the unsaved document; ignored, it fails as on a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    const mus::StartRequest start = mus::ParseCommandLine(QApplication::arguments());
    if (!start.answer.isEmpty()) return Answer(start.answer);
    if (!start.understood) return RefuseCommandLine();
    // The name, not the display name: Qt would append a display name to every
    // window title, and the boxes must be titled exactly "Error", "Warning", ...
    QApplication::setApplicationName(QString::fromLatin1(mus::desktop::kApplicationTitle));
    mus::desktop::SetHelpFile(QString::fromLatin1(mus::desktop::kHelpFileName));
    // Ties the windows to murmurscript.desktop (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("murmurscript"));

    int result = 0;
    {
        frm_CText window;
        QApplication::setWindowIcon(window.windowIcon());
        mus::InstallFileDrop(window);
        window.show();
        mus::OpenAtStart(window, start);
        result = QApplication::exec();
        mus::desktop::CloseHelp();
    } // the window's destruction writes the settings
    return result;
}
