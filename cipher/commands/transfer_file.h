#pragma once
// The transfer file "~MUS~TMP.TMP": Encrypt writes its block into it line by
// line, reads it back and deletes it. It exists only while Encrypt runs.

#include <memory>
#include <string>
#include <string_view>

#include "cipher/errors.h"

namespace mus {

inline constexpr std::string_view kTransferFileName = "~MUS~TMP.TMP";

// Codes of the file layer: the system's codes as the table below reads them,
// and the layer's own.
inline constexpr int kIoFileNotFound = 2;
inline constexpr int kIoInvalidFilename = 3;
inline constexpr int kIoTooManyOpenFiles = 4;
inline constexpr int kIoAccessDenied = 5;
inline constexpr int kIoSharingViolation = 32;
inline constexpr int kIoReadBeyondEnd = 100;
inline constexpr int kIoDiskFull = 101;
inline constexpr int kIoInvalidNumericInput = 106;
inline constexpr int kIoDiskFullSystem = 112;

// A failed create, write or close of the transfer file. It reaches the
// failure report with its message.
class IoError : public Failure {
public:
    // `code` read through the message table ("File access denied" for 5, ...).
    explicit IoError(int code);
    // A system error number: mapped to its code when the table knows it,
    // otherwise shown as "I/O error N" with its own number.
    static IoError FromErrno(int error);

    int Code() const noexcept { return code_; }

private:
    IoError(int code, const std::string& message) : Failure(message), code_(code) {}
    int code_;
};

// The message for a code: "File access denied", ..., or "I/O error N".
std::string IoErrorMessage(int code);

// The code a system error number maps to (ENOENT -> 3, EACCES -> 5, ...), or 0
// when the table has no row for it.
int MappedIoCode(int error) noexcept;

// "Cannot open file ~MUS~TMP.TMP".
std::string CannotOpenTransferFileMessage();

// One open transfer file. Destroying it deletes the file (when the name still
// refers to it) and closes it, on every way out.
class TransferFile {
public:
    virtual ~TransferFile() = default;

    // The line's bytes, then CR LF; IoError when writing fails.
    virtual void WriteLine(std::string_view line) = 0;

    // Writes what the buffer still holds; IoError when that fails. After it
    // the file holds the whole block.
    virtual void Finish() = 0;

    // The file's whole content, read from its start; Failure
    // "Cannot open file ~MUS~TMP.TMP" when it cannot be read.
    virtual std::string ReadAll() = 0;
};

// Where transfer files come from: the system's, or a test's that corrupts them.
class TransferFiles {
public:
    virtual ~TransferFiles() = default;

    // Creates the file anew in place of whatever has that name; IoError when
    // it cannot.
    virtual std::unique_ptr<TransferFile> Create() = 0;
};

// The transfer file in a directory: `directory` empty for the current one,
// otherwise a path that ends with "/".
//
// The block is only ever written into a file this run created itself, with
// mode 0600. Whatever stands at the name is removed first: a regular file
// after two checks (one whose owner may not write it gives code 5, one that
// another copy of the program holds gives code 32), a symbolic link, pipe or
// empty folder at once. A file that cannot be removed (another user's, in a
// folder with the sticky bit) gives code 5 and nothing is written. The file
// is held under an exclusive lock while it is open.
class SystemTransferFiles final : public TransferFiles {
public:
    explicit SystemTransferFiles(std::string directory = {});
    std::unique_ptr<TransferFile> Create() override;

private:
    std::string path_;
};

} // namespace mus
