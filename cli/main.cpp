// mus: encrypts a text into an armoured block, decrypts a block back into its
// text, and tells whether a text holds a block, for scripts and terminals.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "cipher/group_codec.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"
#include "terminal.h"

namespace mus::cli {
namespace {

// Exit statuses.
constexpr int kDone = 0;
constexpr int kWarning = 1;      // decrypted, with a warning
constexpr int kRefused = 2;      // refused or given up: nothing written
constexpr int kUsage = 64;
constexpr int kNoInput = 66;     // an input file that cannot be read
constexpr int kOutputError = 74; // standard output cannot be written

// A document may be as large as the editor holds; a phrase file holds far
// more attempts than anyone types.
constexpr std::size_t kMaxDocumentBytes = std::size_t{256} << 20;
constexpr std::size_t kMaxPhraseFileBytes = std::size_t{1} << 20;

constexpr std::string_view kHelp =
    "Usage: mus encrypt [--method 00|01|02] [--phrase-file FILE] [--force] [FILE]\n"
    "       mus decrypt [--phrase-file FILE] [FILE]\n"
    "       mus detect [FILE]\n"
    "       mus --help | --version\n"
    "\n"
    "encrypt  reads the text from FILE or standard input and writes its armoured\n"
    "         block to standard output, in Method 01 unless --method says otherwise.\n"
    "         Method 02 is strong encryption: it needs a phrase, and version 1.30\n"
    "         or later to decrypt. Methods 00 and 01 only keep text from casual eyes.\n"
    "         A text that already holds a block is encrypted again only with --force.\n"
    "decrypt  reads a document that holds a block and writes the decrypted text.\n"
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

// Ends the run with a status; the message, if any, has been written already.
struct Exit {
    int status;
};

void Message(std::string_view text)
{
    std::string line(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

[[noreturn]] void UsageError(const std::string& problem)
{
    Message("mus: " + problem);
    Message("Try 'mus --help'.");
    throw Exit{kUsage};
}

[[noreturn]] void Refuse(std::string_view message)
{
    if (!message.empty()) Message(message);
    throw Exit{kRefused};
}

// An input named on the command line, "-" or none standing for standard
// input. Pipes and devices are read as files are; the callers bound how much.
class Input {
public:
    explicit Input(const std::optional<std::string>& path)
        : name_(!path || *path == "-" ? "standard input" : *path)
    {
        if (!path || *path == "-") return;
        fd_ = open(path->c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) Fail(errno);
        owned_ = true;
    }
    ~Input()
    {
        if (owned_) close(fd_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Up to `size` bytes into `buffer`; 0 only at the end of the input.
    std::size_t Read(char* buffer, std::size_t size)
    {
        for (;;) {
            const ssize_t n = read(fd_, buffer, size);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) Fail(errno);
        }
    }

    // Reads until `buffer` is full or the input ends; the bytes read.
    std::size_t ReadFull(char* buffer, std::size_t size)
    {
        std::size_t done = 0;
        while (done < size) {
            const std::size_t n = Read(buffer + done, size - done);
            if (n == 0) break;
            done += n;
        }
        return done;
    }

    // The size of a regular file; nothing for a pipe or a device.
    std::optional<std::size_t> FileSize() const
    {
        struct stat info {};
        if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
        return static_cast<std::size_t>(info.st_size);
    }

private:
    [[noreturn]] void Fail(int error) const
    {
        Message("mus: cannot read " + name_ + ": " + std::strerror(error));
        throw Exit{kNoInput};
    }

    std::string name_;
    int fd_ = 0;
    bool owned_ = false;
};

// The input's first `most` bytes, or all of it when it is shorter; the rest
// is never read, so an endless input ends nothing.
std::string ReadAtMost(const std::optional<std::string>& path, std::size_t most)
{
    Input input(path);
    std::string content(most, '\0');
    content.resize(input.ReadFull(content.data(), most));
    return content;
}

[[noreturn]] void RefuseLargeDocument()
{
    Refuse("mus: the document is larger than 256 MiB");
}

// Room for the largest document that takes memory only as it fills: the
// document is read once, into its place, whatever its source, and never
// copied on the way.
class DocumentBuffer {
public:
    DocumentBuffer()
    {
        void* room = mmap(nullptr, kRoom, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (room == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<char*>(room);
    }
    ~DocumentBuffer() { munmap(data_, kRoom); }
    DocumentBuffer(const DocumentBuffer&) = delete;
    DocumentBuffer& operator=(const DocumentBuffer&) = delete;

    // The whole document; one of more than 256 MiB is refused (a file's size
    // tells it before anything is read).
    std::string_view Read(const std::optional<std::string>& path)
    {
        Input input(path);
        if (input.FileSize().value_or(0) > kMaxDocumentBytes) RefuseLargeDocument();
        const std::size_t size = input.ReadFull(data_, kRoom);
        if (size > kMaxDocumentBytes) RefuseLargeDocument();
        return {data_, size};
    }

private:
    static constexpr std::size_t kRoom = kMaxDocumentBytes + 1;
    char* data_ = nullptr;
};

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

// True for UTF-8 as the phrase entry gives it: no stray or missing
// continuation bytes, no overlong forms, surrogates or code points past U+10FFFF.
bool IsWellFormedUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 1;
        unsigned char low = 0x80;   // the allowed range of the second byte
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else if (lead >= 0x80) {
            return false;
        }
        if (bytes.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
        }
        i += length;
    }
    return true;
}

// A phrase the phrase entry could have given, converted to upper case; a
// usage error when it holds more than `limit` bytes.
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

// The first `most` lines of a phrase file, each without its line break and
// converted to upper case, none longer than `limit` bytes.
std::vector<std::string> ReadPhraseFile(const std::string& path, std::int32_t most, std::int32_t limit)
{
    if (path == "-") UsageError("the phrase file cannot be standard input");
    std::string content = ReadAtMost(path, kMaxPhraseFileBytes + 1);
    const ScopedWipe wipe(content);
    if (content.size() > kMaxPhraseFileBytes) UsageError("the phrase file is larger than 1 MiB");
    std::vector<std::string> phrases;
    const TextLines lines(content);
    for (std::int32_t i = 0; i < std::min(lines.LineCount(), most); ++i)
        phrases.push_back(CheckedPhrase(lines.Line(i), limit));
    return phrases;
}

struct Options {
    std::string command;
    const MethodInfo* method = FindMethod(kMethod01);
    std::optional<std::string> phraseFile;
    bool force = false;
    std::optional<std::string> file;
};

Options ParseArguments(int argc, char** argv)
{
    Options options;
    if (argc < 2) UsageError("no command given");
    options.command = argv[1];
    // --help asks for the help wherever it stands before "--".
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            WriteOutput(kHelp);
            FlushOutput();
            throw Exit{kDone};
        }
    }
    if (options.command == "--version") {
        WriteOutput("mus " MUS_VERSION "\n");
        FlushOutput();
        throw Exit{kDone};
    }
    if (options.command != "encrypt" && options.command != "decrypt" && options.command != "detect")
        UsageError("unknown command '" + options.command + "'");

    bool onlyFiles = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> value;
        if (!onlyFiles && arg == "--") {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && arg.size() > 2 && arg.starts_with("--")) {
            const auto equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg.resize(equals);
            }
            const bool takesValue = (arg == "--method" && options.command == "encrypt") ||
                                    (arg == "--phrase-file" && options.command != "detect");
            const bool flag = arg == "--force" && options.command == "encrypt";
            if (!takesValue && !flag) UsageError("unknown option '" + arg + "' for " + options.command);
            if (flag) {
                if (value) UsageError("option '--force' takes no value");
                options.force = true;
                continue;
            }
            if (!value) {
                if (i + 1 >= argc) UsageError("option '" + arg + "' needs a value");
                value = argv[++i];
            }
            if (arg == "--method") {
                options.method = FindMethodField(*value);
                if (options.method == nullptr) UsageError("the method is 00, 01 or 02, not '" + *value + "'");
            } else {
                options.phraseFile = *value;
            }
            continue;
        }
        if (!onlyFiles && arg.size() > 1 && arg[0] == '-') UsageError("unknown option '" + arg + "'");
        if (options.file) UsageError("only one FILE may be given");
        options.file = arg;
    }
    return options;
}

// --------------------------------------------------------------- encrypt

// The phrase of a new block: the first line of the phrase file, else asked
// for twice on the terminal, else none; a method that needs a phrase takes
// no empty one.
std::string EncryptPhrase(const std::optional<std::vector<std::string>>& fromFile, const MethodInfo& method)
{
    if (fromFile) {
        std::string phrase = fromFile->empty() ? std::string() : fromFile->front();
        if (phrase.empty() && method.needsPhrase) Refuse(msg::kPhraseRequired);
        return phrase;
    }
    const auto terminal = Terminal::Open();
    if (!terminal) {
        if (method.needsPhrase) Refuse(msg::kPhraseRequired);
        return {};
    }
    for (;;) {
        std::optional<std::string> first =
            terminal->AskHidden(method.needsPhrase ? msg::kPromptPhraseRequired : msg::kPromptPhrase);
        if (!first) Refuse({});
        const ScopedWipe wipeFirst(*first);
        std::string phrase = CheckedPhrase(*first, method.phraseLimit);
        if (phrase.empty()) {
            if (!method.needsPhrase) return phrase;
            Message(msg::kPhraseRequired);
            continue;
        }
        std::optional<std::string> second = terminal->AskHidden(msg::kPromptConfirm);
        if (!second) Refuse({});
        const ScopedWipe wipeSecond(*second);
        std::string confirmed = CheckedPhrase(*second, method.phraseLimit);
        const ScopedWipe wipeConfirmed(confirmed);
        if (confirmed == phrase) return phrase;
        Wipe(phrase);
        Message(msg::kPhrasesDoNotMatch);
    }
}

int Encrypt(const Options& options)
{
    const MethodInfo& method = *options.method;
    std::optional<std::vector<std::string>> phrases;
    if (options.phraseFile) phrases = ReadPhraseFile(*options.phraseFile, 1, method.phraseLimit);
    // Line breaks only grow in the normalising: a text with one byte over the
    // limit is refused already, so an endless input is never read to its end.
    const std::string input = ReadAtMost(options.file, static_cast<std::size_t>(kMaxTextLength) + 1);
    if (input.find('\0') != std::string::npos)
        Refuse("mus: the text holds a zero byte, which a text document cannot hold; nothing was encrypted.");
    const std::string text = NormaliseLineBreaks(input);
    if (text.empty()) Refuse(msg::kNoTextToEncrypt);
    if (text.size() > static_cast<std::size_t>(kMaxTextLength)) Refuse(msg::kTextTooLong);
    if (!options.force && IsEncryptedText(TextLines(text))) Refuse("This text is already encrypted.");

    std::string phrase = EncryptPhrase(phrases, method);
    const ScopedWipe wipe(phrase);
    if (phrases) {
        for (std::string& line : *phrases) Wipe(line);
    }
    std::string line;
    const LineSink toOutput = [&line](std::string_view block) {
        line.assign(block);
        line += "\r\n";
        WriteOutput(line);
    };
    if (method.code == kMethod02) {
        const SealingKey key(phrase, kDefaultCosts);
        Wipe(phrase);
        WriteMethod02Block(text, key, toOutput);
    } else {
        WriteArmouredBlock(text, phrase, method.code, toOutput);
    }
    FlushOutput();
    return kDone;
}

// --------------------------------------------------------------- decrypt

// Phrase attempts from the lines of a phrase file, in order.
class FilePrompt final : public PhrasePrompt {
public:
    explicit FilePrompt(std::vector<std::string> phrases) : phrases_(std::move(phrases)) {}
    ~FilePrompt() override
    {
        for (std::string& phrase : phrases_) Wipe(phrase);
    }
    FilePrompt(const FilePrompt&) = delete;
    FilePrompt& operator=(const FilePrompt&) = delete;

