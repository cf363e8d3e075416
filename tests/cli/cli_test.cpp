// Runs the built `mus` without a controlling terminal and checks its standard
// output bytes, its standard error lines and its exit status.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/document_lines.h"
#include "cipher/messages.h"
#include "cipher/method02.h"
#include "cipher/phrase.h"
#include "cipher/phrase_strength.h"

namespace mus {
namespace {

struct Result {
    int status = -1;
    std::string out;
    std::vector<std::string> errLines;
};

class MusRunner {
public:
    MusRunner()
    {
        char pattern[] = "/tmp/mus-cli-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made) std::abort();
        dir_ = made;
    }
    ~MusRunner()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Runs mus with `args` and `input` on standard input, in a new session so
    // that /dev/tty cannot be opened. `out` replaces the standard output file.
    Result Run(const std::vector<std::string>& args, const std::string& input = {}, const char* out = nullptr) const
    {
        const std::string in = Write(".stdin", input);
        const std::string outPath = out ? out : Path(".stdout");
        const std::string errPath = Path(".stderr");
        const pid_t pid = fork();
        if (pid == 0) {
            setsid();
#if !defined(__SANITIZE_ADDRESS__)
            // A mus that reads without bound stops at this limit, not at the machine's.
            const rlimit memory{rlim_t{2} << 30, rlim_t{2} << 30};
            setrlimit(RLIMIT_AS, &memory);
#endif
            // Relative FILE arguments name files of the test's directory.
            if (chdir(dir_.c_str()) != 0) _exit(127);
            const int i = open(in.c_str(), O_RDONLY);
            const int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(i, 0);
            dup2(o, 1);
            dup2(e, 2);
            if (addressLimit > 0) {
                const rlimit limit{addressLimit, addressLimit};
                setrlimit(RLIMIT_AS, &limit);
            }
            std::vector<char*> argv{const_cast<char*>(MUS_BINARY)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(MUS_BINARY, argv.data());
            _exit(127);
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        Result result;
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
        if (!out) result.out = Read(outPath);
        std::istringstream err(Read(errPath));
        for (std::string line; std::getline(err, line);) result.errLines.push_back(line);
        return result;
    }

    // The address space mus may use; 0: no limit.
    rlim_t addressLimit = 0;

private:
    std::string dir_;
};

std::string ExpectedBlock(std::string_view text, std::string_view phrase, std::int32_t method)
{
    std::string block;
    WriteArmouredBlock(NormaliseLineBreaks(text), FoldPhrase(phrase), method, [&](std::string_view line) {
        block += line;
        block += "\r\n";
    });
    return block;
}

// A Method 02 block at the least costs, as `mus encrypt --method 02` writes it.
std::string SealedBlock(std::string_view text, std::string_view phrase)
{
    const SealingKey key(FoldPhrase(phrase), kMinimumCosts);
    std::string block;
    WriteMethod02Block(NormaliseLineBreaks(text), key,
                       [&](std::string_view line) { block.append(line).append("\r\n"); });
    return block;
}

using Lines = std::vector<std::string>;

// ------------------------------------------------------------------ table

struct CliRow {
    const char* name;
    std::vector<std::string> args; // "@NAME" stands for the path of file NAME
    std::map<std::string, std::string> files;
    std::string input;
    int status;
    std::string out;
    Lines err;
};

void PrintTo(const CliRow& row, std::ostream* os)
{
    *os << row.name;
}

class CliTableTest : public testing::TestWithParam<CliRow> {};

TEST_P(CliTableTest, WritesTheExpectedBytesMessagesAndStatus)
{
    const CliRow& row = GetParam();
    MusRunner mus;
    for (const auto& [name, bytes] : row.files) mus.Write(name, bytes);
    std::vector<std::string> args;
    for (const auto& a : row.args) args.push_back(a.starts_with("@") ? mus.Path(a.substr(1)) : a);
    const Result result = mus.Run(args, row.input);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.out, row.out);
    EXPECT_EQ(result.errLines, row.err);
}

const std::string kBlockAbc = ExpectedBlock("abc", "", 1);
const std::string kBlockKey = ExpectedBlock("Hello\r\nW\xC3\xB6rld", "k\xC3\xA9y", 1);
const std::string kMismatch(msg::kPhraseMismatch);

// clang-format off
std::vector<CliRow> Rows()
{
    std::vector<CliRow> rows;
    // encrypt
    rows.push_back({"encrypt from stdin", {"encrypt"}, {}, "abc", 0, kBlockAbc, {}});
    rows.push_back({"encrypt a file with method 00", {"encrypt", "--method", "00", "@t"}, {{"t", "abc"}}, "", 0,
                    ExpectedBlock("abc", "", 0), {}});
    rows.push_back({"encrypt, --method=01 form", {"encrypt", "--method=01"}, {}, "abc", 0, kBlockAbc, {}});
    rows.push_back({"encrypt with the first line of a phrase file, folded",
                    {"encrypt", "--phrase-file", "@p"}, {{"p", "k\xC3\xA9y\r\nother\r\n"}},
                    "Hello\nW\xC3\xB6rld", 0, kBlockKey, {}});
    rows.push_back({"encrypt with an empty phrase file", {"encrypt", "--phrase-file", "@p"}, {{"p", ""}}, "abc", 0,
                    kBlockAbc, {}});
    rows.push_back({"encrypt, lone CR and LF become CR LF", {"encrypt"}, {}, "a\rb\nc\r\n", 0,
                    ExpectedBlock("a\r\nb\r\nc\r\n", "", 1), {}});
    rows.push_back({"encrypt nothing", {"encrypt"}, {}, "", 2, "", {std::string(msg::kNoTextToEncrypt)}});
    rows.push_back({"encrypt 22528 bytes", {"encrypt"}, {}, std::string(22528, 'x'), 0,
                    ExpectedBlock(std::string(22528, 'x'), "", 1), {}});
    rows.push_back({"encrypt 22529 bytes", {"encrypt"}, {}, std::string(22529, 'x'), 2, "",
                    {std::string(msg::kTextTooLong)}});
    rows.push_back({"line breaks count two bytes", {"encrypt"}, {}, std::string(11264, '\n') + "x", 2, "",
                    {std::string(msg::kTextTooLong)}});
    rows.push_back({"encrypt a text with a zero byte", {"encrypt"}, {}, std::string("a\0b", 3), 2, "",
                    {"mus: the text holds a zero byte, which a text document cannot hold; nothing was encrypted."}});
    rows.push_back({"encrypt a block again without --force", {"encrypt"}, {}, kBlockAbc, 2, "",
                    {"This text is already encrypted."}});
    rows.push_back({"encrypt a block again with --force", {"encrypt", "--force"}, {}, kBlockAbc, 0,
                    ExpectedBlock(kBlockAbc, "", 1), {}});
    rows.push_back({"phrase of 17 bytes", {"encrypt", "--phrase-file", "@p"}, {{"p", std::string(17, 'a')}}, "abc",
                    64, "", {"mus: a phrase holds at most 16 bytes (after conversion to upper case)",
                             "Try 'mus --help'."}});
    rows.push_back({"encrypt reads only the first line of a phrase file",
                    {"encrypt", "--phrase-file", "@p"}, {{"p", "key\n" + std::string(17, 'a') + "\n"}}, "abc", 0,
                    ExpectedBlock("abc", "KEY", 1), {}});
    rows.push_back({"decrypt takes a line of 17 bytes for a wrong phrase", {"decrypt", "--phrase-file", "@p"},
                    {{"p", std::string(17, 'a') + "\nkey\n"}}, ExpectedBlock("x", "key", 1), 0, "x", {kMismatch}});
    rows.push_back({"decrypt refuses a phrase file with a line of 65 bytes",
                    {"decrypt", "--phrase-file", "@p"}, {{"p", "key\n" + std::string(65, 'a') + "\n"}},
                    ExpectedBlock("x", "key", 1), 64, "",
                    {"mus: a phrase holds at most 64 bytes (after conversion to upper case)", "Try 'mus --help'."}});
    rows.push_back({"phrase of 16 bytes", {"encrypt", "--phrase-file", "@p"}, {{"p", std::string(16, 'a')}}, "abc",
                    0, ExpectedBlock("abc", std::string(16, 'A'), 1), {}});
    rows.push_back({"bad method", {"encrypt", "--method", "03"}, {}, "abc", 64, "",
                    {"mus: the method is 00, 01 or 02, not '03'", "Try 'mus --help'."}});
    rows.push_back({"--force is for encrypt only", {"decrypt", "--force"}, {}, "", 64, "",
                    {"mus: unknown option '--force' for decrypt", "Try 'mus --help'."}});
    rows.push_back({"-- ends the options", {"encrypt", "--", "-x"}, {{"-x", "abc"}}, "", 0, kBlockAbc, {}});
    rows.push_back({"two files", {"detect", "a", "b"}, {}, "", 64, "",
                    {"mus: only one FILE may be given", "Try 'mus --help'."}});
    rows.push_back({"no command", {}, {}, "", 64, "", {"mus: no command given", "Try 'mus --help'."}});
    rows.push_back({"unknown command", {"scramble"}, {}, "", 64, "",
                    {"mus: unknown command 'scramble'", "Try 'mus --help'."}});
    rows.push_back({"version", {"--version"}, {}, "", 0, "mus 1.30\n", {}});

    // endless and strange inputs: devices are read as files are, within bounds
    const Lines largePhraseFile{"mus: the phrase file is larger than 1 MiB", "Try 'mus --help'."};
    const Lines largeDocument{"mus: the document is larger than 256 MiB"};
    rows.push_back({"endless phrase file, encrypt", {"encrypt", "--phrase-file", "/dev/zero"}, {}, "abc", 64, "",
                    largePhraseFile});
    rows.push_back({"endless phrase file, decrypt", {"decrypt", "--phrase-file", "/dev/zero"}, {}, kBlockAbc, 64, "",
                    largePhraseFile});
    rows.push_back({"phrase file of 1 MiB and a byte", {"encrypt", "--phrase-file", "@p"},
                    {{"p", "key\n" + std::string((1 << 20) - 3, 'x')}}, "abc", 64, "", largePhraseFile});
    rows.push_back({"empty device as phrase file", {"encrypt", "--phrase-file", "/dev/null"}, {}, "abc", 0,
                    kBlockAbc, {}});
    rows.push_back({"endless document, decrypt", {"decrypt", "/dev/zero"}, {}, "", 2, "", largeDocument});
    rows.push_back({"endless document, detect", {"detect", "/dev/zero"}, {}, "", 2, "", largeDocument});
    rows.push_back({"phrase that is not UTF-8", {"encrypt", "--phrase-file", "@p"}, {{"p", "ke\xFFy"}}, "abc", 64,
                    "", {"mus: a phrase must be UTF-8 text", "Try 'mus --help'."}});
    rows.push_back({"phrase with an overlong form", {"decrypt", "--phrase-file", "@p"}, {{"p", "ok\n\xC0\xAF"}},
                    kBlockAbc, 64, "", {"mus: a phrase must be UTF-8 text", "Try 'mus --help'."}});
    rows.push_back({"phrase with a zero byte", {"encrypt", "--phrase-file", "@p"}, {{"p", std::string("k\0y", 3)}},
                    "abc", 64, "", {"mus: a phrase cannot hold a zero byte", "Try 'mus --help'."}});

    // decrypt
    rows.push_back({"decrypt, no phrase", {"decrypt"}, {}, kBlockAbc, 0, "abc", {}});
    rows.push_back({"decrypt non-ASCII text with CR LF, phrase folded",
                    {"decrypt", "--phrase-file", "@p", "@b"}, {{"p", "K\xC3\xA9Y"}, {"b", kBlockKey}}, "", 0,
                    "Hello\r\nW\xC3\xB6rld", {}});
    rows.push_back({"decrypt a block with LF breaks", {"decrypt"}, {}, "x\nMuS/0120/01/0/3\nCx2uq\nMuS/882\n", 0,
                    "abc", {}});
    rows.push_back({"decrypt, wrong phrases then the right one",
                    {"decrypt", "--phrase-file", "@p"}, {{"p", "nope\n\nkey\n"}}, ExpectedBlock("x", "key", 0),
                    0, "x", {kMismatch, kMismatch}});
    rows.push_back({"decrypt, phrase file runs out", {"decrypt", "--phrase-file", "@p"}, {{"p", "nope\r"}},
                    ExpectedBlock("x", "key", 1), 2, "", {kMismatch}});
    rows.push_back({"decrypt, empty phrase file gives up", {"decrypt", "--phrase-file", "@p"}, {{"p", ""}},
                    ExpectedBlock("x", "key", 1), 2, "", {}});
    rows.push_back({"decrypt without a terminal gives up", {"decrypt"}, {}, ExpectedBlock("x", "key", 1), 2, "", {}});
    rows.push_back({"decrypt nothing", {"decrypt"}, {}, "", 2, "", {std::string(msg::kNoTextToDecrypt)}});
    rows.push_back({"decrypt plain text", {"decrypt"}, {}, "just text\n", 2, "",
                    {std::string(msg::kNoHeaderAndFooter)}});
    rows.push_back({"decrypt invalid header", {"decrypt"}, {}, "MuS/0120/1/0/1\nCEAqq\nMuS/209\n", 2, "",
                    {std::string(msg::kInvalidHeader)}});
    rows.push_back({"decrypt method 02 over another body", {"decrypt"}, {}, "MuS/0130/02/0/1\nCEAqq\nMuS/209\n", 2, "",
                    {std::string(msg::kDamaged)}});
    rows.push_back({"decrypt method 03", {"decrypt"}, {}, "MuS/0140/03/1/1\nCEAqq\nMuS/209\n", 2, "",
                    {"Cannot handle the encryption method used to encrypt this text.  "
                     "Try using Murmurscript version 1.40."}});
    rows.push_back({"decrypt, CRC missing", {"decrypt"}, {}, "MuS/0120/01/0/3\nCx2uq\nMuS/\n", 1, "abc",
                    {std::string(msg::kCrcMissing)}});
    rows.push_back({"decrypt, CRC differs", {"decrypt"}, {}, "MuS/0120/01/0/3\nCx2uq\nMuS/883\n", 1, "abc",
                    {std::string(msg::kCrcError)}});
    rows.push_back({"decrypt, ended early", {"decrypt"}, {}, "MuS/0120/01/0/6\nCx2uq\nMuS/882\n", 1, "abc",
                    {std::string(msg::kEndedEarly)}});
    rows.push_back({"decrypt, no line-break conversion of the output", {"decrypt"}, {},
                    ExpectedBlock("a\r\nb", "", 1), 0, "a\r\nb", {}});

    // Method 02
    const std::string sealed = SealedBlock("Hello\nW\xC3\xB6rld", "k\xC3\xA9y");
    const std::string required(msg::kPhraseRequired);
    rows.push_back({"decrypt method 02", {"decrypt", "--phrase-file", "@p"}, {{"p", "nope\nK\xC3\xA9Y\n"}}, sealed, 0,
                    "Hello\r\nW\xC3\xB6rld", {kMismatch}});
    rows.push_back({"decrypt method 02, wrong phrase only", {"decrypt", "--phrase-file", "@p"}, {{"p", "nope\n"}},
                    sealed, 2, "", {kMismatch}});
    rows.push_back({"decrypt a damaged method 02 block", {"decrypt", "--phrase-file", "@p"}, {{"p", "key\n"}},
                    "MuS/0130/02/2/12" + sealed.substr(sealed.find("\r\nC")), 2, "", {std::string(msg::kDamaged)}});
    rows.push_back({"encrypt method 02 without a phrase", {"encrypt", "--method", "02"}, {}, "abc", 2, "", {required}});
    rows.push_back({"encrypt method 02 with an empty first line", {"encrypt", "--method", "02", "--phrase-file", "@p"},
                    {{"p", "\nkey\n"}}, "abc", 2, "", {required}});
    rows.push_back({"encrypt method 02, a phrase of 65 bytes", {"encrypt", "--method=02", "--phrase-file", "@p"},
                    {{"p", std::string(65, 'a')}}, "abc", 64, "",
                    {"mus: a phrase holds at most 64 bytes (after conversion to upper case)", "Try 'mus --help'."}});

    // decrypt undoing transport damage: a note on standard error, status 0
    const auto quoted = [](const std::string& block) {
        std::string out = "> " + block;
        for (std::size_t at = out.find('\n'); at + 1 < out.size(); at = out.find('\n', at + 1)) out.insert(at + 1, "> ");
        return out;
    };
    std::string crCrLf = sealed;
    for (std::size_t at = crCrLf.find("\r\n"); at != std::string::npos; at = crCrLf.find("\r\n", at + 3))
        crCrLf.insert(at, "\r");
    std::string oneLine = ExpectedBlock("abc", "", 0);
    for (std::size_t at = oneLine.find("\r\n"); at + 2 < oneLine.size(); at = oneLine.find("\r\n", at))
        oneLine.replace(at, 2, " ");
    rows.push_back({"decrypt a quoted block, the right phrase second", {"decrypt", "--phrase-file", "@p"},
                    {{"p", "nope\nkey\n"}}, "Hi,\n" + quoted(ExpectedBlock("x", "key", 1)), 0, "x",
                    {kMismatch, "mus: repaired: quote marks removed from 5 lines."}});
    rows.push_back({"decrypt method 02 with CR CR LF line ends", {"decrypt", "--phrase-file", "@p"},
                    {{"p", "K\xC3\xA9Y\n"}}, crCrLf, 0, "Hello\r\nW\xC3\xB6rld", {"mus: repaired: line ends made CR LF."}});
    rows.push_back({"decrypt a block joined into one line", {"decrypt"}, {}, oneLine, 0, "abc",
                    {"mus: repaired: block split from one line."}});
    rows.push_back({"decrypt a quoted block whose CRC differs", {"decrypt"}, {},
                    quoted("MuS/0120/01/0/3\r\nCx2uq\r\nMuS/883\r\n"), 2, "", {std::string(msg::kNoHeaderAndFooter)}});

    // decrypt keeping the document around the block, byte for byte
    const std::string mail = "From: a\nSubject: b\r\n\r\nHi,\r\r\n";
    rows.push_back({"keep the context of a quoted block", {"decrypt", "--keep-context"}, {},
                    mail + quoted(ExpectedBlock("ab\r\nc", "", 1)) + "> \r\n-- \nsig", 0,
                    mail + "ab\r\nc\r\n> \r\n-- \nsig", {"mus: repaired: quote marks removed from 5 lines."}});
    rows.push_back({"keep the context of an intact block, its blank lines and frame", {"decrypt", "--keep-context"},
                    {}, "a\n\n" + ExpectedBlock("x\r\n", "", 0) + "b", 0, "a\n\nx\r\nb", {}});
    rows.push_back({"keep the context, CRC differs", {"decrypt", "--keep-context"}, {},
                    "a\nMuS/0120/01/0/3\nCx2uq\nMuS/883\nb\n", 1, "a\nabc\r\nb\n", {std::string(msg::kCrcError)}});
    rows.push_back({"--keep-context is for decrypt only", {"encrypt", "--keep-context"}, {}, "", 64, "",
                    {"mus: unknown option '--keep-context' for encrypt", "Try 'mus --help'."}});

    // detect
    rows.push_back({"detect a block", {"detect"}, {}, kBlockAbc, 0, "", {}});
    rows.push_back({"detect two tagged lines anywhere", {"detect", "@d"}, {{"d", "x\nMuS/\ny\nMuS/"}}, "", 0, "", {}});
    rows.push_back({"detect plain text", {"detect"}, {}, "hello\n", 1, "", {}});
    rows.push_back({"detect a quoted block", {"detect"}, {}, "> MuS/0120/01/0/3\n> MuS/882\n", 1, "", {}});
    return rows;
}
// clang-format on

INSTANTIATE_TEST_SUITE_P(Runs, CliTableTest, testing::ValuesIn(Rows()));

// ------------------------------------------------------------ other cases

TEST(CliTest, UnreadableInputNamesTheFile)
{
    MusRunner mus;
    const Result result = mus.Run({"decrypt", mus.Path("missing")});
    EXPECT_EQ(result.status, 66);
    ASSERT_EQ(result.errLines.size(), 1u);
    EXPECT_EQ(result.errLines[0], "mus: cannot read " + mus.Path("missing") + ": No such file or directory");
}

TEST(CliTest, FailedWriteExitsWith74)
{
    MusRunner mus;
    const Result result = mus.Run({"encrypt"}, "abc", "/dev/full");
    EXPECT_EQ(result.status, 74);
    ASSERT_FALSE(result.errLines.empty());
    EXPECT_TRUE(result.errLines[0].starts_with("mus: cannot write to standard output")) << result.errLines[0];
}

TEST(CliTest, EncryptRefusesALongInputWithoutReadingToItsEnd)
{
    // One byte over the limit is written into a pipe whose writing end stays
    // open: the input never ends (like /dev/zero), and the refusal must not
    // wait for an end.
    MusRunner mus;
    const std::string errPath = mus.Path(".stderr");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int e = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fds[0], 0);
        dup2(e, 2);
        close(fds[0]);
        close(fds[1]);
        char* argv[] = {const_cast<char*>(MUS_BINARY), const_cast<char*>("encrypt"), nullptr};
        execv(MUS_BINARY, argv);
        _exit(127);
    }
    close(fds[0]);
    const std::string input(kMaxTextLength + 1, 'x'); // fits in the pipe's buffer
    ASSERT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));

    int wstatus = 0;
    pid_t done = 0;
    for (int i = 0; i < 100 && done == 0; ++i) {
        done = waitpid(pid, &wstatus, WNOHANG);
        if (done == 0) usleep(50000);
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &wstatus, 0);
    }
    close(fds[1]);
    ASSERT_NE(done, 0) << "mus waited for the end of an endless input";
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 2);
    EXPECT_EQ(MusRunner::Read(errPath), std::string(msg::kTextTooLong) + "\n");
}

