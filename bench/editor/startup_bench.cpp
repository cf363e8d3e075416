// Start-up of the editor, each case in a fresh process started as the
// desktop starts the program: the time from the start of the process to the
// window's first complete paint and to the end of loading a start-up file,
// the CPU time the process spent until that paint, the peak memory (the
// kernel's count) and the memory resident once loaded.
// Beside it the floor: a bare Qt window with an editor and a toolbar.
//
//   startup_bench [--runs N] [CASE...]     (default: floor empty text:20 text:100 open:20)
// The cases' runs are interleaved; the start-up cases are also given as
// times the floor's (paint/fl, cpu/fl), medians against medians.
//     floor        the bare window
//     empty        murmurscript without a file
//     text:MIB     murmurscript FILE, FILE a generated text of MIB MiB (LF line breaks)
//     open:MIB     the Open command's last step on a MIB MiB text, in a started window
//     layout:MB    a line of MB million bytes made the editor's text: the time to
//                  lay it out and paint it, and to type one key into it and repaint
//     wrap:MB      the same with Word Wrap on
//
// Runs on the platform QT_QPA_PLATFORM names (offscreen when unset); under a
// virtual display: QT_QPA_PLATFORM=xcb DISPLAY=:99 startup_bench.
#include <QApplication>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "editor/desktop/desktop.h"
#include "editor/document/byte_document.h"
#include "editor/window/command_line.h"
#include "editor/window/file_drop.h"
#include "editor/window/main_window.h"
#include "tests/support/window_parts.h"

namespace {

using mus::bench::MonotonicNs;

// ------------------------------------------------------------ in the child

// Notes when the watched window's first expose has been handled: Qt paints
// and flushes the whole window while handling it.
class PaintWatch final : public QObject {
public:
    QWidget* window = nullptr;
    std::int64_t paintedNs = 0;
    std::int64_t cpuNs = 0; // the process's CPU time by then, less sensitive to a busy machine

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (paintedNs != 0 || event->type() != QEvent::Expose || window == nullptr || watched != window->windowHandle())
            return false;
        watched->event(event);
        if (window->windowHandle()->isExposed()) {
            paintedNs = MonotonicNs();
            timespec cpu{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
            cpuNs = std::int64_t{cpu.tv_sec} * 1000000000 + cpu.tv_nsec;
        }
        return true;
    }
};

std::int64_t ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6);
    }
    return 0;
}

