// Searching a 20 MiB document (327,680 lines of 62 characters) for a text it
// does not hold, the slowest search there is:
//   (a) Find Next through the window, as F3 runs it: the editor's text read
//       once, then searched, with and without letter case and whole words;
//   (b) the parts of (a): reading the text, and the search alone;
//   (c) for comparison, the text document's own find().
// Run headless and silent:
//   QT_QPA_PLATFORM=offscreen CANBERRA_DRIVER=none build/.../search_benchmark
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "editor/document/byte_document.h"
#include "editor/window/main_window.h"
#include "editor/window/text_search.h"
#include "tests/support/window_parts.h"

namespace {

using mus::test::Editor;
using mus::test::MenuItem;
using mus::test::Part;

constexpr int kLines = 327680;
constexpr int kLineChars = 62; // plus CR LF: 64 bytes a line, 20 MiB in all
// Lower-case words and blanks: the text holds no '!'.
const QString kMissing = QStringLiteral("murmur!");

std::unique_ptr<frm_CText> g_window; // made by main(), before any benchmark

std::unique_ptr<frm_CText> MakeWindow()
{
    auto w = std::make_unique<frm_CText>();
    std::string text;
    text.reserve(static_cast<std::size_t>(kLines) * (kLineChars + 2));
    std::mt19937 random(1);
    for (int i = 0; i < kLines; ++i) {
        if (i > 0) text += "\r\n";
        for (int k = 0; k < kLineChars; ++k) text += random() % 6 == 0 ? ' ' : static_cast<char>('a' + random() % 26);
    }
    w->Document().SetText(text);
    w->show();
    QApplication::processEvents();
    return w;
}

// Arguments: match case, whole words.
void BM_FindNextMissing(benchmark::State& state)
{
    frm_CText& w = *g_window;
    Part<QLineEdit>(w, "txt_Find")->setText(kMissing);
    Part<QCheckBox>(w, "chk_MatchCase")->setChecked(state.range(0) != 0);
    Part<QCheckBox>(w, "chk_WholeWords")->setChecked(state.range(1) != 0);
    QTextCursor start = Editor(w)->textCursor();
    start.setPosition(0);
    Editor(w)->setTextCursor(start);
    for (auto _ : state) MenuItem(w, "FindNext1")->trigger();
    state.counters["MiB"] = static_cast<double>(w.Document().TextLength()) / (1 << 20);
}
BENCHMARK(BM_FindNextMissing)
    ->ArgNames({"case", "words"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

void BM_ReadText(benchmark::State& state)
{
    QTextDocument* doc = Editor(*g_window)->document();
    for (auto _ : state) benchmark::DoNotOptimize(doc->toRawText());
}
BENCHMARK(BM_ReadText)->Unit(benchmark::kMillisecond);

// Arguments: match case, backward.
void BM_SearchOnly(benchmark::State& state)
{
    const QString text = Editor(*g_window)->document()->toRawText();
    const mus::SearchOptions options{state.range(0) != 0, false};
    const bool backward = state.range(1) != 0;
    for (auto _ : state) {
        bool wrapped = false;
        benchmark::DoNotOptimize(mus::FindTextWrapping(
            text, kMissing, backward ? text.size() : 0,
            backward ? mus::SearchDirection::Backward : mus::SearchDirection::Forward, options, wrapped));
    }
}
BENCHMARK(BM_SearchOnly)
    ->ArgNames({"case", "back"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);

// Argument: match case.
void BM_TextDocumentFind(benchmark::State& state)
{
    QTextDocument* doc = Editor(*g_window)->document();
    const QTextDocument::FindFlags flags(state.range(0) != 0 ? QTextDocument::FindCaseSensitively : 0);
    for (auto _ : state) benchmark::DoNotOptimize(doc->find(kMissing, 0, flags));
}
BENCHMARK(BM_TextDocumentFind)->ArgNames({"case"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
