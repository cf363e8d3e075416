#pragma once
// Answers a real modal dialog: a timer waits until one of the wanted type is
// showing and hands it to the test's code.

#include <QApplication>
#include <QTimer>

#include <functional>

namespace mus::test {

inline const char kAnswerTimerName[] = "mus_test_modal_answer";

// Runs `answer` on the next modal dialog of type T once it shows.
template <typename T>
void OnNextModal(std::function<void(T*)> answer)
{
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QString::fromLatin1(kAnswerTimerName));
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start();
}

// Removes the answers no dialog took (so they cannot answer a later test's
// dialog) and tells how many there were.
inline int DropUnusedAnswers()
{
    int unused = 0;
    for (QTimer* timer : qApp->findChildren<QTimer*>(QString::fromLatin1(kAnswerTimerName),
                                                     Qt::FindDirectChildrenOnly)) {
        if (timer->isActive()) ++unused;
        delete timer;
    }
    return unused;
}

} // namespace mus::test
