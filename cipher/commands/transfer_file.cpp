#include "cipher/commands/transfer_file.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cipher/commands/file_descriptor.h"

namespace mus {

IoError::IoError(int code) : IoError(code, IoErrorMessage(code))
{
}

IoError IoError::FromErrno(int error)
{
    const int code = MappedIoCode(error);
    if (code != 0) return IoError(code);
    // Never read an unmapped number through the table: EIO is 5 but is no
    // "File access denied".
    return IoError(error, "I/O error " + std::to_string(error));
}

std::string IoErrorMessage(int code)
{
    switch (code) {
    case kIoFileNotFound: return "File not found";
    case kIoInvalidFilename: return "Invalid filename";
    case kIoTooManyOpenFiles: return "Too many open files";
    case kIoAccessDenied: return "File access denied";
    case kIoReadBeyondEnd: return "Read beyond end of file";
    case kIoDiskFull: return "Disk full";
    case kIoInvalidNumericInput: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

int MappedIoCode(int error) noexcept
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return kIoAccessDenied;
    case ENOENT:
    case ENOTDIR: return kIoInvalidFilename;
    case EMFILE:
    case ENFILE: return kIoTooManyOpenFiles;
    case ENOSPC:
    case EDQUOT: return kIoDiskFullSystem;
    default: return 0;
    }
}

std::string CannotOpenTransferFileMessage()
{
    return "Cannot open file " + std::string(kTransferFileName);
}

namespace {

// Collected writes reach the file whenever this much is waiting.
constexpr std::size_t kBufferSize = 4096;

// Tries for a name that others keep changing under us before giving up.
constexpr int kCreateAttempts = 8;

[[noreturn]] void ThrowSystemError()
{
    throw IoError::FromErrno(errno);
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

class SystemTransferFile final : public TransferFile {
public:
    SystemTransferFile(std::string path, int fd, const struct stat& identity)
        : path_(std::move(path)), fd_(fd), identity_(identity)
    {
        buffer_.reserve(kBufferSize);
    }

    ~SystemTransferFile() override
    {
        // Delete while the lock is still held, and only the file this object
        // created: another copy of the program may own the name by now.
        struct stat now {};
        if (::lstat(path_.c_str(), &now) == 0 && SameFile(now, identity_)) ::unlink(path_.c_str());
        ::close(fd_);
    }

    SystemTransferFile(const SystemTransferFile&) = delete;
    SystemTransferFile& operator=(const SystemTransferFile&) = delete;

    void WriteLine(std::string_view line) override
    {
        Append(line);
        Append("\r\n");
    }

    void Finish() override { Flush(); }

    std::string ReadAll() override
    {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throw Failure(CannotOpenTransferFileMessage());
        std::string content(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t got = 0;
        while (got < content.size()) {
            const ssize_t n = RetryOnInterrupt(
                [&] { return ::pread(fd_, content.data() + got, content.size() - got, static_cast<off_t>(got)); });
            if (n < 0) throw Failure(CannotOpenTransferFileMessage());
            if (n == 0) break; // a shorter read is no error
            got += static_cast<std::size_t>(n);
        }
        content.resize(got);
        return content;
    }

private:
    void Append(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const std::size_t take = std::min(kBufferSize - buffer_.size(), bytes.size());
            buffer_.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (buffer_.size() == kBufferSize) Flush();
        }
    }

    void Flush()
    {
        std::string_view rest = buffer_;
        while (!rest.empty()) {
            const ssize_t n = RetryOnInterrupt([&] { return ::write(fd_, rest.data(), rest.size()); });
            if (n < 0) ThrowSystemError();
            if (n == 0) throw IoError(kIoDiskFull);
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        buffer_.clear();
    }

    std::string path_;
    int fd_;
    struct stat identity_;
    std::string buffer_;
};

} // namespace

SystemTransferFiles::SystemTransferFiles(std::string directory)
    : path_(std::move(directory) + std::string(kTransferFileName))
{
}

namespace {

// Removes the regular file `found` at `path` so that a file of the run's own
// can take its place. Code 5 for a file its owner may not write (the mode
// bits decide, since root would pass the access check); code 32 for one that
// another copy of the program holds. The check holds the file's lock while
// it removes it, so a copy cannot take it in between. A file this user may
// not read is nobody's transfer file in use here: only removing it is tried.
// Returns early when the name changed meanwhile; a file that may not be
// removed (another user's in a folder with the sticky bit) gives code 5.
void RemoveRegularFile(const char* path, const struct stat& found)
{
    if ((found.st_mode & S_IWUSR) == 0) throw IoError(kIoAccessDenied);
    const int fd = RetryOnInterrupt(
        [&] { return ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); });
    if (fd < 0 && errno != EACCES && errno != EPERM) {
        if (errno == ENOENT || errno == ELOOP) return;
        ThrowSystemError();
    }
    FileDescriptor descriptor(fd);
    if (fd >= 0) {
        struct stat opened {};
        if (::fstat(fd, &opened) != 0) ThrowSystemError();
        if (!SameFile(opened, found)) return;
        if (RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
            if (errno == EWOULDBLOCK) throw IoError(kIoSharingViolation);
            ThrowSystemError();
        }
    }
    if (::unlink(path) != 0 && errno != ENOENT) ThrowSystemError();
}

} // namespace

std::unique_ptr<TransferFile> SystemTransferFiles::Create()
{
    const char* path = path_.c_str();
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        struct stat found {};
        if (::lstat(path, &found) == 0) {
            // Never write into what stands at the name, whoever put it there:
            // a planted file could be held open to read the block, a link or
            // a second name would lead elsewhere. Remove it and start anew.
            if (S_ISREG(found.st_mode)) {
                RemoveRegularFile(path, found);
            } else {
                const int removed = S_ISDIR(found.st_mode) ? ::rmdir(path) : ::unlink(path);
                if (removed != 0 && errno != ENOENT) ThrowSystemError();
            }
            continue;
        }
        if (errno != ENOENT) ThrowSystemError();
        const int fd = RetryOnInterrupt(
            [&] { return ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600); });
        if (fd < 0) {
            if (errno == EEXIST) continue;
            ThrowSystemError();
        }
        FileDescriptor descriptor(fd);

        struct stat opened {};
        if (::fstat(fd, &opened) != 0) ThrowSystemError();
        if (RetryOnInterrupt([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
            if (errno == EWOULDBLOCK) throw IoError(kIoSharingViolation);
            ThrowSystemError();
        }
        // Another copy may have removed the new file before the lock was
        // taken; then this is no longer the transfer file.
        struct stat named {};
        if (::lstat(path, &named) != 0 || !SameFile(named, opened)) continue;
        return std::make_unique<SystemTransferFile>(path_, descriptor.Take(), opened);
    }
    throw IoError::FromErrno(EEXIST);
}

} // namespace mus
