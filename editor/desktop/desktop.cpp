#include "editor/desktop/desktop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

void CentreOnScreen(QWidget& window)
{
    const QWidget* owner = window.parentWidget();
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) window.move(screen->availableGeometry().center() - window.rect().center());
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
