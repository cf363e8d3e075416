// No core dump: the shared start-up call, and both programs killed by
// SIGSEGV while they run, with the core file size limit raised as far as
// the test may raise it, so that only the programs' own call stops the dump.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/core_dumps.h"

namespace {

namespace fs = std::filesystem;

#ifndef MUS_ALLOW_CORE_DUMPS

TEST(CoreDumps, TheStartUpCallForbidsThem)
{
    // In a child, so that this test process stays as it was.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool done = mus::ForbidCoreDumps();
        rlimit limit{};
        const bool zero = getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 && limit.rlim_max == 0;
        _exit(done && zero && prctl(PR_GET_DUMPABLE) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The core file size limit of /proc/PID/limits, soft and hard, is 0.
bool CoreLimitIsZero(pid_t pid)
{
    const std::string limits = ReadAll("/proc/" + std::to_string(pid) + "/limits");
    return std::regex_search(limits, std::regex("\nMax core file size +0 +0 "));
}

// Waiting in its event loop or for input: asleep.
bool Sleeping(pid_t pid)
{
    return ReadAll("/proc/" + std::to_string(pid) + "/status").find("State:\tS") != std::string::npos;
}

std::set<std::string> Entries(const fs::path& dir)
{
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir, ignored)) names.insert(entry.path().filename());
    return names;
}

struct Program {
    const char* name;
    std::vector<std::string> arguments; // the program first
};

class ProgramCoreDumps : public testing::TestWithParam<Program> {};

TEST_P(ProgramCoreDumps, SigsegvLeavesNoCore)
{
    const std::string pattern = ReadAll("/proc/sys/kernel/core_pattern");
    char made[] = "/tmp/mus-core-test-XXXXXX";
    ASSERT_NE(mkdtemp(made), nullptr);
    const fs::path dir = made;
    // Where a core would be written: the working directory, or the folder
    // the pattern names.
    const bool piped = pattern.rfind('|', 0) == 0;
    const fs::path coreDir = !pattern.empty() && pattern[0] == '/' ? fs::path(pattern).parent_path() : dir;
    const std::set<std::string> before = Entries(coreDir);

    int input[2];
    ASSERT_EQ(pipe(input), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The program starts allowed a core as large as it may be.
        rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
        if (setrlimit(RLIMIT_CORE, &limit) != 0 && getrlimit(RLIMIT_CORE, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            setrlimit(RLIMIT_CORE, &limit);
        }
        dup2(input[0], STDIN_FILENO);
        close(input[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (chdir(dir.c_str()) != 0) _exit(126);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        setsid(); // no controlling terminal: mus reads its text from the pipe
        std::vector<char*> argv;
        for (const std::string& argument : GetParam().arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(input[0]);

    // Asleep ten times in a row: started and waiting.
    int asleep = 0;
    for (int i = 0; i < 500 && asleep < 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        asleep = CoreLimitIsZero(child) && Sleeping(child) ? asleep + 1 : 0;
    }
    const bool running = asleep == 10;
    EXPECT_TRUE(running);
    kill(child, SIGSEGV);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(input[1]);
    EXPECT_TRUE(WIFSIGNALED(status));
    if (!piped) {
        EXPECT_FALSE(WCOREDUMP(status));
        EXPECT_EQ(Entries(coreDir), before);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Programs, ProgramCoreDumps, testing::Values(
    Program{"mus_encrypt_waiting_for_its_text", {MUS_BINARY, "encrypt"}}
#ifdef MUS_EDITOR_PROGRAM
    , Program{"murmurscript_window", {MUS_EDITOR_PROGRAM}}
#endif
    ), [](const testing::TestParamInfo<Program>& info) { return std::string(info.param.name); });
// clang-format on

#endif // MUS_ALLOW_CORE_DUMPS

} // namespace
