#pragma once
// Typing, and answering the real modal dialogs of a test, one action per showing, in order.
// It watches every Show event, so a dialog shown again without a pause (the
// phrase dialog of one Encrypt) counts as a new showing.

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

    void Add(Action action) { actions_.push_back(std::move(action)); }
    int Unanswered() const { return unanswered_; }
    bool Finished() const { return actions_.empty(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog != nullptr && dialog->isWindow() && dialog->isModal()) {
            if (actions_.empty()) {
                // Nothing scripted: close it, so that the test ends.
                ++unanswered_;
                QTimer::singleShot(0, dialog, [d = QPointer<QDialog>(dialog)] {
                    if (d) d->reject();
                });
            } else {
                Action action = std::move(actions_.front());
                actions_.pop_front();
                // After the dialog's own show handling, inside its event loop.
                QTimer::singleShot(0, dialog, [d = QPointer<QDialog>(dialog), action] {
                    if (d) action(d);
                });
            }
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