void WaitForPaint(const PaintWatch& watch)
{
    const std::int64_t deadline = MonotonicNs() + std::int64_t{60} * 1000000000;
    while (watch.paintedNs == 0 && MonotonicNs() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// Lets the window settle (the paint after a load) before memory is read.
void Settle()
{
    const std::int64_t until = MonotonicNs() + 200000000;
    while (MonotonicNs() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int RunChild(int argc, char** argv, const std::string& mode, const std::string& file)
{
    QApplication app(argc, argv);
    PaintWatch watch;
    app.installEventFilter(&watch);
    std::map<std::string, std::int64_t> report;
    if (mode == "floor") {
        QMainWindow window;
        QToolBar* bar = window.addToolBar(QStringLiteral("Toolbar"));
        for (const char* name : {"New", "Open", "Save", "Cut", "Copy", "Paste"})
            bar->addAction(QString::fromLatin1(name));
        window.setCentralWidget(new QPlainTextEdit(&window));
        window.resize(568, 398);
        watch.window = &window;
        window.show();
        WaitForPaint(watch);
        report["paint"] = watch.paintedNs;
        report["paint_cpu_ns"] = watch.cpuNs;
        report["rss_kib"] = ResidentKiB();
    } else if (mode == "layout" || mode == "wrap") {
        frm_CText window;
        QPlainTextEdit* editor = mus::test::Editor(window);
        if (mode == "wrap") mus::test::MenuItem(window, "WordWrap1")->trigger();
        window.show();
        QCoreApplication::processEvents();
        std::string line(std::stoul(file), 'x');
        for (std::size_t i = 7; i < line.size(); i += 8) line[i] = ' ';
        std::int64_t begin = MonotonicNs();
        window.Document().SetText(line);
        editor->viewport()->repaint();
        report["layout_ns"] = MonotonicNs() - begin;
        QTextCursor middle = editor->textCursor();
        middle.setPosition(int(line.size() / 2));
        editor->setTextCursor(middle);
        editor->viewport()->repaint();
        begin = MonotonicNs();
        editor->insertPlainText(QStringLiteral("x"));
        editor->viewport()->repaint();
        report["key_ns"] = MonotonicNs() - begin;
        report["rss_kib"] = ResidentKiB();
    } else {
        // As main() starts the program.
        const mus::StartRequest start = mus::ParseCommandLine(
            {QStringLiteral("murmurscript"), QString::fromStdString(mode == "start" ? file : "")});
        QApplication::setApplicationName(QString::fromLatin1(mus::desktop::kApplicationTitle));
        mus::desktop::SetHelpFile(QString::fromLatin1(mus::desktop::kHelpFileName));
        QGuiApplication::setDesktopFileName(QStringLiteral("murmurscript"));
        frm_CText window;
        watch.window = &window;
        QApplication::setWindowIcon(window.windowIcon());
        mus::InstallFileDrop(window);
        window.show();
        mus::OpenAtStart(window, start);
        report["loaded"] = MonotonicNs();
        WaitForPaint(watch);
        report["paint"] = watch.paintedNs;
        report["paint_cpu_ns"] = watch.cpuNs;
        if (mode == "open") {
            const std::int64_t begin = MonotonicNs();
            window.OpenPath(QString::fromStdString(file));
            report["open_ns"] = MonotonicNs() - begin;
        }
        Settle();
        report["bytes"] = window.Document().TextLength();
        report["rss_kib"] = ResidentKiB();
    }
    for (const auto& [key, value] : report) std::printf("%s %lld\n", key.c_str(), static_cast<long long>(value));
    return 0;
}

// ----------------------------------------------------------- in the parent

// A text of `bytes` bytes: lines of 10 to 100 letters and blanks, each ended
// by LF, as a generated log or a long plain-text book would be.
void WriteText(const std::string& path, std::int64_t bytes)
{
    std::string text;
    text.reserve(std::size_t(bytes));
    std::uint32_t state = 1;
    const auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
    while (std::int64_t(text.size()) < bytes) {
        const std::uint32_t length = 10 + next() % 91;
        for (std::uint32_t i = 0; i < length; ++i) text += next() % 6 == 0 ? ' ' : char('a' + next() % 26);
        text += '\n';
    }
    text.resize(std::size_t(bytes));
    std::ofstream(path, std::ios::binary) << text;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One case as the parent runs it: its child's mode and argument, and the
// figures of its runs.
struct Case {
    std::string name, kind, mode, file;
    std::map<std::string, std::vector<double>> figures;
    bool failed = false;
};

bool PrepareCase(Case& c, const std::string& dir)
{
    const auto colon = c.name.find(':');
    c.kind = c.name.substr(0, colon);
    const double size = colon == std::string::npos ? 0 : std::atof(c.name.c_str() + colon + 1);
    c.mode = c.kind == "floor" || c.kind == "open" || c.kind == "layout" || c.kind == "wrap" ? c.kind : "start";
    c.file.assign(1, '-'); // not = "-": GCC 12 misreads that at -O3 (-Wrestrict)
    if (c.kind == "text" || c.kind == "open") {
        c.file = dir + "/" + c.kind + "-" + std::to_string(std::int64_t(size * 1048576)) + ".txt";
        WriteText(c.file, std::int64_t(size * 1048576));
    } else if (c.kind == "layout" || c.kind == "wrap") {
        c.file = std::to_string(std::int64_t(size * 1000000));
    } else if (c.kind != "floor" && c.kind != "empty") {
        std::fprintf(stderr, "unknown case %s\n", c.name.c_str());
        return false;
    }
    if (c.kind == "empty") c.mode = "empty";
    return true;
}

void RunCaseOnce(Case& c, const std::string& self, const std::string& dir)
{
    const std::string out = dir + "/report";
    const mus::bench::ChildRun run = mus::bench::RunChild({self, "--child", c.mode, c.file}, "/dev/null", out);
    std::ifstream in(out);
    std::map<std::string, double> report;
    std::string key;
    for (double value; in >> key >> value;) report[key] = value;
    if (run.status != 0 || (report.count("paint") == 0 && report.count("layout_ns") == 0)) {
        std::printf("%-12s failed: status %d after %.1f s, peak %.0f MiB\n", c.name.c_str(), run.status, run.seconds,
                    run.peakMiB);
        c.failed = true;
        return;
    }
    const auto since = [&](const char* k) { return (report[k] - double(run.startNs)) / 1e6; };
    auto& f = c.figures;
    f["paint"].push_back(since("paint"));
    f["cpu"].push_back(report["paint_cpu_ns"] / 1e6);
    f["loaded"].push_back(report.count("loaded") ? since("loaded") : 0);
    f["open"].push_back(report["open_ns"] / 1e6);
    f["peak"].push_back(run.peakMiB);
    f["rss"].push_back(report["rss_kib"] / 1024);
    f["layout"].push_back(report["layout_ns"] / 1e6);
    f["key"].push_back(report["key_ns"] / 1e6);
}

// The runs of the cases are interleaved (every case once, then again), so
// that a change in the machine's load falls on all of them alike; the
// start-up cases are then given as times the floor's, when it ran.
int RunParent(const std::string& self, int runs, const std::vector<std::string>& names)
{
    char pattern[] = "/tmp/mus-startup-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    // The windows read and write their settings file here, not the user's.
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("QT_QPA_PLATFORM", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen", 1);
    std::vector<Case> cases;
    for (const std::string& name : names) {
        cases.push_back(Case{name, {}, {}, {}, {}, false});
        if (!PrepareCase(cases.back(), dir)) return 64;
    }
    for (int r = 0; r < runs; ++r) {
        for (Case& c : cases) {
            if (!c.failed) RunCaseOnce(c, self, dir);
        }
    }
    Case* floor = nullptr;
    for (Case& c : cases) {
        if (c.kind == "floor" && !c.failed) floor = &c;
    }
    std::printf("platform %s, medians of %d interleaved runs\n", std::getenv("QT_QPA_PLATFORM"), runs);
    std::printf("%-12s %10s %10s %10s %10s %10s %10s %10s %10s\n", "case", "paint ms", "cpu ms", "loaded ms", "open ms",
                "peak MiB", "rss MiB", "paint/fl", "cpu/fl");
    for (Case& c : cases) {
        if (c.failed) continue;
        auto& f = c.figures;
        if (c.kind == "layout" || c.kind == "wrap") {
            std::printf("%-12s layout and paint %.1f ms, one key and repaint %.1f ms, peak %.1f MiB\n", c.name.c_str(),
                        Median(f["layout"]), Median(f["key"]), Median(f["peak"]));
            continue;
        }
        // Times the floor, to the first paint: wall time and CPU time.
        double paintRatio = 0, cpuRatio = 0;
        if (floor != nullptr) {
            auto& base = floor->figures;
            paintRatio = Median(f["paint"]) / Median(base["paint"]);
            cpuRatio = Median(f["cpu"]) / Median(base["cpu"]);
        }
        std::printf("%-12s %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f %10.2f %10.2f\n", c.name.c_str(),
                    Median(f["paint"]), Median(f["cpu"]), Median(f["loaded"]), Median(f["open"]), Median(f["peak"]),
                    Median(f["rss"]), paintRatio, cpuRatio);
    }
    std::fflush(stdout);
    std::filesystem::remove_all(dir);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--child") return RunChild(1, argv, argv[2], argv[3]);
    int runs = 5;
    std::vector<std::string> cases;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else cases.push_back(arg);
    }
    if (cases.empty()) cases = {"floor", "empty", "text:20", "text:100", "open:20"};
    return RunParent(std::filesystem::canonical("/proc/self/exe").string(), runs, cases);
}
