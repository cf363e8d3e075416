#pragma once
// A desktop probe for editor tests: writes every alert sound and message box
// of the desktop layer into a log, in the order they happen and spelled as
// the scripted user spells them, and answers the boxes from a list instead
// of showing them. The commands reach the desktop only through the window's
// own user interface; the failure report and the dialogs reach it directly.

#include <QString>
#include <QTest>

#include <deque>
#include <optional>
#include <string>

#include "editor/desktop/desktop.h"
#include "tests/support/scripted_ui.h"

namespace mus::test {

class DesktopProbe final : public desktop::Probe {
public:
    explicit DesktopProbe(fake::Log& log) : log_(&log), previous_(desktop::SetProbe(this)) {}
    ~DesktopProbe() override { desktop::SetProbe(previous_); }
    DesktopProbe(const DesktopProbe&) = delete;
    DesktopProbe& operator=(const DesktopProbe&) = delete;

    // The answers the next boxes get, in order; a box past them is answered
    // with its Escape answer, or shown for real while showBoxes is set.
    std::deque<Answer> answers;
    bool showBoxes = false;

    void SoundPlayed(AlertSound sound) override { log_->push_back(fake::SoundLine(sound)); }

    // A box titled otherwise than its kind (the failure report) has its
    // title before the text.
    std::optional<Answer> BoxOpening(const QString& title, BoxKind kind, const QString& text, Buttons buttons) override
    {
        const QString shown = title == desktop::BoxTitle(kind) ? text : title + QStringLiteral(": ") + text;
        log_->push_back(fake::BoxLine(kind, fake::ButtonNames(buttons), shown.toStdString()));
        if (answers.empty()) return showBoxes ? std::nullopt : std::optional<Answer>(EscapeAnswer(buttons));
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }

private:
    fake::Log* log_;
    desktop::Probe* previous_;
};

// The failure report's line for `message` (its text without the full stop).
inline std::string ReportLine(const QString& message)
{
    const QString text = QString::fromLatin1(desktop::kApplicationTitle) + QStringLiteral(": ") + message + '.';
    return fake::BoxLine(BoxKind::Error, "OK", text.toStdString());
}

} // namespace mus::test

// QCOMPARE shows a log that differs line by line.
template <>
inline char* QTest::toString(const mus::fake::Log& log)
{
    QByteArray text;
    for (const std::string& line : log) text += "\n    " + QByteArray::fromStdString(line);
    return qstrdup(text.isEmpty() ? "(empty)" : text.constData());
}
