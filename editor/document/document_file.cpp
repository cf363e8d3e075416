#include "editor/document/document_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "cipher/armoured_block.h"
#include "cipher/commands/file_descriptor.h"
#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "editor/document/byte_document.h"

namespace mus {

namespace {

std::string FullPath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
}

[[noreturn]] void ThrowCannotCreate(const QString& path)
{
    throw Failure("Cannot create file " + FullPath(path));
}

[[noreturn]] void ThrowWriteError()
{
    throw Failure("Stream write error");
}

bool WriteAt(int fd, std::string_view bytes, off_t offset)
{
    while (!bytes.empty()) {
        const ssize_t n = RetryOnInterrupt([&] { return ::pwrite(fd, bytes.data(), bytes.size(), offset); });
        if (n <= 0) return false;
        bytes.remove_prefix(std::size_t(n));
        offset += n;
    }
    return true;
}

bool ReadAt(int fd, std::string& bytes, off_t offset)
{
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = RetryOnInterrupt(
            [&] { return ::pread(fd, bytes.data() + got, bytes.size() - got, offset + off_t(got)); });
        if (n <= 0) return false;
        got += std::size_t(n);
    }
    return true;
}

// The file a name stands for: a symbolic link is followed to its target, also
// one that does not exist yet, so the link stays a link.
QString FinalPath(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth) info.setFile(info.symLinkTarget());
    return info.filePath();
}

// Writes `bytes` over the content of the open file `fd` without ever losing
// the old content: the space for the new length is reserved before the first
// old byte is overwritten (this fails on a full disk and under a file size
// limit), and the old bytes that are overwritten are kept and put back should
// the write fail all the same (a file system that writes copies of changed
// blocks may need new space even then).
void WriteInPlace(int fd, std::string_view bytes)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) ThrowWriteError();
    const off_t oldSize = st.st_size;
    const off_t newSize = off_t(bytes.size());
    if (newSize > 0) {
        int reserved;
        do {
            reserved = ::posix_fallocate(fd, 0, newSize);
        } while (reserved == EINTR);
        if (reserved != 0 && reserved != EOPNOTSUPP) {
            // A reservation that stopped part way may have lengthened the file.
            [[maybe_unused]] const bool shortened = ::fstat(fd, &st) == 0 &&
                                                    (st.st_size == oldSize || ::ftruncate(fd, oldSize) == 0);
            ThrowWriteError();
        }
    }
    std::string old(std::size_t(std::min(oldSize, newSize)), '\0');
    if (!ReadAt(fd, old, 0)) ThrowWriteError();
    if (WriteAt(fd, bytes, 0) && RetryOnInterrupt([&] { return ::ftruncate(fd, newSize); }) == 0 && ::fsync(fd) == 0)
        return;
    // Putting the old content back is all that can be done; the write error
    // is reported either way.
    [[maybe_unused]] const bool restored = WriteAt(fd, old, 0) && ::ftruncate(fd, oldSize) == 0;
    ThrowWriteError();
}

void WriteInPlace(const QString& path, const QByteArray& name, std::string_view bytes)
{
    const FileDescriptor file(
        RetryOnInterrupt([&] { return ::open(name.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY); }));
    if (file.Get() < 0) ThrowCannotCreate(path);
    WriteInPlace(file.Get(), bytes);
}

