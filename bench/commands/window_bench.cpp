// Encrypt and Decrypt of the largest text (22528 bytes, a 16-character
// phrase) through the main window: from the menu item's trigger to the status
// update that the editor's change notification runs, with the scripted user
// answering in place of the dialogs (no dialog is drawn).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QStandardPaths>

#include <string>

#include "editor/document/byte_document.h"
#include "editor/window/main_window.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"
#include "tests/support/window_parts.h"

namespace mus::fake {
namespace {

using test::MenuItem;
using test::TextType;

const std::string kPhrase = "ABCDEFGHIJKLMNOP";

void BM_WindowEncryptLargest(benchmark::State& state)
{
    ScratchDirectory directory;
    frm_CText window;
    window.show();
    Log log;
    ScriptedUser user(log);
    window.SetUser(&user);
    const std::string text = LargestText();
    QAction* encrypt = MenuItem(window, "Encrypt1");
    for (auto _ : state) {
        state.PauseTiming();
        window.Document().SetText(text);
        user.Script({Phrase(kPhrase), Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        encrypt->trigger();
    }
    if (window.Document().Text() != BlockDocument(text, kPhrase) ||
        TextType(window) != QStringLiteral(" Encrypted Text")) {
        state.SkipWithError("Encrypt gave another document or status");
    }
    window.SetUser(nullptr);
}
BENCHMARK(BM_WindowEncryptLargest)->Unit(benchmark::kMillisecond);

void BM_WindowDecryptLargest(benchmark::State& state)
{
    frm_CText window;
    window.show();
    Log log;
    ScriptedUser user(log);
    window.SetUser(&user);
    const std::string text = LargestText();
    const std::string block = BlockDocument(text, kPhrase);
    QAction* decrypt = MenuItem(window, "Decrypt1");
    for (auto _ : state) {
        state.PauseTiming();
        window.Document().SetText(block);
        user.Script({Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        decrypt->trigger();
    }
    if (window.Document().Text() != text || TextType(window) != QStringLiteral(" Normal Text")) {
        state.SkipWithError("Decrypt gave another text or status");
    }
    window.SetUser(nullptr);
}
BENCHMARK(BM_WindowDecryptLargest)->Unit(benchmark::kMillisecond);

// A 1 MiB note through Method 02, Encrypt then Decrypt, with the key
// derivation at its least costs so that the figure is the rest of the work:
// sealing, writing and reading the block, and the editor taking each text.
void BM_WindowMethod02Mebibyte(benchmark::State& state)
{
    ScratchDirectory directory;
    frm_CText window;
    window.Method02Costs = kMinimumCosts;
    window.show();
    Log log;
    ScriptedUser user(log);
    window.SetUser(&user);
    std::string text;
    while (text.size() < (std::size_t{1} << 20)) text += "A line of a long note, with words in it.\r\n";
    text.resize(std::size_t{1} << 20);
    QAction* encrypt = MenuItem(window, "EncryptUsingMethod1");
    QAction* decrypt = MenuItem(window, "Decrypt1");
    for (auto _ : state) {
        state.PauseTiming();
        window.Document().SetText(text);
        user.Script({Method(kMethod02), Phrase(kPhrase), Phrase(kPhrase), Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        encrypt->trigger();
        decrypt->trigger();
    }
    if (window.Document().Text() != text) state.SkipWithError("the note did not come back");
    window.SetUser(nullptr);
}
BENCHMARK(BM_WindowMethod02Mebibyte)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace mus::fake

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window reads and writes its settings file: keep the user's alone.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
