#include "cipher/document_lines.h"

#include <algorithm>

namespace mus {

TextLines::TextLines(std::string_view text) : text_(text)
{
    std::size_t start = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    std::int64_t loneBreaks = 0;
    while (i < n) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines_.push_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
            i += 2;
        } else {
            ++loneBreaks;
            ++i;
        }
        start = i;
    }
    // A last line after the final break counts only when it holds something.
    if (start < n) lines_.push_back(text.substr(start));
    length_ = static_cast<std::int64_t>(n) + loneBreaks;
}

std::int64_t TextLines::TextLength() const
{
    return length_;
}

std::int32_t TextLines::LineCount() const
{
    return static_cast<std::int32_t>(std::min<std::size_t>(lines_.size(), INT32_MAX));
}

std::string_view TextLines::Line(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= lines_.size()) return {};
    return lines_[static_cast<std::size_t>(index)].substr(0, kMaxLineLength);
}

std::string NormaliseLineBreaks(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < n && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace mus
