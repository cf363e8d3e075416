#include "editor/document_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "cipher/document_lines.h"
#include "cipher/errors.h"
#include "editor/byte_document.h"

namespace mus {

namespace {

std::string FullPath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
}

} // namespace

DocumentFile ReadDocumentFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw Failure("Cannot open file " + FullPath(path));

    // Read in pieces, stopping at the first zero byte and as soon as the text
    // cannot fit the editor any more (making line breaks CR LF only adds).
    constexpr qint64 kPiece = 1 << 20;
    std::string raw;
    DocumentFile result;
    for (;;) {
        const std::size_t start = raw.size();
        raw.resize(start + kPiece);
        const qint64 got = file.read(raw.data() + start, kPiece);
        if (got < 0) throw Failure("Stream read error");
        raw.resize(start + std::size_t(got));
        const std::size_t zero = raw.find('\0', start);
        if (zero != std::string::npos) {
            result.zeroBytePosition = std::int64_t(zero) + 1;
            raw.resize(zero);
            break;
        }
        CheckEditorCapacity(std::int64_t(raw.size()));
        if (got == 0) break;
    }
    result.text = NormaliseLineBreaks(raw);
    CheckEditorCapacity(std::int64_t(result.text.size()));
    return result;
}

void WriteDocumentFile(const QString& path, std::string_view bytes)
{
    // QSaveFile follows a symbolic link to its target and gives the new file
    // the old one's permissions.
    QSaveFile file(path);
    // Where the folder allows no new file but the file itself is writable,
    // write it in place as a plain write would.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) throw Failure("Cannot create file " + FullPath(path));
    // commit() alone misses a flush that wrote only part of the buffer (a
    // full disk): the flush is checked on its own, and the temporary file is
    // then dropped instead of replacing the old file.
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.flush() || !file.commit())
        throw Failure("Stream write error");
}

QString ZeroByteWarning(std::int64_t position)
{
    return QStringLiteral("The file contains a zero byte at position %1.  Only the text before it was loaded.")
        .arg(position);
}

} // namespace mus
