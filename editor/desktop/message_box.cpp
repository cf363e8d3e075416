#include <QMessageBox>
#include <QPushButton>

#include <array>

#include "editor/desktop/desktop.h"

namespace mus::desktop {

Probe* CurrentProbe();

namespace {

struct ButtonSpec {
    Button button;
    const char* caption;
    Answer answer;
};

// Left to right.
constexpr std::array<ButtonSpec, 9> kButtons{{
    {Button::Yes, "&Yes", Answer::Yes},
    {Button::No, "&No", Answer::No},
    {Button::Ok, "OK", Answer::Ok},
    {Button::Cancel, "Cancel", Answer::Cancel},
    {Button::Abort, "&Abort", Answer::Abort},
    {Button::Retry, "&Retry", Answer::Retry},
    {Button::Ignore, "&Ignore", Answer::Ignore},
    {Button::All, "&All", Answer::All},
    {Button::Help, "&Help", Answer::Ok}, // never closes the box
}};

QMessageBox::Icon IconOf(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Warning: return QMessageBox::Warning;
    case BoxKind::Error: return QMessageBox::Critical;
    case BoxKind::Information: return QMessageBox::Information;
    case BoxKind::Confirm: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QString BoxTitle(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Warning: return QStringLiteral("Warning");
    case BoxKind::Error: return QStringLiteral("Error");
    case BoxKind::Information: return QStringLiteral("Information");
    case BoxKind::Confirm: return QStringLiteral("Confirm");
    }
    return {};
}

Answer MessageBox(QWidget* parent, BoxKind kind, const QString& text, Buttons buttons)
{
    return TitledMessageBox(parent, BoxTitle(kind), kind, text, buttons);
}

Answer TitledMessageBox(QWidget* parent, const QString& title, BoxKind kind, const QString& text, Buttons buttons)
{
    if (buttons == 0) buttons = static_cast<Buttons>(Button::Ok);
    if (Probe* probe = CurrentProbe()) {
        if (const auto answer = probe->BoxOpening(title, kind, text, buttons)) return *answer;
    }
    for (;;) {
        QMessageBox box(parent);
        box.setObjectName(QStringLiteral("MessageBox"));
        box.setWindowTitle(title);
        box.setIcon(IconOf(kind));
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        // Only the main window is blocked, so the help window stays usable.
        if (parent != nullptr) box.setWindowModality(Qt::WindowModal);

        // Every button gets the same role: the platform's button order then
        // keeps them in the order added instead of sorting them by role.
        QPushButton* help = nullptr;
        std::array<QPushButton*, kButtons.size()> added{};
        for (std::size_t i = 0; i < kButtons.size(); ++i) {
            if (!Has(buttons, kButtons[i].button)) continue;
            added[i] = box.addButton(QString::fromLatin1(kButtons[i].caption), QMessageBox::ActionRole);
            added[i]->setObjectName(QString::fromLatin1(kButtons[i].caption).remove(QLatin1Char('&')));
            if (kButtons[i].button == Button::Help) help = added[i];
        }
        const Button defaultButton = DefaultButton(buttons);
        const Answer escape = EscapeAnswer(buttons);
        box.setDefaultButton(static_cast<QPushButton*>(nullptr));
        QPushButton* escapeButton = nullptr;
        for (std::size_t i = 0; i < kButtons.size(); ++i) {
            if (added[i] == nullptr) continue;
            if (kButtons[i].button == defaultButton) box.setDefaultButton(added[i]);
            if (kButtons[i].button != Button::Help && kButtons[i].answer == escape) escapeButton = added[i];
        }
        // Without the escape answer's button, Escape and the close box do nothing.
        box.setEscapeButton(escapeButton);

        box.adjustSize();
        CentreOnScreen(box);
        box.exec();
        const QAbstractButton* clicked = box.clickedButton();
        if (clicked != nullptr && clicked == help) {
            ShowHelpContents();
            continue;
        }
        for (std::size_t i = 0; i < kButtons.size(); ++i) {
            if (added[i] != nullptr && added[i] == clicked) return kButtons[i].answer;
        }
        return escape;
    }
}

void ReportFailure(QWidget* parent, const QString& message)
{
    TitledMessageBox(parent, QString::fromLatin1(kApplicationTitle), BoxKind::Error, message + QLatin1Char('.'),
                     static_cast<Buttons>(Button::Ok));
}

} // namespace mus::desktop
