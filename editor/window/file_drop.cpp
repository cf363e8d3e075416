// Opening a file dropped onto the window.
#include "editor/window/file_drop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

#include "editor/desktop/desktop.h"
#include "editor/window/main_window.h"

namespace mus {

namespace {

// Watches the window and the editor's viewport, where drags over the editor
// arrive. A filter runs before the editor's own handlers, so the editor never
// sees a file drag (it would insert the file's name as text).
class FileDropFilter final : public QObject {
public:
    explicit FileDropFilter(frm_CText& window) : QObject(&window), window_(&window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: break;
        default: return QObject::eventFilter(watched, event);
        }
        auto* drop = static_cast<QDropEvent*>(event);
        const QString path = DroppedFile(drop->mimeData());
        if (path.isEmpty()) {
            if (IsDroppedText(drop->mimeData())) return false; // the editor inserts it
            // Several files, a folder, a web link, an image: nothing is
            // inserted, and the drag is not accepted, so its cursor says so.
            drop->ignore();
            return true;
        }
        // Always a copy: a file manager that proposes a move would delete
        // the file once the drop is accepted.
        if (!(drop->possibleActions() & Qt::CopyAction)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop) {
            // Opened after the drop has returned, so the file manager is not
            // held up while the confirmation box waits for an answer.
            QPointer<frm_CText> window = window_;
            QMetaObject::invokeMethod(
                window_,
                [window, path] {
                    if (window == nullptr) return;
                    desktop::RunGuarded(window, [window, path] { OpenDroppedFile(*window, path); });
                },
                Qt::QueuedConnection);
        }
        return true;
    }

private:
    frm_CText* window_;
};

} // namespace

void InstallFileDrop(frm_CText& window)
{
    window.WatchDrops(new FileDropFilter(window));
}

QString DroppedFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls()) return {};
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) return {};
    return path;
}

bool IsDroppedText(const QMimeData* data)
{
    // Qt offers a drag's addresses as its text too: only a drag without any
    // is text.
    return data != nullptr && !data->hasUrls() && data->hasText() && !data->text().isEmpty();
}

void OpenDroppedFile(frm_CText& window, const QString& path)
{
    window.OpenPathAsking(path);
}

} // namespace mus
