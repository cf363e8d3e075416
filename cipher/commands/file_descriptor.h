#pragma once
// Small helpers for files opened through the system's calls.

#include <cerrno>
#include <utility>

#include <unistd.h>

namespace mus {

// Runs a system call again for as long as a signal interrupts it.
template <typename Call>
auto RetryOnInterrupt(Call call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

// Closes the descriptor it holds, unless it was taken from it.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    int Take() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

} // namespace mus
