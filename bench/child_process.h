#pragma once
// Runs a program as a child process and measures it from outside: its wall
// time, its exit and its peak resident memory as the kernel counted it.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mus::bench {

inline std::int64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

struct ChildRun {
    std::int64_t startNs = 0; // CLOCK_MONOTONIC just before the fork
    double seconds = 0;       // until the child ended
    double peakMiB = 0;       // its largest resident set
    int status = -1;          // exit status, or 128 + the signal that ended it
};

// Runs `argv` with standard input from `input` and standard output into
// `output`; its standard error is dropped. A child that spends more than
// `cpuSeconds` of CPU is killed.
inline ChildRun RunChild(const std::vector<std::string>& argv, const std::string& input, const std::string& output,
                         int cpuSeconds = 120)
{
    ChildRun run;
    run.startNs = MonotonicNs();
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit cpu{rlim_t(cpuSeconds), rlim_t(cpuSeconds)};
        setrlimit(RLIMIT_CPU, &cpu);
        const int in = open(input.c_str(), O_RDONLY);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = double(MonotonicNs() - run.startNs) / 1e9;
    run.peakMiB = double(usage.ru_maxrss) / 1024.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

} // namespace mus::bench
