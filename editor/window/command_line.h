#pragma once
// The program's command line, `murmurscript [FILE]`: what a desktop's file
// association needs. FILE is opened at start as the Open command would.
// `murmurscript --help` and `murmurscript --version` tell and end.

#include <QString>
#include <QStringList>

class frm_CText;

namespace mus {

// The exit status for a command line the program does not understand.
inline constexpr int kUsageExitStatus = 64;
// The exit status when the help or the version cannot be written.
inline constexpr int kOutputErrorExitStatus = 74;

struct StartRequest {
    // False: the arguments have another form; print UsageLine() and exit.
    bool understood = true;
    // The file to open at start; empty: start with an empty editor.
    QString path;
    // Not empty: print this to standard output and exit, starting nothing
    // (the help for --help, the version for --version).
    QString answer;
};

// `arguments` as QCoreApplication::arguments() gives them: the program's
// name first, Qt's own options (-platform, -style, ...) already taken out.
// Accepted: nothing, one file name, "--" and one file name (for a name that
// begins with "-"), or "--help" or "--version" alone.
StartRequest ParseCommandLine(const QStringList& arguments);

// True when the raw command line (before the toolkit took its options out)
// names one of the toolkit's own options, -platform or -style for instance.
// Only then must the usage check wait for the toolkit; any other command
// line is checked before it starts, so a wrong one needs no display.
bool MayHoldToolkitOptions(const QStringList& rawArguments);

// The short usage line, without a line break.
QString UsageLine();

// Opens the request's file into the window as Open does once the user has
// chosen it, after the shown window has been painted; user input waits until
// the file is in. A failure shows in the general failure report and the
// window starts empty. Does nothing when the request names no file.
void OpenAtStart(frm_CText& window, const StartRequest& request);

} // namespace mus
