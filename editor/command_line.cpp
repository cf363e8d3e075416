// murmurscript [FILE]
#include "editor/command_line.h"

#include "editor/desktop.h"
#include "editor/main_window.h"

namespace mus {

StartRequest ParseCommandLine(const QStringList& arguments)
{
    QStringList rest = arguments.mid(1);
    const bool endOfOptions = !rest.isEmpty() && rest.front() == QStringLiteral("--");
    if (endOfOptions) rest.removeFirst();
    if (rest.isEmpty()) return endOfOptions ? StartRequest{false, {}} : StartRequest{};
    if (rest.size() > 1) return {false, {}};
    const QString& path = rest.front();
    if (path.isEmpty() || (!endOfOptions && path.startsWith(QLatin1Char('-')))) return {false, {}};
    return {true, path};
}

QString UsageLine()
{
    return QStringLiteral("Usage: murmurscript [FILE]");
}

void OpenAtStart(frm_CText& window, const StartRequest& request)
{
    if (request.path.isEmpty()) return;
    // The editor is empty at start, so Open's question about replacing its
    // text does not arise.
    desktop::RunGuarded(&window, [&window, &request] { window.OpenPath(request.path); });
}

} // namespace mus
