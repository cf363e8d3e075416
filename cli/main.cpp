// mus: encrypts a text into an armoured block, decrypts a block back into its
// text, and tells whether a text holds a block, for scripts and terminals.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "arguments.h"
#include "cipher/armoured_block.h"
#include "cipher/block_reader.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "cipher/method02.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"
#include "cipher/phrase_strength.h"
#include "common/core_dumps.h"
#include "terminal.h"

namespace mus::cli {
namespace {

// A document may be as large as the editor holds.
constexpr std::size_t kMaxDocumentBytes = std::size_t(kDocumentCapacity);

[[noreturn]] void Refuse(std::string_view message)
{
    if (!message.empty()) Message(message);
    throw Exit{kRefused};
}

// An input named on the command line, "-" or none standing for standard
// input. Pipes and devices are read as files are; the callers bound how much.
class Input {
public:
    explicit Input(const std::optional<std::string>& path) : name_(!path || *path == "-" ? "standard input" : *path)
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
    // The room grows with what is read, so that a short input takes little
    // memory whatever the limit; every room given up is wiped first.
    std::string content;
    std::size_t size = 0;
    for (std::size_t room = std::min<std::size_t>(most, std::size_t{1} << 16);; room = std::min(most, 4 * room)) {
        if (room > content.size()) {
            std::string larger(room, '\0');
            std::copy_n(content.data(), size, larger.data());
            Wipe(content);
            content.swap(larger);
        }
        const std::size_t n = input.ReadFull(content.data() + size, room - size);
        size += n;
        if (size < room || room == most) break;
    }
    content.resize(size);
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

// The first `most` phrases of a phrase file, each taken by `rule`; its
// first bytes past the size limit are read only to tell that there are more.
std::vector<std::string> ReadPhraseFile(const std::string& path, std::int32_t most, const PhraseRule& rule)
{
    if (path == "-") UsageError("the phrase file cannot be standard input");
    std::string content = ReadAtMost(path, kMaxPhraseFileBytes + 1);
    const ScopedWipe wipe(content);
    return PhraseFileLines(content, most, rule);
}

// ---------------------------------------------------------------- phrases

// A new phrase that is easy to guess is taken, with a warning.
bool WarnOfWeakPhrase(std::int32_t bits)
{
    Message("mus: warning: weak phrase (" + GuessesText(bits) + "); it is easy to guess");
    return true;
}

// Phrase attempts from the lines of a phrase file, in order; a phrase that
// was not taken is told, and the next line tried. Without lines the user
// has given up at once.
class PhraseLines final : public PhrasePrompt {
public:
    explicit PhraseLines(std::vector<std::string> phrases) : phrases_(std::move(phrases)) {}
    ~PhraseLines() override
    {
        for (std::string& phrase : phrases_) Wipe(phrase);
    }
    PhraseLines(const PhraseLines&) = delete;
    PhraseLines& operator=(const PhraseLines&) = delete;

    std::optional<std::string> Ask(std::string_view, PromptTopic, const PhraseRule&) override
    {
        if (next_ >= phrases_.size()) return std::nullopt;
        return phrases_[next_++];
    }

    bool RetryAfter(std::string_view message) override
    {
        Message(message);
        return true;
    }

private:
    std::vector<std::string> phrases_;
    std::size_t next_ = 0;
};

// One phrase given beforehand (a phrase file's first line, or none when
// there is no terminal): it is every entry, its own confirmation too, and a
// phrase that was not taken is told and ends the run.
class GivenPhrase final : public PhrasePrompt {
public:
    explicit GivenPhrase(std::string phrase) : phrase_(std::move(phrase)) {}
    ~GivenPhrase() override { Wipe(phrase_); }
    GivenPhrase(const GivenPhrase&) = delete;
    GivenPhrase& operator=(const GivenPhrase&) = delete;

    std::optional<std::string> Ask(std::string_view, PromptTopic, const PhraseRule&) override { return phrase_; }

    bool TakeWeakPhrase(std::int32_t bits) override { return WarnOfWeakPhrase(bits); }

    bool RetryAfter(std::string_view message) override
    {
        Message(message);
        return false;
    }

private:
    std::string phrase_;
};

// Phrases typed on the terminal, each checked against `rule`; end of input
// gives up, and a phrase that was not taken is told and asked for again.
class TypedPhrases final : public PhrasePrompt {
public:
    TypedPhrases(std::unique_ptr<Terminal> terminal, const PhraseRule& rule)
        : terminal_(std::move(terminal)), rule_(rule)
    {
    }

    std::optional<std::string> Ask(std::string_view prompt, PromptTopic, const PhraseRule&) override
    {
        std::optional<std::string> entered = terminal_->AskHidden(prompt);
        if (!entered) return std::nullopt;
        const ScopedWipe wipe(*entered);
        return CheckedPhrase(*entered, rule_);
    }

    bool TakeWeakPhrase(std::int32_t bits) override { return WarnOfWeakPhrase(bits); }

