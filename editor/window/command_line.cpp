// murmurscript [FILE]
#include "editor/window/command_line.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWindow>

#include "editor/desktop/desktop.h"
#include "editor/window/main_window.h"

namespace mus {

namespace {

QString HelpText()
{
    return UsageLine() + QStringLiteral("\n       murmurscript --help | --version\n"
                                        "\n"
                                        "Starts the Murmurscript editor, which turns its text into a printable\n"
                                        "cipher block and back, with FILE opened in it when one is named\n"
                                        "(\"--\" before a name that begins with \"-\"). See murmurscript(1) and the\n"
                                        "program's help (F1); mus(1) does the same work in a terminal.\n");
}

// Lets the window system show and paint the window, handling no user input
// meanwhile: what the user types or clicks waits, queued, until the start-up
// file is in. A window that is not shown is not waited for, and one that is
// never exposed (started minimised) no longer than a second.
void WaitForFirstPaint(QWidget& window)
{
    QWindow* handle = window.windowHandle();
    if (!window.isVisible() || handle == nullptr) return;
    const QDeadlineTimer deadline(1000);
    QTimer wake; // ends each wait below, also when no other event comes
    wake.start(20);
    while (!handle->isExposed() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace

StartRequest ParseCommandLine(const QStringList& arguments)
{
    if (arguments.size() == 2 && arguments[1] == QLatin1String("--help")) return {true, {}, HelpText()};
    if (arguments.size() == 2 && arguments[1] == QLatin1String("--version"))
        return {true, {}, QStringLiteral("murmurscript " MUS_VERSION "\n")};
    const StartRequest wrong{false, {}, {}};
    QStringList rest = arguments.mid(1);
    const bool endOfOptions = !rest.isEmpty() && rest.front() == QStringLiteral("--");
    if (endOfOptions) rest.removeFirst();
    if (rest.isEmpty()) return endOfOptions ? wrong : StartRequest{};
    if (rest.size() > 1) return wrong;
    const QString& path = rest.front();
    if (path.isEmpty() || (!endOfOptions && path.startsWith(QLatin1Char('-')))) return wrong;
    return {true, path, {}};
}

bool MayHoldToolkitOptions(const QStringList& rawArguments)
{
    // The options QGuiApplication and QApplication take out of the command
    // line, with one dash or two.
    // clang-format off
    static const QStringList toolkitOptions{
        "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger", "qwindowgeometry",
        "qwindowicon", "qwindowtitle", "reverse", "session", "style", "stylesheet", "widgetcount",
        "nograb", "dograb", "display", "geometry", "title", "name", "visual", "sync", "testability"};
    // clang-format on
    for (const QString& argument : rawArguments.mid(1)) {
        if (argument == QLatin1String("--")) break;
        if (!argument.startsWith(QLatin1Char('-'))) continue;
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        name = name.section(QLatin1Char('='), 0, 0);
        if (toolkitOptions.contains(name)) return true;
    }
    return false;
}

QString UsageLine()
{
    return QStringLiteral("Usage: murmurscript [FILE]");
}

void OpenAtStart(frm_CText& window, const StartRequest& request)
{
    if (request.path.isEmpty()) return;
    // The window is painted, menus, toolbar and status bar, before the file
    // is read, whatever its size. The editor is empty at start, so Open's
    // question about replacing its text does not arise.
    WaitForFirstPaint(window);
    desktop::RunGuarded(&window, [&window, &request] { window.OpenPath(request.path); });
}

} // namespace mus
