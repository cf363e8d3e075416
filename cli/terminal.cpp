#include "terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>

#include <cerrno>

#include "cipher/method02.h"

namespace mus::cli {

namespace {

// While echo is off, a signal that ends the process must give the terminal
// its settings back first, or the shell is left without echo.
volatile sig_atomic_t gRestoreFd = -1;
struct termios gSaved;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void RestoreAndReraise(int signal)
{
    if (gRestoreFd >= 0) tcsetattr(gRestoreFd, TCSAFLUSH, &gSaved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

std::unique_ptr<Terminal> Terminal::Open()
{
    const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::unique_ptr<Terminal>(new Terminal(fd));
}

Terminal::~Terminal()
{
    close(fd_);
}

std::optional<std::string> Terminal::AskHidden(std::string_view prompt)
{
    // Echo goes off before the prompt appears, so that nothing typed after
    // the prompt is shown or discarded.
    struct termios hidden;
    const bool isTerminal = tcgetattr(fd_, &gSaved) == 0;
    struct sigaction previous[std::size(kEndingSignals)];
    if (isTerminal) {
        struct sigaction action {};
        action.sa_handler = RestoreAndReraise;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &action, &previous[i]);
        gRestoreFd = fd_;
        hidden = gSaved;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        hidden.c_lflag |= ECHONL;
        tcsetattr(fd_, TCSAFLUSH, &hidden);
    }
    WriteAll(fd_, prompt);
    WriteAll(fd_, " ");

    // The line grows into room of its own, and the room it leaves is wiped,
    // so no copy of a phrase's start is left behind.
    std::string line;
    line.reserve(1024);
    bool ended = false;
    for (;;) {
        char c;
        const ssize_t n = read(fd_, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended = true;
            break;
        }
        if (c == '\n') break;
        if (line.size() == line.capacity()) {
            std::string larger;
            larger.reserve(2 * line.capacity());
            larger = line;
            Wipe(line);
            line.swap(larger);
        }
        line += c;
    }

    if (isTerminal) {
        tcsetattr(fd_, TCSANOW, &gSaved);
        gRestoreFd = -1;
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    if (ended) {
        Wipe(line);
        WriteAll(fd_, "\n");
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

} // namespace mus::cli
