#pragma once
// Document files: the editor's text byte for byte, with CR LF line breaks.

#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mus {

struct DocumentFile {
    // The file's bytes up to its first zero byte, unchanged, in pieces of
    // about a megabyte that each end at a line break (the last may not).
    std::vector<std::string> pieces;
    // Bytes of that text with every lone CR and lone LF made CR LF.
    std::int64_t textLength = 0;
    // Where the first zero byte stood, counted from 1; 0 when there is none.
    std::int64_t zeroBytePosition = 0;
};

// Reads a document file, which must be a regular file: a named pipe, a
// device or a socket is refused at once. Failures: "Cannot open file <full
// path>", "Stream read error", "Text exceeds memo capacity" (more than the
// editor holds, or a line longer than kLongestLine; checked as the file is
// read, so a huge file is never read whole).
DocumentFile ReadDocumentFile(const QString& path);

// Writes `bytes` exactly. A symbolic link is written through to its target.
// The new content normally goes to a temporary file that is given the old
// file's owner, group, mode and extended attributes and then takes its place,
// so an interrupted or failed save leaves the old file or the new one. The
// temporary file has no name until it is complete where the file system
// allows that, so a killed save leaves nothing behind; elsewhere it is named
// ".NAME.XXXXXX.mus-save" beside the file, and a later save of the same
// file removes those that killed saves left (the user's own, not in use). Where
// that cannot keep what the file was (a second hard link, an owner or group
// the user cannot give, a folder that allows no new file), the file is
// written in place, with its space reserved first and its old bytes put back
// should the write fail: the old content is never lost. Failures: "Cannot
// create file <full path>", "Stream write error".
void WriteDocumentFile(const QString& path, std::string_view bytes);

// True when `path` names a regular file whose first 256 MiB hold a block
// (two lines that begin with the block tag). A file that cannot be read
// holds none.
bool FileHoldsBlock(const QString& path);

// The question before a text that holds no block replaces a file that holds
// one: "<full path> holds encrypted text.  Replace it with this text,
// unencrypted?".
std::string ReplaceBlockQuestion(const QString& path);

// The warning after loading a file with a zero byte at `position` (from 1).
QString ZeroByteWarning(std::int64_t position);

} // namespace mus