TEST(CliTest, DocumentsPastTheEditorsCapacityAreRefused)
{
    // A sparse file: its size alone tells decrypt; detect reads it to the limit.
    MusRunner mus;
    const std::string path = mus.Write("large", "");
    ASSERT_EQ(truncate(path.c_str(), (off_t{256} << 20) + 1), 0);
    for (const char* command : {"decrypt", "detect"}) {
        const Result result = mus.Run({command, path});
        EXPECT_EQ(result.status, 2) << command;
        EXPECT_EQ(result.out, "") << command;
        EXPECT_EQ(result.errLines, Lines{"mus: the document is larger than 256 MiB"}) << command;
    }
}

TEST(CliTest, CrcOverflowIsRefusedWithTheFailureMessage)
{
    // Every "~~~~" group of Method 00 adds 1530 to the CRC sum: 87,800 full
    // lines pass 2^31 - 1.
    std::string document = "MuS/0120/00/0/2000000000\n";
    for (int i = 0; i < 87800; ++i) document += "C" + std::string(64, '~') + "\n";
    document += "MuS/1\n";
    MusRunner mus;
    const Result result = mus.Run({"decrypt"}, document);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.errLines, Lines{"Integer overflow"});
}

TEST(CliTest, HelpShowsTheUsage)
{
    MusRunner mus;
    const Result result = mus.Run({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(
        result.out.starts_with("Usage: mus encrypt [--method 00|01|02] [--phrase-file FILE] [--force] [FILE]\n"));
    EXPECT_TRUE(result.errLines.empty());
    // The same after a command, whatever else is given, and nothing is read.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"encrypt", "--help"},
                                                 {"decrypt", "missing-file", "-h"},
                                                 {"detect", "--bogus", "--help"}}) {
        const Result after = mus.Run(args, "abc");
        EXPECT_EQ(after.status, 0) << args[0];
        EXPECT_EQ(after.out, result.out) << args[0];
        EXPECT_TRUE(after.errLines.empty()) << args[0];
    }
    // After "--" it is a file name.
    EXPECT_EQ(mus.Run({"detect", "--", "--help"}).status, 66);
}

