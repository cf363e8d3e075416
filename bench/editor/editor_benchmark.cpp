// The status routine on a big document: 10 MB in 200,000 lines.
//   (a) UpdateStatus with no change since the last call, as on a mouse move,
//       without a selection and with a 1 MB selection (and, for comparison,
//       with a 1 MB selection whose end moves at every call, as in a drag);
//   (b) one character typed, then UpdateStatus, timed together, in one of the
//       document's lines and in a line of 10,000 characters.
// Run headless: QT_QPA_PLATFORM=offscreen build/.../editor_benchmark
#include <QApplication>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "editor/document/byte_document.h"
#include "editor/window/main_window.h"
#include "tests/support/window_parts.h"

namespace {

using mus::test::Editor;

constexpr int kLines = 200000;
constexpr int kLineBytes = 48; // plus CR LF: 50 bytes a line, 10,000,000 in all
constexpr int kSelectionBytes = 1 << 20;

std::unique_ptr<frm_CText> g_window; // made by main(), before any benchmark

std::unique_ptr<frm_CText> MakeWindow()
{
    auto w = std::make_unique<frm_CText>();
    std::string text;
    text.reserve(static_cast<std::size_t>(kLines) * (kLineBytes + 2));
    std::mt19937 random(1);
    for (int i = 0; i < kLines; ++i) {
        if (i > 0) text += "\r\n";
        for (int k = 0; k < kLineBytes; ++k) text += static_cast<char>('a' + random() % 26);
    }
    w->Document().SetText(text);
    w->show();
    QApplication::processEvents();
    return w;
}

frm_CText& Window()
{
    return *g_window;
}

void Select(frm_CText& w, int start, int end)
{
    QTextCursor cursor = Editor(w)->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    Editor(w)->setTextCursor(cursor);
}

// Argument: the selection's size, 0 or 1 MiB.
void BM_UpdateStatus_NoChange(benchmark::State& state)
{
    frm_CText& w = Window();
    // A line of 48 characters is 50 bytes with its break, so 49 characters
    // of every 50 bytes are selected.
    const int start = 5000000 / 50 * 49;
    Select(w, start, start + static_cast<int>(state.range(0)) * 49 / 50);
    w.UpdateStatus();
    for (auto _ : state) w.UpdateStatus();
    state.counters["selected"] = static_cast<double>(w.Document().SelectionLength());
    state.counters["bytes"] = static_cast<double>(w.Document().TextLength());
}
BENCHMARK(BM_UpdateStatus_NoChange)->Arg(0)->Arg(kSelectionBytes)->Unit(benchmark::kMicrosecond);

void BM_UpdateStatus_1MBSelectionMoving(benchmark::State& state)
{
    frm_CText& w = Window();
    const int start = 5000000 / 50 * 49;
    const int end = start + kSelectionBytes * 49 / 50;
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Select(w, start, end + (++step & 1));
        state.ResumeTiming();
        w.UpdateStatus();
    }
    state.counters["selected"] = static_cast<double>(w.Document().SelectionLength());
}
BENCHMARK(BM_UpdateStatus_1MBSelectionMoving)->Unit(benchmark::kMicrosecond);

// Argument: the length of the line typed into, one of the document's own
// lines or a long line. The line is restored after every key, so each
// iteration types into the same line with the same history behind it.
void BM_InsertCharThenUpdateStatus(benchmark::State& state)
{
    frm_CText& w = Window();
    QPlainTextEdit* editor = Editor(w);
    QTextDocument* doc = editor->document();
    QTextCursor line(doc->findBlockByNumber(kLines / 2));
    const int added = static_cast<int>(state.range(0)) - kLineBytes;
    if (added > 0) line.insertText(QString(added, QLatin1Char('y')));
    const int at = line.block().position() + static_cast<int>(state.range(0)) / 2;
    const auto restore = [&] {
        Select(w, at, at);
        doc->clearUndoRedoStacks();
    };
    restore();
    for (auto _ : state) {
        editor->insertPlainText(QStringLiteral("x")); // the change event runs UpdateStatus
        w.UpdateStatus();
        state.PauseTiming();
        QTextCursor typed = editor->textCursor();
        typed.deletePreviousChar();
        restore();
        state.ResumeTiming();
    }
    if (added > 0) {
        line.setPosition(line.block().position());
        line.setPosition(line.block().position() + added, QTextCursor::KeepAnchor);
        line.removeSelectedText();
    }
    state.counters["line"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_InsertCharThenUpdateStatus)->Arg(kLineBytes)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // leave the user's settings alone
    benchmark::Initialize(&argc, argv);
    g_window = MakeWindow();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_window.reset();
    return 0;
}