    bool RetryAfter(std::string_view message) override
    {
        Message(message);
        return true;
    }

private:
    std::unique_ptr<Terminal> terminal_;
    PhraseRule rule_;
};

// --------------------------------------------------------------- encrypt

int Encrypt(const Options& options)
{
    const MethodInfo& method = *options.method;
    // The phrase file's first line, read before the text; else the terminal,
    // asked only once the text is taken; else no phrase.
    std::unique_ptr<PhrasePrompt> prompt;
    if (options.phraseFile) {
        std::vector<std::string> lines = ReadPhraseFile(*options.phraseFile, 1, PhraseRuleOf(method));
        prompt = std::make_unique<GivenPhrase>(lines.empty() ? std::string() : lines.front());
        for (std::string& line : lines) Wipe(line);
    }
    // Line breaks only grow in the normalising: a text with one byte over the
    // limit is refused already, so an endless input is never read to its end.
    std::string input = ReadAtMost(options.file, static_cast<std::size_t>(method.textLimit) + 1);
    const ScopedWipe wipeInput(input);
    if (input.find('\0') != std::string::npos)
        Refuse("mus: the text holds a zero byte, which a text document cannot hold; nothing was encrypted.");
    std::string text = NormaliseLineBreaks(input);
    const ScopedWipe wipeText(text);
    if (const std::optional<std::string_view> refusal = EncryptRefusal(static_cast<std::int64_t>(text.size()), method))
        Refuse(*refusal);
    if (!options.force && IsEncryptedText(TextLines(text))) Refuse("This text is already encrypted.");

    if (!prompt) {
        if (std::unique_ptr<Terminal> terminal = Terminal::Open())
            prompt = std::make_unique<TypedPhrases>(std::move(terminal), PhraseRuleOf(method));
        else prompt = std::make_unique<GivenPhrase>(std::string());
    }
    std::optional<std::string> phrase = AskForNewPhrase(*prompt, PhraseRuleOf(method));
    if (!phrase) Refuse({});
    const ScopedWipe wipe(*phrase);

    std::string line;
    const LineSink toOutput = [&line](std::string_view block) {
        line.assign(block);
        line += "\r\n";
        WriteOutput(line);
    };
    method.family->Write(text, *phrase, method, kDefaultCosts, toOutput);
    FlushOutput();
    return kDone;
}

// --------------------------------------------------------------- decrypt

// The document with the block's lines replaced by the text, which is
// followed by a line break (CR LF) unless it ends with one; every other byte
// as it was read.
void WriteInContext(std::string_view document, const ReadOutcome& outcome)
{
    const std::string& text = outcome.decoded.text;
    WriteOutput(document.substr(0, outcome.span.begin));
    WriteOutput(text);
    WriteOutput(LineBreakAfter(text));
    WriteOutput(document.substr(outcome.span.end));
}

int Decrypt(const Options& options)
{
    // The phrase file's lines, else the terminal, else no attempt at all; a
    // typed phrase or a line may hold the longest phrase of any method.
    std::unique_ptr<PhrasePrompt> prompt;
    if (options.phraseFile) {
        prompt = std::make_unique<PhraseLines>(ReadPhraseFile(*options.phraseFile, INT32_MAX, kAnyBlockPhrase));
    } else if (std::unique_ptr<Terminal> terminal = Terminal::Open()) {
        prompt = std::make_unique<TypedPhrases>(std::move(terminal), kAnyBlockPhrase);
    } else {
        prompt = std::make_unique<PhraseLines>(std::vector<std::string>{});
    }
    // The lines are read where the document lies (the reader splits at CR LF,
    // lone CR and lone LF alike), and the text is written as it is decoded.
    DocumentBuffer buffer;
    const std::string_view document = buffer.Read(options.file);
    // With the context kept the text is collected, since the bytes before the
    // block come first.
    const ReadOutcome outcome = options.keepContext ? DecryptDocument(document, *prompt)
                                                    : DecryptDocument(document, *prompt, [](std::string_view piece) {
                                                          WriteOutput(piece);
                                                      });
    if (outcome.refusal) Refuse(RefusalMessage(*outcome.refusal, outcome.header));
    if (options.keepContext) WriteInContext(document, outcome);
    FlushOutput();
    if (outcome.repairs.Any()) Message("mus: repaired: " + RepairItems(outcome.repairs) + ".");
    if (const std::optional<std::string_view> warning = DecodeWarning(outcome.decoded)) {
        Message(*warning);
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
    // Before the text, a phrase or a key can be in memory.
    mus::ForbidCoreDumps();
    // Standard output's buffer is the program's own, so that the decrypted
    // text that passed through it can be wiped at the end.
    static char outputBuffer[BUFSIZ];
    std::setvbuf(stdout, outputBuffer, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, sizeof outputBuffer);
    // A closed pipe on standard output is a failed write (74), not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    const int status = mus::cli::Run(argc, argv);
    std::fflush(stdout);
    explicit_bzero(outputBuffer, sizeof outputBuffer);
    return status;
}
