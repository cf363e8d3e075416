#include "editor/window/file_dialogs.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace mus {

namespace {

// Hides the list whenever it shows while its dialog is closed.
class CompletionCloser final : public QObject {
public:
    CompletionCloser(QFileDialog* dialog, QWidget* list) : QObject(list), dialog_(dialog), list_(list) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == list_ && event->type() == QEvent::Show && (dialog_ == nullptr || !dialog_->isVisible())) {
            // Hidden once its showing is over, so the popup's grab of the
            // keyboard and mouse is released with it.
            QTimer::singleShot(0, list_, [list = list_] {
                if (list != nullptr) list->hide();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QFileDialog> dialog_;
    QPointer<QWidget> list_;
};

} // namespace

void CloseCompletionWithDialog(QFileDialog* dialog)
{
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name == nullptr || name->completer() == nullptr) return;
    QWidget* list = name->completer()->popup();
    QObject::connect(dialog, &QDialog::finished, list, &QWidget::hide);
    list->installEventFilter(new CompletionCloser(dialog, list));
}

} // namespace mus
