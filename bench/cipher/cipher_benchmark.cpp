// Writing and reading the largest block (22528 bytes of text, a 16-byte
// phrase) in Methods 00 and 01, beside the usual scalar base64 encode and
// decode of the same bytes as a yardstick; Method 02's key derivation at the
// default costs, and its writing and reading of the largest text with the key
// already derived. Figures are bytes of text per second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/method02.h"

namespace {

constexpr std::string_view kPhrase = "SIXTEEN BYTES OK";

const std::string& LargestText()
{
    static const std::string text = [] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> printable(32, 126);
        std::string t;
        while (t.size() < static_cast<std::size_t>(mus::kMaxTextLength)) {
            if (t.size() % 70 == 68) t += "\r\n";
            else t += static_cast<char>(printable(random));
        }
        t.resize(static_cast<std::size_t>(mus::kMaxTextLength));
        return t;
    }();
    return text;
}

std::string BlockOf(std::int32_t method)
{
    std::string block;
    mus::WriteArmouredBlock(LargestText(), kPhrase, method, [&block](std::string_view line) {
        block += line;
        block += "\r\n";
    });
    return block;
}

class KnownPhrase final : public mus::PhrasePrompt {
public:
    std::optional<std::string> Ask(std::string_view, mus::PromptTopic, const mus::PhraseRule&) override
    {
        return std::string(kPhrase);
    }
    bool RetryAfter(std::string_view) override { return false; }
};

void BM_WriteBlock(benchmark::State& state)
{
    const auto method = static_cast<std::int32_t>(state.range(0));
    const std::string& text = LargestText();
    // The sink appends each line and its CR LF, as the transfer file receives them.
    std::string out;
    out.reserve(40000);
    for (auto _ : state) {
        out.clear();
        mus::WriteArmouredBlock(text, kPhrase, method, [&out](std::string_view line) {
            out += line;
            out += "\r\n";
        });
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mus::kMaxTextLength);
}