// Gives the new file `fd` every extended attribute of the old file `name`,
// its access control list among them; false when one cannot be given.
bool CopyExtendedAttributes(const QByteArray& name, int fd)
{
    ssize_t size = ::listxattr(name.constData(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP;
    QByteArray names(size, '\0');
    size = ::listxattr(name.constData(), names.data(), std::size_t(names.size()));
    if (size < 0) return false;
    for (const QByteArray& attribute : names.left(size).split('\0')) {
        if (attribute.isEmpty()) continue;
        const ssize_t length = ::getxattr(name.constData(), attribute.constData(), nullptr, 0);
        if (length < 0) return false;
        QByteArray value(length, '\0');
        if (::getxattr(name.constData(), attribute.constData(), value.data(), std::size_t(value.size())) != length ||
            ::fsetxattr(fd, attribute.constData(), value.constData(), std::size_t(value.size()), 0) != 0)
            return false;
    }
    return true;
}

// Temporary files of a save are named after the file they replace, so that a
// later save of the same file finds what a killed one left: ".NAME.XXXXXX.mus-save"
// beside NAME, with NAME cut to 200 bytes and six random letters or digits.
constexpr int kRandomLength = 6;
const QByteArray kTemporarySuffix = QByteArrayLiteral(".mus-save");

QByteArray TemporaryPrefix(const QFileInfo& final)
{
    return '.' + QFile::encodeName(final.fileName()).left(200) + '.';
}

QByteArray TemporaryName(const QFileInfo& final)
{
    constexpr std::uint32_t kNames = 36u * 36 * 36 * 36 * 36 * 36;
    const QByteArray random =
        QByteArray::number(QRandomGenerator::global()->generate() % kNames, 36).rightJustified(kRandomLength, '0');
    return QFile::encodeName(final.path()) + '/' + TemporaryPrefix(final) + random + kTemporarySuffix;
}

bool IsTemporaryNameOf(const QByteArray& entry, const QByteArray& prefix)
{
    if (entry.size() != prefix.size() + kRandomLength + kTemporarySuffix.size() || !entry.startsWith(prefix) ||
        !entry.endsWith(kTemporarySuffix))
        return false;
    const QByteArray random = entry.mid(prefix.size(), kRandomLength);
    return std::all_of(random.begin(), random.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

// Removes the temporary files that earlier saves of `final` left behind
// when they were killed: the user's own, and only those no running save
// holds (a save keeps its temporary file locked while it lives).
void RemoveStaleTemporaries(const QFileInfo& final)
{
    const QByteArray folder = QFile::encodeName(final.path());
    const QByteArray prefix = TemporaryPrefix(final);
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (!IsTemporaryNameOf(entryName, prefix)) continue;
        const QByteArray name = folder + '/' + entryName;
        const FileDescriptor file(RetryOnInterrupt(
            [&] { return ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
        struct stat opened {};
        struct stat named {};
        if (file.Get() < 0 || ::fstat(file.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
            opened.st_uid != ::geteuid() || ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file that was opened, not one that took its name since.
        if (::lstat(name.constData(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            ::unlink(name.constData());
    }
    ::closedir(dir);
}

// The umask, as the kernel reports it; nothing where it does not.
std::optional<mode_t> CurrentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("Umask:")) continue;
        bool ok = false;
        const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
        if (ok) return mode_t(mask);
    }
    return std::nullopt;
}

// Kernels before 6.0 gave a file made with O_TMPFILE on a file system
// without access control lists its mode without the umask; a folder with a
// default access control list has the mode set by it.
void ApplyUmask(int fd, const QByteArray& folder)
{
    if (::getxattr(folder.constData(), "system.posix_acl_default", nullptr, 0) > 0) return;
    const std::optional<mode_t> mask = CurrentUmask();
    struct stat st {};
    if (!mask || ::fstat(fd, &st) != 0) return;
    if ((st.st_mode & 0777) != (0666 & ~*mask)) ::fchmod(fd, 0666 & ~*mask);
}

// The new content's file, beside `final`, until it takes the final name.
// Where the file system allows, it has no name while it is written (a save
// killed then leaves nothing behind) and is given one only when complete;
// elsewhere it is a file of the temporary name from the start, removed
// again unless Keep() was called. Mode 0600 for a file that replaces
// another (it gets that one's mode before anything is written), the usual
// mode of new files otherwise. Locked while it lives.
class TemporaryFile {
public:
    TemporaryFile(const QString& final, bool replaces) : final_(final)
    {
        const QByteArray folder = QFile::encodeName(final_.path());
        const mode_t mode = replaces ? 0600 : 0666;
        fd_ = RetryOnInterrupt([&] { return ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode); });
        if (fd_ >= 0 && !Linkable()) {
            ::close(fd_);
            fd_ = -1;
        }
        if (fd_ >= 0) {
            if (!replaces) ApplyUmask(fd_, folder);
        } else {
            for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
                name_ = TemporaryName(final_);
                fd_ = RetryOnInterrupt([&] {
                    return ::open(name_.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                                  mode);
                });
                if (fd_ < 0 && errno != EEXIST) break;
            }
        }
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~TemporaryFile()
    {
        if (fd_ < 0) return;
        if (!kept_ && !name_.isEmpty()) ::unlink(name_.constData());
        ::close(fd_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Get() const { return fd_; }
    // The file's name, given to a nameless one here; false when it cannot
    // have one.
    bool Name(QByteArray& name)
    {
        if (name_.isEmpty()) {
            const QByteArray self = ProcPath();
            for (int attempt = 0; attempt < 100 && name_.isEmpty(); ++attempt) {
                const QByteArray candidate = TemporaryName(final_);
                if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, candidate.constData(), AT_SYMLINK_FOLLOW) == 0)
                    name_ = candidate;
                else if (errno != EEXIST) return false;
            }
        }
        name = name_;
        return !name_.isEmpty();
    }
    void Keep() { kept_ = true; }

private:
    QByteArray ProcPath() const { return "/proc/self/fd/" + QByteArray::number(fd_); }

    // A nameless file gets its name through /proc (linking the descriptor
    // itself needs a privilege); without /proc it cannot have one.
    bool Linkable() const
    {
        struct stat viaProc {};
        struct stat st {};
        return ::stat(ProcPath().constData(), &viaProc) == 0 && ::fstat(fd_, &st) == 0 && viaProc.st_ino == st.st_ino &&
               viaProc.st_dev == st.st_dev;
    }

    QFileInfo final_;
    QByteArray name_;
    int fd_ = -1;
    bool kept_ = false;
};

// Owner and group first: changing them clears the set-user-ID bit.
bool GiveAttributesOf(const struct stat& old, const QByteArray& oldName, int fd)
{
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 && ::fchmod(fd, old.st_mode & 07777) == 0 &&
           CopyExtendedAttributes(oldName, fd);
}

// Opens `file` on `path` for reading when it names a regular file. A device
// is not even opened (opening some has effects of its own); the open never
// waits (a named pipe without a writer would hold the window); and what was
// opened is checked again, as the name may have changed in between.
void OpenRegularFile(const QString& path, QFile& file)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    const bool regular = ::stat(name.constData(), &st) == 0 && S_ISREG(st.st_mode);
    const int fd = regular ? RetryOnInterrupt(
                                 [&] { return ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); })
                           : -1;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        throw Failure("Cannot open file " + FullPath(path));
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw Failure("Cannot open file " + FullPath(path));
    }
}

// The length of the whole lines at the start of `piece` (not empty), up to
// its last finished line break: a CR that is the last byte read may be the
// first half of a CR LF.
std::size_t WholeLinesLength(const std::string& piece)
{
    const std::size_t end = piece.size() - (piece.back() == '\r' ? 1 : 0);
    const std::size_t lastBreak = end == 0 ? std::string::npos : piece.find_last_of("\r\n", end - 1);
    return lastBreak == std::string::npos ? 0 : lastBreak + 1;
}

} // namespace

DocumentFile ReadDocumentFile(const QString& path)
{
    QFile file;
    OpenRegularFile(path, file);

    // Read in pieces, each handed on up to its last finished line break,
    // stopping at the first zero byte and as soon as the text cannot fit
    // the editor or holds a line longer than it takes.
    constexpr qint64 kPiece = 1 << 20;
    DocumentFile result;
    const auto measure = [&result](std::string_view line, std::size_t breakLength) {
        CheckLineLength(std::int64_t(line.size()));
        result.textLength += std::int64_t(line.size()) + (breakLength > 0 ? 2 : 0);
    };
    std::string piece; // what is read and not yet handed on
    std::int64_t position = 0;
    for (bool last = false; !last;) {
        const std::size_t kept = piece.size();
        piece.resize(kept + kPiece);
        const qint64 got = file.read(piece.data() + kept, kPiece);
        if (got < 0) throw Failure("Stream read error");
        piece.resize(kept + std::size_t(got));
        last = got == 0;
        if (const void* zero = std::memchr(piece.data() + kept, 0, std::size_t(got))) {
            const std::size_t at = std::size_t(static_cast<const char*>(zero) - piece.data());
            result.zeroBytePosition = position + std::int64_t(at - kept) + 1;
            piece.resize(at);
            last = true;
        }
        position += got;
        const std::size_t cut = last ? piece.size() : WholeLinesLength(piece);
        CheckLineLength(std::int64_t(piece.size() - cut));
        if (cut == 0) continue;
        std::string rest = piece.substr(cut);
        piece.resize(cut);
        ForEachLine(piece, measure);
        CheckEditorCapacity(result.textLength);
        result.pieces.push_back(std::move(piece));
        piece = std::move(rest);
    }
    return result;
}

void WriteDocumentFile(const QString& path, std::string_view bytes)
{
    // Written by hand rather than through QSaveFile, which can give the new
    // file neither the old one's owner and group nor its other names, and
    // whose direct write into a read-only folder truncates the old file first.
    const QString final = FinalPath(path);
    const QByteArray name = QFile::encodeName(final);
    struct stat old {};
    const bool exists = ::stat(name.constData(), &old) == 0;
    if (!exists && errno != ENOENT) ThrowCannotCreate(path);
    if (exists && (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0))
        ThrowCannotCreate(path);
    // A second hard link would keep the old text after a replacement.
    if (exists && old.st_nlink > 1) return WriteInPlace(path, name, bytes);

    RemoveStaleTemporaries(QFileInfo(final));
    TemporaryFile temporary(final, exists);
    if (temporary.Get() < 0) {
        // A folder that allows no new file: a writable file in it is
        // written in place.
        if (exists) return WriteInPlace(path, name, bytes);
        ThrowCannotCreate(path);
    }
    // An owner or group that cannot be given back (the file is another
    // user's, or its group is one the user is not in): in place as well.
    if (exists && !GiveAttributesOf(old, name, temporary.Get())) return WriteInPlace(path, name, bytes);
    // The new file takes the old one's place only once every byte is on the
    // disk, so an interrupted save leaves the old file or the new one.
    if (!WriteAt(temporary.Get(), bytes, 0) || ::fsync(temporary.Get()) != 0) ThrowWriteError();
    QByteArray temporaryName;
    if (!temporary.Name(temporaryName)) ThrowWriteError();
    if (::rename(temporaryName.constData(), name.constData()) != 0) {
        if (!exists) ThrowWriteError();
        return WriteInPlace(path, name, bytes);
    }
    temporary.Keep();
}

bool FileHoldsBlock(const QString& path)
{
    QFile file;
    try {
        OpenRegularFile(path, file);
    } catch (const Failure&) {
        return false;
    }
    TaggedLineCounter counter;
    std::string piece(std::size_t{1} << 16, '\0');
    qint64 left = kDocumentCapacity;
    while (counter.Count() < 2 && left > 0) {
        const qint64 got = file.read(piece.data(), std::min<qint64>(qint64(piece.size()), left));
        if (got <= 0) break;
        counter.Feed(std::string_view(piece.data(), std::size_t(got)));
        left -= got;
    }
    return counter.Count() >= 2;
}

std::string ReplaceBlockQuestion(const QString& path)
{
    return FullPath(path) + " holds encrypted text.  Replace it with this text, unencrypted?";
}

QString ZeroByteWarning(std::int64_t position)
{
    return QStringLiteral("The file contains a zero byte at position %1.  Only the text before it was loaded.")
        .arg(position);
}

} // namespace mus
