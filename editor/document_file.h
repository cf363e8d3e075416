#pragma once
// Document files: the editor's text byte for byte, with CR LF line breaks.

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace mus {

struct DocumentFile {
    // The file's bytes up to its first zero byte, with every lone CR and
    // lone LF made CR LF; no character set conversion.
    std::string text;
    // Where the first zero byte stood, counted from 1; 0 when there is none.
    std::int64_t zeroBytePosition = 0;
};

// Reads a document file. Failures: "Cannot open file <full path>",
// "Stream read error", "Text exceeds memo capacity" (more than the editor
// holds; checked as the file is read, so a huge file is never read whole).
DocumentFile ReadDocumentFile(const QString& path);

// Writes `bytes` exactly, as one replacement of the file: the bytes go to a
// temporary file that takes the old file's place only when all were written,
// so a failed write leaves the old file whole. The old file's permissions are
// kept, a symbolic link is written through to its target, and a writable file
// in a folder that does not allow new files is written in place. Failures:
// "Cannot create file <full path>", "Stream write error".
void WriteDocumentFile(const QString& path, std::string_view bytes);

// The warning after loading a file with a zero byte at `position` (from 1).
QString ZeroByteWarning(std::int64_t position);

} // namespace mus