void BM_ReadBlock(benchmark::State& state)
{
    const std::string block = BlockOf(static_cast<std::int32_t>(state.range(0)));
    KnownPhrase prompt;
    for (auto _ : state) {
        const mus::TextLines lines(block);
        const mus::ReadOutcome outcome = mus::ReadArmouredBlock(lines, prompt);
        if (outcome.refusal || outcome.decoded.text.size() != LargestText().size())
            state.SkipWithError("the block did not read back");
        benchmark::DoNotOptimize(outcome.decoded.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mus::kMaxTextLength);
}

// One key derivation at the default costs (3 passes over 64 MiB); the mean
// of three, three times over.
void BM_DeriveKey(benchmark::State& state)
{
    const mus::Salt salt{};
    for (auto _ : state) {
        const mus::SealingKey key(kPhrase, salt, mus::kDefaultCosts);
        benchmark::DoNotOptimize(key.Check().data());
    }
}

// The largest text sealed and written as a block, beyond the derivation.
void BM_WriteMethod02(benchmark::State& state)
{
    const mus::SealingKey key(kPhrase, mus::kDefaultCosts);
    std::string out;
    out.reserve(40000);
    for (auto _ : state) {
        out.clear();
        mus::WriteMethod02Block(LargestText(), key, [&out](std::string_view line) {
            out += line;
            out += "\r\n";
        });
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mus::kMaxTextLength);
}

// The largest block read, bounded, checked and opened, beyond the derivation.
void BM_ReadMethod02(benchmark::State& state)
{
    const mus::SealingKey key(kPhrase, mus::kDefaultCosts);
    std::string block;
    mus::WriteMethod02Block(LargestText(), key, [&block](std::string_view line) {
        block += line;
        block += "\r\n";
    });
    for (auto _ : state) {
        const mus::TextLines lines(block);
        const mus::SealedRead read = mus::ReadSealedBlock(lines, mus::ReadHeader(lines).header);
        const std::optional<std::string> text = read.refusal || !key.Matches(read.block.check)
                                                    ? std::nullopt
                                                    : mus::OpenSealedBlock(read.block, key);
        if (!text || text->size() != LargestText().size()) {
            state.SkipWithError("the block did not read back");
            break;
        }
        benchmark::DoNotOptimize(text->data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mus::kMaxTextLength);
}

// The yardstick: a plain scalar base64, three bytes to four characters.
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void Base64Encode(std::string_view in, std::string& out)
{
    out.resize((in.size() + 2) / 3 * 4);
    char* o = out.data();
    std::size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        const std::uint32_t v = static_cast<std::uint8_t>(in[i]) << 16 | static_cast<std::uint8_t>(in[i + 1]) << 8 |
                                static_cast<std::uint8_t>(in[i + 2]);
        *o++ = kBase64[v >> 18];
        *o++ = kBase64[(v >> 12) & 63];
        *o++ = kBase64[(v >> 6) & 63];
        *o++ = kBase64[v & 63];
    }
    if (i < in.size()) {
        std::uint32_t v = static_cast<std::uint8_t>(in[i]) << 16;
        if (i + 1 < in.size()) v |= static_cast<std::uint8_t>(in[i + 1]) << 8;
        *o++ = kBase64[v >> 18];
        *o++ = kBase64[(v >> 12) & 63];
        *o++ = i + 1 < in.size() ? kBase64[(v >> 6) & 63] : '=';
        *o++ = '=';
    }
}

struct Base64Values {
    std::int8_t value[256];
};

constexpr Base64Values MakeBase64Values()
{
    Base64Values table{};
    for (auto& v : table.value) v = -1;
    for (int i = 0; i < 64; ++i) table.value[static_cast<std::uint8_t>(kBase64[i])] = static_cast<std::int8_t>(i);
    return table;
}

constexpr Base64Values kBase64Values = MakeBase64Values();

bool Base64Decode(std::string_view in, std::string& out)
{
    out.clear();
    out.reserve(in.size() / 4 * 3);
    for (std::size_t i = 0; i + 4 <= in.size(); i += 4) {
        const int a = kBase64Values.value[static_cast<std::uint8_t>(in[i])];
        const int b = kBase64Values.value[static_cast<std::uint8_t>(in[i + 1])];
        if (a < 0 || b < 0) return false;
        std::uint32_t v = static_cast<std::uint32_t>(a) << 18 | static_cast<std::uint32_t>(b) << 12;
        out += static_cast<char>(v >> 16);
        if (in[i + 2] == '=') break;
        const int c = kBase64Values.value[static_cast<std::uint8_t>(in[i + 2])];
        if (c < 0) return false;
        v |= static_cast<std::uint32_t>(c) << 6;
        out += static_cast<char>(v >> 8);
        if (in[i + 3] == '=') break;
        const int d = kBase64Values.value[static_cast<std::uint8_t>(in[i + 3])];
        if (d < 0) return false;
        out += static_cast<char>(v | static_cast<std::uint32_t>(d));
    }
    return true;
}

void BM_Base64Encode(benchmark::State& state)
{
    std::string out;
    for (auto _ : state) {
        Base64Encode(LargestText(), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mus::kMaxTextLength);
}

void BM_Base64Decode(benchmark::State& state)
{
    std::string encoded;
    Base64Encode(LargestText(), encoded);
    std::string out;
    for (auto _ : state) {
        if (!Base64Decode(encoded, out) || out.size() != LargestText().size())
            state.SkipWithError("base64 did not decode");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * mus::kMaxTextLength);
}

} // namespace

BENCHMARK(BM_WriteBlock)->ArgName("method")->Arg(0)->Arg(1);
BENCHMARK(BM_ReadBlock)->ArgName("method")->Arg(0)->Arg(1);
BENCHMARK(BM_DeriveKey)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->DisplayAggregatesOnly(true);
BENCHMARK(BM_WriteMethod02)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadMethod02)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Base64Encode);
BENCHMARK(BM_Base64Decode);

BENCHMARK_MAIN();