TEST(CliTest, EncryptThenDecryptRoundTripsEveryByteButZero)
{
    std::string text;
    for (int b = 1; b < 256; ++b) text += static_cast<char>(b);
    text += "\r\n\xE2\x82\xAC \xF0\x9F\x94\x92 end";
    const std::string expected = NormaliseLineBreaks(text);
    MusRunner mus;
    const std::string phrase = mus.Write("p", "sch\xC3\xB6n\n");
    for (const char* method : {"00", "01"}) {
        const Result block = mus.Run({"encrypt", "--method", method, "--phrase-file", phrase}, text);
        ASSERT_EQ(block.status, 0);
        const Result plain = mus.Run({"decrypt", "--phrase-file", phrase}, block.out);
        EXPECT_EQ(plain.status, 0);
        EXPECT_EQ(plain.out, expected);
        EXPECT_TRUE(plain.errLines.empty());
    }
}

TEST(CliTest, Method02RoundTripsA64BytePhraseAtTheDefaultCosts)
{
    MusRunner mus;
    const std::string phrase = mus.Write("p", std::string(62, 'x') + "\xC3\xA9\n"); // 64 bytes
    const Result block = mus.Run({"encrypt", "--method", "02", "--phrase-file", phrase}, "Meet at dawn.\n");
    ASSERT_EQ(block.status, 0);
    EXPECT_TRUE(block.out.starts_with(std::string(kStartLine) + "\r\nMuS/0130/02/1/15\r\nC")) << block.out;
    const Result plain = mus.Run({"decrypt", "--phrase-file", phrase}, block.out);
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, "Meet at dawn.\r\n");
    EXPECT_TRUE(plain.errLines.empty());
}

