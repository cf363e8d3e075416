#pragma once
// The document's bytes as editor text and back, without loss.
//
// Bytes are read as UTF-8. A byte that is not part of a valid UTF-8 sequence
// becomes the private code point U+F700 + byte (U+F780..U+F7FF). Three valid
// characters would not survive Qt's text document (it turns U+2029, U+FDD0
// and U+FDD1 into paragraph breaks), and the escape range itself must stay
// unambiguous, so those characters are written byte by byte as escapes too.
// Writing reverses it: an escape code point is its byte again, anything else
// its UTF-8. Hence TextToBytes(BytesToText(b)) == b for every byte string.
// Line breaks (CR, LF) pass through unchanged.

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>
#include <string_view>

namespace mus {

inline constexpr char16_t kByteEscapeBase = 0xF700;

QString BytesToText(std::string_view bytes);
// Appends the text of `bytes` to `out`.
void AppendText(std::string_view bytes, QString& out);
// Appends the text of `bytes` with each line break (CR LF, lone CR, lone LF)
// made one LF: the text Qt's document takes, the runs between the breaks
// decoded as BytesToText decodes them (no UTF-8 sequence spans a break).
void AppendLines(std::string_view bytes, QString& out);
std::string TextToBytes(QStringView text);
// Appends the bytes of `text` to `out`.
void AppendBytes(QStringView text, std::string& out);
// The number of bytes TextToBytes would give, without building them.
std::int64_t ByteLength(QStringView text);

} // namespace mus
