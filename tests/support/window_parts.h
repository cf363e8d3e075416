#pragma once
// The main window's parts as a test reaches them: by their object names.

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>

namespace mus::test {

// The window's child named `name`; the run ends when there is none.
template <typename T>
T* Part(const QObject& window, const char* name)
{
    T* part = window.findChild<T*>(QString::fromLatin1(name));
    if (part == nullptr) qFatal("The window has no %s", name);
    return part;
}

inline QPlainTextEdit* Editor(const QObject& window)
{
    return Part<QPlainTextEdit>(window, "txt_CText");
}
inline QToolButton* ToolButton(const QObject& window, const char* name)
{
    return Part<QToolButton>(window, name);
}
inline QAction* MenuItem(const QObject& window, const char* name)
{
    return Part<QAction>(window, name);
}
inline QLabel* Panel(const QObject& window, const char* name)
{
    return Part<QLabel>(window, name);
}

// The status bar's texts: the byte counts and the text type.
inline QString BytesText(const QObject& window)
{
    return Panel(window, "pan_Bytes")->text();
}
inline QString TextType(const QObject& window)
{
    return Panel(window, "pan_TextType")->text();
}

// The page the help window shows, with the topic as its fragment.
inline QUrl HelpPage(const QObject& help)
{
    return Part<QTextBrowser>(help, "txt_Help")->source();
}

} // namespace mus::test
