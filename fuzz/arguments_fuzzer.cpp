// Feeds arbitrary command lines and phrase files to what `mus` makes of them.
// The input split at its zero bytes gives the arguments; its last part is
// also read as the content of a phrase file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "cipher/phrase.h"

namespace {

void Check(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // --help and --version write to standard output, which must take it.
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace mus::cli;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts{"mus"};
    for (std::size_t start = 0;;) {
        const std::size_t zero = input.find('\0', start);
        parts.emplace_back(input.substr(start, zero == std::string_view::npos ? zero : zero - start));
        if (zero == std::string_view::npos) break;
        start = zero + 1;
    }
    std::vector<char*> argv;
    for (std::string& part : parts) argv.push_back(part.data());
    argv.push_back(nullptr);

    try {
        const Options options = ParseArguments(static_cast<int>(parts.size()), argv.data());
        Check(options.command == "encrypt" || options.command == "decrypt" || options.command == "detect");
        Check(options.method != nullptr);
        Check(!options.force || options.command == "encrypt");
        Check(!options.phraseFile || options.command != "detect");
    } catch (const Exit& exit) {
        Check(exit.status == kDone || exit.status == kUsage);
    }

    try {
        for (const std::string& phrase : PhraseFileLines(parts.back(), INT32_MAX, kAnyBlockPhrase)) {
            Check(phrase.find('\0') == std::string::npos);
            Check(mus::FoldPhrase(phrase).size() <= std::size_t(mus::kLongestPhrase) ||
                  mus::FoldPhraseFully(phrase).size() <= std::size_t(mus::kLongestPhrase));
        }
    } catch (const Exit& exit) {
        Check(exit.status == kUsage);
    }
    return 0;
}
