// Any bytes, opened as a document, come back unchanged but for their line
// breaks, which become CR LF: bytes -> editor text -> bytes loses nothing, and
// the text holds none of the characters the editor's text document would
// turn into line breaks of its own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <QString>

#include "cipher/document_lines.h"
#include "editor/document/byte_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view raw(reinterpret_cast<const char*>(data), size);
    if (mus::TextToBytes(mus::BytesToText(raw)) != raw) std::abort();

    const std::string normalised = mus::NormaliseLineBreaks(raw);
    if (mus::NormaliseLineBreaks(normalised) != normalised) std::abort();
    const QString text = mus::BytesToText(normalised);
    if (mus::TextToBytes(text) != normalised) std::abort();
    if (mus::ByteLength(text) != std::int64_t(normalised.size())) std::abort();
    for (const QChar c : text) {
        if (c == QChar::ParagraphSeparator || c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1) std::abort();
    }
    // Every break is CR LF, and nothing but breaks changed.
    for (std::size_t i = 0; i < normalised.size(); ++i) {
        if (normalised[i] == '\r' && (i + 1 == normalised.size() || normalised[i + 1] != '\n')) std::abort();
        if (normalised[i] == '\n' && (i == 0 || normalised[i - 1] != '\r')) std::abort();
    }
    const auto withoutBreaks = [](std::string_view s) {
        std::string out;
        for (const char c : s)
            if (c != '\r' && c != '\n') out += c;
        return out;
    };
    if (withoutBreaks(raw) != withoutBreaks(normalised)) std::abort();
    return 0;
}
