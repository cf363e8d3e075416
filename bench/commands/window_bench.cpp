// Encrypt and Decrypt of the largest text (22528 bytes, a 16-character
// phrase) through the main window: from the handler's start to the status
// update that the editor's change notification runs, with the scripted user
// answering in place of the dialogs (no dialog is drawn).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLabel>
#include <QStandardPaths>

#include <string>

#include "editor/document/byte_document.h"
#include "editor/window/main_window.h"
#include "tests/cipher/commands/command_test_support.h"
#include "tests/cipher/commands/scripted_ui.h"

namespace mus::fake {
namespace {

const std::string kPhrase = "ABCDEFGHIJKLMNOP";

void BM_WindowEncryptLargest(benchmark::State& state)
{
    ScratchDirectory directory;
    frm_CText window;
    window.show();
    Log log;
    ScriptedUser user(log);
    window.CipherUser = &user;
    const std::string text = LargestText();
    for (auto _ : state) {
        state.PauseTiming();
        window.Document().SetText(text);
        user.Script({Phrase(kPhrase), Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        window.btn_EncryptClick();
    }
    if (window.Document().Text() != BlockDocument(text, kPhrase) ||
        window.pan_TextType->text() != QStringLiteral(" Encrypted Text")) {
        state.SkipWithError("Encrypt gave another document or status");
    }
    window.CipherUser = nullptr;
}
BENCHMARK(BM_WindowEncryptLargest)->Unit(benchmark::kMillisecond);

void BM_WindowDecryptLargest(benchmark::State& state)
{
    frm_CText window;
    window.show();
    Log log;
    ScriptedUser user(log);
    window.CipherUser = &user;
    const std::string text = LargestText();
    const std::string block = BlockDocument(text, kPhrase);
    for (auto _ : state) {
        state.PauseTiming();
        window.Document().SetText(block);
        user.Script({Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        window.btn_DecryptClick();
    }
    if (window.Document().Text() != text || window.pan_TextType->text() != QStringLiteral(" Normal Text")) {
        state.SkipWithError("Decrypt gave another text or status");
    }
    window.CipherUser = nullptr;
}
BENCHMARK(BM_WindowDecryptLargest)->Unit(benchmark::kMillisecond);

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
