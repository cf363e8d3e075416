// mus: the command line and phrase files.
#include "arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cipher/armoured_block.h"
#include "cipher/document_lines.h"
#include "cipher/method02.h"
#include "cipher/phrase.h"
#include "cipher/utf8.h"

namespace mus::cli {

namespace {

constexpr std::string_view kHelp = "Usage: mus encrypt [--method 00|01|02] [--phrase-file FILE] [--force] [FILE]\n"
                                   "       mus decrypt [--phrase-file FILE] [--keep-context] [FILE]\n"
                                   "       mus detect [FILE]\n"
                                   "       mus --help | --version\n"
                                   "\n"
                                   "encrypt  reads the text from FILE or standard input and writes its armoured\n"
                                   "         block to standard output, in Method 01 unless --method says otherwise.\n"
                                   "         Method 02 is strong encryption: it needs a phrase, and version 1.30\n"
                                   "         or later to decrypt. Methods 00 and 01 only keep text from casual eyes.\n"
                                   "         A text that already holds a block is encrypted again only with --force.\n"
                                   "decrypt  reads a document that holds a block and writes the decrypted text.\n"
                                   "         A block quoted, wrapped or joined by mail or chat is read again with\n"
                                   "         that undone, and the repair told on standard error. With\n"
                                   "         --keep-context the text takes the place of the block's lines and the\n"
                                   "         rest of the document is written around it as it was read.\n"
                                   "detect   exits 0 when the text holds a block, 1 when it does not.\n"
                                   "\n"
                                   "The phrase comes from --phrase-file (one attempt per line; encrypt uses the\n"
                                   "first), else it is asked for on the terminal; without either there is none.\n"
                                   "A phrase is converted to upper case and holds at most 16 bytes of UTF-8, or\n"
                                   "64 bytes for Method 02; a phrase file holds at most 1 MiB, a document at\n"
                                   "most 256 MiB.\n"
                                   "\n"
                                   "Exit status: 0 done; 1 decrypted with a warning; 2 refused or given up;\n"
                                   "64 usage error; 66 input cannot be read; 74 output cannot be written.\n";

// --help anywhere before "--", or --version as the command, is answered here
// and ends the run with status 0.
void AnswerHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            WriteOutput(kHelp);
            FlushOutput();
            throw Exit{kDone};
        }
    }
    if (std::string_view(argv[1]) == "--version") {
        WriteOutput("mus " MUS_VERSION "\n");
        FlushOutput();
        throw Exit{kDone};
    }
}

// Reads the option argv[i], "--name" or "--name=value", into `options`; an
// option that needs a value and has none takes the next argument (and `i`
// moves on to it).
void ReadOption(int argc, char** argv, int& i, Options& options)
{
    std::string name = argv[i];
    std::optional<std::string> value;
    const auto equals = name.find('=');
    if (equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.resize(equals);
    }
    const bool takesValue = (name == "--method" && options.command == "encrypt") ||
                            (name == "--phrase-file" && options.command != "detect");
    const bool flag = (name == "--force" && options.command == "encrypt") ||
                      (name == "--keep-context" && options.command == "decrypt");
    if (!takesValue && !flag) UsageError("unknown option '" + name + "' for " + options.command);
    if (flag) {
        if (value) UsageError("option '" + name + "' takes no value");
        (name == "--force" ? options.force : options.keepContext) = true;
        return;
    }
    if (!value) {
        if (i + 1 >= argc) UsageError("option '" + name + "' needs a value");
        value = argv[++i];
    }
    if (name == "--method") {
        options.method = FindMethodField(*value);
        if (options.method == nullptr) UsageError("the method is 00, 01 or 02, not '" + *value + "'");
    } else {
        options.phraseFile = *value;
    }
}

} // namespace

void Message(std::string_view text)
{
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void UsageError(const std::string& problem)
{
    Message("mus: " + problem);
    Message("Try 'mus --help'.");
    throw Exit{kUsage};
}

void WriteOutput(std::string_view bytes)
{
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
        Message(std::string("mus: cannot write to standard output: ") + std::strerror(errno));
        throw Exit{kOutputError};
    }
}

void FlushOutput()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Message(std::string("mus: cannot write to standard output: ") + std::strerror(errno));
        throw Exit{kOutputError};
    }
}

std::string CheckedPhrase(std::string_view entered, std::int32_t limit)
{
    if (entered.find('\0') != std::string_view::npos) UsageError("a phrase cannot hold a zero byte");
    if (!IsWellFormedUtf8(entered)) UsageError("a phrase must be UTF-8 text");
    std::string phrase = FoldPhrase(entered);
    if (phrase.size() > static_cast<std::size_t>(limit)) {
        Wipe(phrase);
        UsageError("a phrase holds at most " + std::to_string(limit) + " bytes (after conversion to upper case)");
    }
    return phrase;
}

std::vector<std::string> PhraseFileLines(std::string_view content, std::int32_t most, std::int32_t limit)
{
    if (content.size() > kMaxPhraseFileBytes) UsageError("the phrase file is larger than 1 MiB");
    std::vector<std::string> phrases;
    const TextLines lines(content);
    for (std::int32_t i = 0; i < std::min(lines.LineCount(), most); ++i)
        phrases.push_back(CheckedPhrase(lines.Line(i), limit));
    return phrases;
}

Options ParseArguments(int argc, char** argv)
{
    if (argc < 2) UsageError("no command given");
    AnswerHelpOrVersion(argc, argv);
    Options options;
    options.command = argv[1];
    if (options.command != "encrypt" && options.command != "decrypt" && options.command != "detect")
        UsageError("unknown command '" + options.command + "'");

    bool onlyFiles = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && arg.size() > 2 && arg.starts_with("--")) {
            ReadOption(argc, argv, i, options);
        } else if (!onlyFiles && arg.size() > 1 && arg[0] == '-') {
            UsageError("unknown option '" + arg + "'");
        } else if (options.file) {
            UsageError("only one FILE may be given");
        } else {
            options.file = arg;
        }
    }
    return options;
}

} // namespace mus::cli
