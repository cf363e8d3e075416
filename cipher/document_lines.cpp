#include "cipher/document_lines.h"

#include <algorithm>
#include <cstring>

namespace mus {

TextLines::TextLines(std::string_view text) : text_(text)
{
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* start = begin;
    // The next LF at or after `start`, found with memchr; a CR before it
    // ends a line as well.
    const char* lf = nullptr;
    std::int64_t loneBreaks = 0;
    while (start < end) {
        if (!lf || lf < start) {
            lf = static_cast<const char*>(std::memchr(start, '\n', static_cast<std::size_t>(end - start)));
            if (!lf) lf = end;
        }
        const char* cr = static_cast<const char*>(std::memchr(start, '\r', static_cast<std::size_t>(lf - start)));
        const char* stop = cr ? cr : lf;
        if (stop == end) break;
        lines_.emplace_back(start, static_cast<std::size_t>(stop - start));
        if (cr && cr + 1 == lf && lf != end) {
            start = lf + 1;  // CR LF
        } else {
            ++loneBreaks;
            start = stop + 1;
        }
    }
    // A last line after the final break counts only when it holds something.
    if (start < end) lines_.emplace_back(start, static_cast<std::size_t>(end - start));
    length_ = static_cast<std::int64_t>(text.size()) + loneBreaks;
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
