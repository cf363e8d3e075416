#include "editor/desktop/desktop.h"

#include <QCursor>
#include <QGuiApplication>

namespace mus::desktop {

namespace {
Probe* g_probe = nullptr;
} // namespace

Probe* SetProbe(Probe* probe)
{
    Probe* previous = g_probe;
    g_probe = probe;
    return previous;
}

// Used by the box and the sounds.
Probe* CurrentProbe()
{
    return g_probe;
}

BusyCursorScope::BusyCursorScope()
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursorScope::~BusyCursorScope()
{
    Release();
}

void BusyCursorScope::Release()
{
    if (!active_) return;
    active_ = false;
    QGuiApplication::restoreOverrideCursor();
}

} // namespace mus::desktop