// A Method 02 phrase that is easy to guess is used all the same, with one
// warning line; a strong one, or another method's, gets none.
TEST(CliTest, WarnsOfAWeakMethod02Phrase)
{
    const std::string weak = "mus: warning: weak phrase (" + GuessesText(EstimatePhraseStrength("ABC").bits) +
                             "); it is easy to guess";
    const struct {
        const char* method;
        const char* phrase;
        Lines err;
    } rows[] = {
        {"02", "abc\n", {weak}},
        {"02", "meet me at the old mill\n", {}},
        {"01", "abc\n", {}},
    };
    MusRunner mus;
    for (const auto& row : rows) {
        const std::string phrase = mus.Write("p", row.phrase);
        const Result block = mus.Run({"encrypt", "--method", row.method, "--phrase-file", phrase}, "Meet at dawn.");
        EXPECT_EQ(block.status, 0) << row.method << " " << row.phrase;
        EXPECT_EQ(block.errLines, row.err) << row.method << " " << row.phrase;
        const Result plain = mus.Run({"decrypt", "--phrase-file", phrase}, block.out);
        EXPECT_EQ(plain.out, "Meet at dawn.") << row.method << " " << row.phrase;
    }
}

TEST(CliTest, KeyDerivationWithoutMemoryFails)
{
#ifdef MUS_SANITIZE
    GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#endif
    MusRunner mus;
    mus.addressLimit = 48 << 20;                                            // the derivation needs 64 MiB
    const std::string phrase = mus.Write("p", "meet me at the old mill\n"); // strong: no warning
    const Result result = mus.Run({"encrypt", "--method", "02", "--phrase-file", phrase}, "abc");
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.errLines, Lines{"Out of memory"});
}

} // namespace
} // namespace mus
