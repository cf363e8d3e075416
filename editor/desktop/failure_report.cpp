#include <QString>

#include <new>

#include "editor/desktop/desktop.h"

namespace mus::desktop {

bool RunGuarded(QWidget* parent, const std::function<void()>& handler) noexcept
{
    // Qt does not let exceptions unwind through its event loop: every
    // handler's failure ends here, is shown, and the program goes on.
    QString message;
    try {
        handler();
        return true;
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unexpected failure");
    }
    try {
        ReportFailure(parent, message);
    } catch (...) {
        // Nothing more can be shown; the program goes on.
    }
    return false;
}

} // namespace mus::desktop