    std::optional<std::string> Ask() override
    {
        if (next_ >= phrases_.size()) return std::nullopt;
        return phrases_[next_++];
    }

    bool RetryAfterMismatch() override
    {
        Message(msg::kPhraseMismatch);
        return true;
    }

private:
    std::vector<std::string> phrases_;
    std::size_t next_ = 0;
};

// Phrase attempts typed on the terminal; end of input gives up. Without a
// terminal the user has given up at once.
class TerminalPrompt final : public PhrasePrompt {
public:
    TerminalPrompt() : terminal_(Terminal::Open()) {}

    std::optional<std::string> Ask() override
    {
        if (!terminal_) return std::nullopt;
        std::optional<std::string> entered = terminal_->AskHidden(msg::kPromptProtected);
        if (!entered) return std::nullopt;
        const ScopedWipe wipe(*entered);
        return CheckedPhrase(*entered, kLongestPhrase);
    }

    bool RetryAfterMismatch() override
    {
        Message(msg::kPhraseMismatch);
        return true;
    }

private:
    std::unique_ptr<Terminal> terminal_;
};

int Decrypt(const Options& options)
{
    std::unique_ptr<PhrasePrompt> prompt;
    if (options.phraseFile)
        prompt = std::make_unique<FilePrompt>(ReadPhraseFile(*options.phraseFile, INT32_MAX, kLongestPhrase));
    else
        prompt = std::make_unique<TerminalPrompt>();
    // The lines are read where the document lies (the reader splits at CR LF,
    // lone CR and lone LF alike), and the text is written as it is decoded.
    DocumentBuffer buffer;
    const TextLines lines(buffer.Read(options.file));
    const ReadOutcome outcome = ReadArmouredBlock(lines, *prompt, [](std::string_view piece) { WriteOutput(piece); });
    if (outcome.refusal) Refuse(RefusalMessage(*outcome.refusal, outcome.header));
    FlushOutput();
    if (outcome.decoded.endedEarly) {
        Message(msg::kEndedEarly);
        return kWarning;
    }
    if (outcome.decoded.crcMissing) {
        Message(msg::kCrcMissing);
        return kWarning;
    }
    if (outcome.decoded.crcDiffers) {
        Message(msg::kCrcError);
        return kWarning;
    }
    return kDone;
}

// Reads only until the second tagged line, piece by piece; a document whose
// first 256 MiB do not hold two is refused when it goes on beyond them.
int Detect(const Options& options)
{
    Input input(options.file);
    TaggedLineCounter counter;
    std::string piece(std::size_t{1} << 16, '\0');
    std::size_t read = 0;
    while (counter.Count() < 2) {
        const std::size_t n = input.Read(piece.data(), piece.size());
        if (n == 0) break;
        counter.Feed(std::string_view(piece.data(), std::min(n, kMaxDocumentBytes - read)));
        read += n;
        if (read > kMaxDocumentBytes && counter.Count() < 2) RefuseLargeDocument();
    }
    return counter.Count() >= 2 ? kDone : kWarning;
}

int Run(int argc, char** argv)
{
    try {
        const Options options = ParseArguments(argc, argv);
        if (options.command == "encrypt") return Encrypt(options);
        if (options.command == "decrypt") return Decrypt(options);
        return Detect(options);
    } catch (const Exit& exit) {
        return exit.status;
    } catch (const Failure& failure) {
        Message(failure.what());
        return kRefused;
    } catch (const std::bad_alloc&) {
        // Nothing may end the run with a status the help does not name.
        Message("mus: out of memory");
        return kRefused;
    } catch (const std::exception& error) {
        Message(std::string("mus: ") + error.what());
        return kRefused;
    }
}

} // namespace
} // namespace mus::cli

int main(int argc, char** argv)
{
    // A closed pipe on standard output is a failed write (74), not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    return mus::cli::Run(argc, argv);
}
