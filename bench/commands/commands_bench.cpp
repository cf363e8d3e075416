// Encrypt and Decrypt of the largest text (22528 bytes, a 16-character
// phrase) end to end through the command flows, with the scripted user and
// document standing in for the window: the real transfer file, writer,
// read-back check and reader.

#include <benchmark/benchmark.h>

#include <string>

#include "cipher/commands/decrypt_command.h"
#include "cipher/commands/encrypt_command.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

const std::string kPhrase = "ABCDEFGHIJKLMNOP";

void BM_EncryptLargest(benchmark::State& state)
{
    ScratchDirectory directory;
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log);
    const std::string text = LargestText();
    for (auto _ : state) {
        state.PauseTiming();
        document.Type(text);
        user.Script({Phrase(kPhrase), Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        bool askForMethod = false;
        EncryptCommand(user, document, askForMethod);
        benchmark::DoNotOptimize(document.Bytes().data());
    }
    if (document.Bytes() != BlockDocument(text, kPhrase)) state.SkipWithError("Encrypt gave another document");
}
BENCHMARK(BM_EncryptLargest)->Unit(benchmark::kMillisecond);

void BM_DecryptLargest(benchmark::State& state)
{
    Log log;
    ScriptedUser user(log);
    ScriptedDocument document(log);
    const std::string text = LargestText();
    const std::string block = BlockDocument(text, kPhrase);
    for (auto _ : state) {
        state.PauseTiming();
        document.Type(block);
        user.Script({Phrase(kPhrase)});
        log.clear();
        state.ResumeTiming();
        DecryptCommand(user, document);
        benchmark::DoNotOptimize(document.Bytes().data());
    }
    if (document.Bytes() != text) state.SkipWithError("Decrypt gave another text");
}
BENCHMARK(BM_DecryptLargest)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace mus::fake

BENCHMARK_MAIN();
