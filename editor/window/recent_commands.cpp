// The Recent Files submenu: the files last opened or saved, Clear List, and
// the list read when the window is created (written with the appearance when
// it is destroyed, appearance.cpp).
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "common/failure.h"
#include "editor/desktop/desktop.h"
#include "editor/settings/settings_store.h"
#include "editor/window/main_window.h"

namespace {

// The submenu's own entries, which it makes anew each time it shows; the
// table's row Clear List stays.
const char kEntryProperty[] = "recentEntry";

} // namespace

void frm_CText::LoadRecentFiles(const mus::SettingsStore& settings)
{
    recentFiles_ = mus::ReadRecentFiles(settings);
}

void frm_CText::NoteFileUsed(const QString& path)
{
    lastFile_ = path;
    recentFiles_.Add(path);
}

void frm_CText::RecentFiles1Fill()
{
    auto* menu = findChild<QMenu*>(QStringLiteral("RecentFiles1"));
    auto* clear = findChild<QAction*>(QStringLiteral("ClearList1"));
    if (menu == nullptr || clear == nullptr) return;
    menu->setToolTipsVisible(true); // an entry's tooltip is its whole path
    for (QAction* action : menu->actions()) {
        if (action->property(kEntryProperty).toBool()) delete action;
    }
    const auto add = [&](QAction* action) {
        action->setProperty(kEntryProperty, true);
        menu->insertAction(clear, action);
        return action;
    };
    const QStringList& paths = recentFiles_.Paths();
    for (int i = 0; i < paths.size(); ++i) {
        QAction* entry = add(new QAction(mus::RecentEntryCaption(i, paths[i]), menu));
        entry->setObjectName(QStringLiteral("RecentFile%1").arg(i + 1));
        entry->setToolTip(QDir::toNativeSeparators(paths[i]));
        connect(entry, &QAction::triggered, this, [this, path = paths[i]] {
            mus::desktop::RunGuarded(this, [this, &path] { OpenRecentFile(path); });
            FocusEditor();
        });
    }
    if (paths.isEmpty()) {
        // Nothing to choose: the one item that is disabled says so.
        QAction* none = add(new QAction(QStringLiteral("(none)"), menu));
        none->setObjectName(QStringLiteral("RecentNone1"));
        none->setEnabled(false);
    }
    // With no list kept at all, "(none)" is the submenu's only item.
    clear->setVisible(recentFiles_.Limit() > 0);
    if (clear->isVisible()) add(new QAction(menu))->setSeparator(true);
}

void frm_CText::ClearList1Click()
{
    recentFiles_.Clear();
}

void frm_CText::OpenRecentFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        // Gone (deleted, renamed, its disk not mounted): asking about
        // replacing the text first would be a question to no purpose.
        recentFiles_.Remove(path);
        throw mus::Failure("Cannot open file " + QDir::toNativeSeparators(path).toStdString());
    }
    OpenPathAsking(path);
}
