#pragma once
// Answers the real modal dialogs of a test, one action per showing, in order.
// It watches every Show event, so a dialog shown again without a pause (the
// phrase dialog of one Encrypt) counts as a new showing. An action runs once
// the dialog shows, inside its own event loop. A dialog with no action left
// is closed as Cancel would close it and counted, so a test never hangs on it.

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

namespace mus::test {

class ModalAnswerer final : public QObject {
public:
    using Action = std::function<void(QDialog* dialog)>;

    ModalAnswerer() { qApp->installEventFilter(this); }
    ~ModalAnswerer() override { qApp->removeEventFilter(this); }
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    void Add(Action action) { actions_.push_back(std::move(action)); }

    // An action for a dialog of type T; a dialog of another type fails the
    // test and is closed.
    template <typename T>
    void Add(std::function<void(T*)> action)
    {
        Add([action](QDialog* dialog) {
            if (auto* wanted = qobject_cast<T*>(dialog)) return action(wanted);
            QTest::qFail(qPrintable(QStringLiteral("another dialog than expected showed: ") + dialog->objectName()),
                         __FILE__, __LINE__);
            dialog->reject();
        });
    }

    // The actions no dialog took and the dialogs no action answered, which
    // a test ends with none of; forgets both.
    int Leftover()
    {
        const int left = static_cast<int>(actions_.size()) + unanswered_;
        actions_.clear();
        unanswered_ = 0;
        return left;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog != nullptr && dialog->isWindow() && dialog->isModal()) {
            Action action;
            if (actions_.empty()) {
                ++unanswered_;
                action = [](QDialog* d) { d->reject(); };
            } else {
                action = std::move(actions_.front());
                actions_.pop_front();
            }
            // After the dialog's own show handling, inside its event loop.
            QTimer::singleShot(0, dialog, [d = QPointer<QDialog>(dialog), action] {
                if (d) action(d);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::deque<Action> actions_;
    int unanswered_ = 0;
};

// Types `text` into `widget` key by key; QTest::keyClicks takes ASCII only.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

} // namespace mus::test
