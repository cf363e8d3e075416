#pragma once
// What `mus` is given: its command line and its phrase files, checked, with
// the usage errors and exit statuses they lead to. Kept apart from the
// commands so that the parsing can be exercised on its own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/methods.h"

namespace mus::cli {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kWarning = 1; // decrypted, with a warning
inline constexpr int kRefused = 2; // refused or given up: nothing written
inline constexpr int kUsage = 64;
inline constexpr int kNoInput = 66;     // an input file that cannot be read
inline constexpr int kOutputError = 74; // standard output cannot be written

// A phrase file holds far more attempts than anyone types.
inline constexpr std::size_t kMaxPhraseFileBytes = std::size_t{1} << 20;

// Ends the run with a status; the message, if any, has been written already.
struct Exit {
    int status;
};

// One line on standard error.
void Message(std::string_view text);
// "mus: " and the problem, the hint at --help, and exit status 64.
[[noreturn]] void UsageError(const std::string& problem);

// Standard output; a failed write ends the run with status 74.
void WriteOutput(std::string_view bytes);
void FlushOutput();

struct Options {
    std::string command;
    const MethodInfo* method = FindMethod(kMethod01);
    std::optional<std::string> phraseFile;
    bool force = false;
    bool keepContext = false; // decrypt: the document around the block stays
    std::optional<std::string> file;
};

// The command line, argv[0] being the program. --help and --version are
// answered here (Exit with status 0); a wrong command line is a usage error.
Options ParseArguments(int argc, char** argv);

// A phrase the phrase entry could have given (UTF-8 text without a zero
// byte), converted to upper case; a usage error when it is not, or when it
// holds more than `limit` bytes.
std::string CheckedPhrase(std::string_view entered, std::int32_t limit);

// The first `most` lines of a phrase file's content as phrases, none longer
// than `limit` bytes; a content of more than kMaxPhraseFileBytes is a usage
// error.
std::vector<std::string> PhraseFileLines(std::string_view content, std::int32_t most, std::int32_t limit);

} // namespace mus::cli
