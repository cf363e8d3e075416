#pragma once
// A desktop probe for editor tests: records every alert sound and message box
// in the order they happen ("sound:Stop", "box:Error:<title>:<text>") and
// answers boxes from a script instead of showing them.

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

#include "editor/desktop/desktop.h"

namespace mus::test {

inline QString SoundName(AlertSound sound)
{
    switch (sound) {
    case AlertSound::Stop: return QStringLiteral("Stop");
    case AlertSound::Question: return QStringLiteral("Question");
    case AlertSound::Exclamation: return QStringLiteral("Exclamation");
    }
    return {};
}

class DesktopProbe final : public desktop::Probe {
public:
    DesktopProbe() : previous_(desktop::SetProbe(this)) {}
    ~DesktopProbe() override { desktop::SetProbe(previous_); }
    DesktopProbe(const DesktopProbe&) = delete;
    DesktopProbe& operator=(const DesktopProbe&) = delete;

    // The answers the next boxes get, in order; a box past the script is
    // answered with its Escape answer. With showReal, boxes are shown.
    std::deque<Answer> answers;
    bool showReal = false;

    QStringList events;
    Buttons lastButtons = 0;

    void SoundPlayed(AlertSound sound) override { events << QStringLiteral("sound:") + SoundName(sound); }

    std::optional<Answer> BoxOpening(const QString& title, BoxKind kind, const QString& text,
                                     Buttons buttons) override
    {
        events << QStringLiteral("box:%1:%2:%3").arg(desktop::BoxTitle(kind), title, text);
        lastButtons = buttons;
        if (showReal) return std::nullopt;
        if (answers.empty()) return EscapeAnswer(buttons);
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }

private:
    desktop::Probe* previous_;
};

} // namespace mus::test
