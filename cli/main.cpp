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
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/methods.h"
#include "arguments.h"
#include "terminal.h"

namespace mus::cli {
namespace {

// A document may be as large as the editor holds.
constexpr std::size_t kMaxDocumentBytes = std::size_t{256} << 20;

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

// The first `most` phrases of a phrase file, none longer than `limit`
// bytes; its first bytes past the limit are read only to tell that there
// are more.
std::vector<std::string> ReadPhraseFile(const std::string& path, std::int32_t most, std::int32_t limit)
{
    if (path == "-") UsageError("the phrase file cannot be standard input");
    std::string content = ReadAtMost(path, kMaxPhraseFileBytes + 1);
    const ScopedWipe wipe(content);
    return PhraseFileLines(content, most, limit);
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
