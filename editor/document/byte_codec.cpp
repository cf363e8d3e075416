#include "editor/document/byte_codec.h"

#include "cipher/document_lines.h"
#include "cipher/utf8.h"

namespace mus {

namespace {

constexpr char16_t kEscapeFirst = kByteEscapeBase + 0x80;
constexpr char16_t kEscapeLast = kByteEscapeBase + 0xFF;

// Valid characters that must not reach the editor as themselves.
constexpr bool MustEscape(char32_t cp)
{
    return cp == 0x2029 || cp == 0xFDD0 || cp == 0xFDD1 || (cp >= kEscapeFirst && cp <= kEscapeLast);
}

int Utf8Length(char32_t cp)
{
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

// Walks `text` as the code points that TextToBytes writes: an escape is one
// byte, a surrogate pair one character, a lone surrogate U+FFFD.
template <typename Byte, typename Char>
void ForEachUnit(QStringView text, Byte onByte, Char onChar)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            onByte(static_cast<char>(u));
        } else if (u >= kEscapeFirst && u <= kEscapeLast) {
            onByte(static_cast<char>(u - kByteEscapeBase));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            onChar(QChar::surrogateToUcs4(u, text[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(u)) {
            onChar(U'\uFFFD');
        } else {
            onChar(u);
        }
    }
}

} // namespace

QString BytesToText(std::string_view bytes)
{
    QString text;
    AppendText(bytes, text);
    return text;
}

void AppendText(std::string_view bytes, QString& text)
{
    // Every byte gives at most one UTF-16 unit (a 4-byte sequence gives two).
    const qsizetype start = text.size();
    text.resize(start + static_cast<qsizetype>(bytes.size()));
    char16_t* out = reinterpret_cast<char16_t*>(text.data()) + start;
    char16_t* const begin = out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *out++ = b;
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int len = DecodeUtf8(bytes.substr(i), cp);
        if (len == 0 || MustEscape(cp)) {
            // An invalid byte alone; a valid sequence to escape byte by byte
            // (each of its bytes is at least 0x80).
            const std::size_t count = len == 0 ? 1 : static_cast<std::size_t>(len);
            for (std::size_t k = 0; k < count; ++k) {
                *out++ = static_cast<char16_t>(kByteEscapeBase + static_cast<unsigned char>(bytes[i + k]));
            }
            i += count;
            continue;
        }
        if (cp >= 0x10000) {
            *out++ = QChar::highSurrogate(cp);
            *out++ = QChar::lowSurrogate(cp);
        } else {
            *out++ = static_cast<char16_t>(cp);
        }
        i += static_cast<std::size_t>(len);
    }
    text.truncate(start + (out - begin));
}

void AppendLines(std::string_view bytes, QString& text)
{
    ForEachLine(bytes, [&text](std::string_view line, std::size_t breakLength) {
        AppendText(line, text);
        if (breakLength > 0) text += QLatin1Char('\n');
    });
}

void AppendBytes(QStringView text, std::string& out)
{
    ForEachUnit(
        text, [&out](char b) { out += b; }, [&out](char32_t cp) { AppendUtf8(cp, out); });
}

std::string TextToBytes(QStringView text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    AppendBytes(text, out);
    return out;
}

std::int64_t ByteLength(QStringView text)
{
    std::int64_t n = 0;
    ForEachUnit(
        text, [&n](char) { ++n; }, [&n](char32_t cp) { n += Utf8Length(cp); });
    return n;
}

} // namespace mus
