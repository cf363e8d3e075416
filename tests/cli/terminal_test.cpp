// Runs `mus` on a pseudo-terminal, as a person at a terminal would meet it:
// the prompts appear there, what is typed is not echoed, and end of input at
// a prompt gives up.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/armoured_block.h"
#include "cipher/messages.h"

namespace mus {
namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// One run of mus whose controlling terminal is a pseudo-terminal; standard
// output and standard error go to files.
class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& args, const std::string& input)
    {
        char pattern[] = "/tmp/mus-tty-test-XXXXXX";
        dir_ = mkdtemp(pattern);
        std::ofstream(dir_ + "/in", std::ios::binary) << input;
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            const int out = open((dir_ + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open((dir_ + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(MUS_BINARY)};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            std::string in = dir_ + "/in";
            argv.push_back(in.data());
            argv.push_back(nullptr);
            execv(MUS_BINARY, argv.data());
            _exit(127);
        }
    }

    ~TerminalRun()
    {
        if (pid_ > 0 && status_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Waits until the terminal has shown `text`; false after five seconds.
    bool Expect(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (screen_.find(text, seen_) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) return false;
            screen_.append(buffer, static_cast<std::size_t>(n));
        }
        seen_ = screen_.find(text, seen_) + text.size();
        return true;
    }

    void Type(const std::string& keys)
    {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }

    int Wait()
    {
        int wstatus = 0;
        waitpid(pid_, &wstatus, 0);
        status_ = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
        // Whatever the terminal showed last.
        pollfd p{master_, POLLIN, 0};
        char buffer[256];
        ssize_t n;
        while (poll(&p, 1, 0) > 0 && (n = read(master_, buffer, sizeof buffer)) > 0)
            screen_.append(buffer, static_cast<std::size_t>(n));
        return status_;
    }

    std::string Out() const { return ReadFile(dir_ + "/out"); }
    std::string Err() const { return ReadFile(dir_ + "/err"); }
    const std::string& Screen() const { return screen_; }

private:
    std::string dir_;
    int master_ = -1;
    pid_t pid_ = -1;
    int status_ = -1;
    std::string screen_;
    std::size_t seen_ = 0;
};

std::string ExpectedBlock(std::string_view text, std::string_view phrase)
{
    std::string block;
    WriteArmouredBlock(text, phrase, 1, [&](std::string_view line) {
        block += line;
        block += "\r\n";
    });
    return block;
}

const std::string kFirst = std::string(msg::kPromptPhrase) + " ";
const std::string kConfirm = std::string(msg::kPromptConfirm) + " ";

TEST(TerminalTest, EncryptAsksTwiceWithoutEchoAndRetriesAfterAMismatch)
{
    TerminalRun run({"encrypt"}, "Dear Bob\r\n");
    ASSERT_TRUE(run.Expect(kFirst)) << run.Screen();
    run.Type("sesame\n");
    ASSERT_TRUE(run.Expect(kConfirm)) << run.Screen();
    run.Type("sesamy\n");
    ASSERT_TRUE(run.Expect(kFirst)); // a new try after the mismatch
    run.Type("open sesame\n");
    ASSERT_TRUE(run.Expect(kConfirm));
    run.Type("OPEN SESAME\n"); // entries are compared in upper case
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(run.Out(), ExpectedBlock("Dear Bob\r\n", "OPEN SESAME"));
    EXPECT_EQ(run.Err(), std::string(msg::kPhrasesDoNotMatch) + "\n");
    EXPECT_EQ(run.Screen().find("sesam"), std::string::npos) << run.Screen();
}

TEST(TerminalTest, EncryptWithAnEmptyFirstEntryAsksOnce)
{
    TerminalRun run({"encrypt"}, "abc");
    ASSERT_TRUE(run.Expect(kFirst));
    run.Type("\n");
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(run.Out(), ExpectedBlock("abc", ""));
    EXPECT_EQ(run.Screen().find(kConfirm), std::string::npos);
}

TEST(TerminalTest, EndOfInputAtAPromptGivesUp)
{
    TerminalRun run({"encrypt"}, "abc");
    ASSERT_TRUE(run.Expect(kFirst));
    run.Type("\x04"); // Ctrl+D on an empty line
    EXPECT_EQ(run.Wait(), 2);
    EXPECT_EQ(run.Out(), "");
    EXPECT_EQ(run.Err(), "");
}

TEST(TerminalTest, DecryptAsksAgainAfterAWrongPhrase)
{
    const std::string prompt = std::string(msg::kPromptProtected) + " ";
    TerminalRun run({"decrypt"}, ExpectedBlock("Meet at noon.", "\xC3\x89T\xC3\x89"));
    ASSERT_TRUE(run.Expect(prompt));
    run.Type("winter\n");
    ASSERT_TRUE(run.Expect(prompt));
    run.Type("\xC3\xA9t\xC3\xA9\n"); // folded to the block's phrase
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(run.Out(), "Meet at noon.");
    EXPECT_EQ(run.Err(), std::string(msg::kPhraseMismatch) + "\n");
}

TEST(TerminalTest, Method02AsksAgainAfterAnEmptyEntry)
{
    const std::string required = std::string(msg::kPromptPhraseRequired) + " ";
    TerminalRun run({"encrypt", "--method", "02"}, "abc");
    ASSERT_TRUE(run.Expect(required));
    run.Type("\n");
    ASSERT_TRUE(run.Expect(required)) << run.Screen();
    run.Type("\x04");
    EXPECT_EQ(run.Wait(), 2);
    EXPECT_EQ(run.Out(), "");
    EXPECT_EQ(run.Err(), std::string(msg::kPhraseRequired) + "\n");
}

} // namespace
} // namespace mus
