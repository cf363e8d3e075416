#include "cipher/document_lines.h"

#include <algorithm>
#include <cstring>

namespace mus {

namespace {

constexpr std::int32_t kMarkSpacing = 4096;

} // namespace

TextLines::TextLines(std::string_view text) : text_(text)
{
    // Breaks are every CR and every LF but the LF of a CR LF pair.
    std::size_t crs = 0;
    std::size_t lfs = 0;
    std::size_t pairs = 0;
    char previous = 0;
    for (const char c : text) {
        crs += c == '\r';
        lfs += c == '\n';
        pairs += c == '\n' && previous == '\r';
        previous = c;
    }
    const std::size_t breaks = crs + lfs - pairs;
    // A last line after the final break counts only when it holds something.
    const bool openLastLine = !text.empty() && text.back() != '\r' && text.back() != '\n';
    count_ = static_cast<std::int32_t>(std::min<std::size_t>(breaks + (openLastLine ? 1 : 0), INT32_MAX));
    length_ = static_cast<std::int64_t>(text.size() + breaks - pairs);
    marks_.push_back(0);
}

std::int64_t TextLines::TextLength() const
{
    return length_;
}

std::int32_t TextLines::LineCount() const
{
    return count_;
}

std::string_view TextLines::Line(std::int32_t index) const
{
    if (index < 0 || index >= count_) return {};
    const std::size_t start = LineStart(index);
    return text_.substr(start, std::min<std::size_t>(LineEnd(start) - start, kMaxLineLength));
}

std::size_t TextLines::LineStart(std::int32_t index) const
{
    const std::size_t mark = std::min(static_cast<std::size_t>(index / kMarkSpacing), marks_.size() - 1);
    std::int32_t line = static_cast<std::int32_t>(mark) * kMarkSpacing;
    std::size_t start = marks_[mark];
    if (cursorLine_ <= index && cursorLine_ > line) {
        line = cursorLine_;
        start = cursorStart_;
    }
    while (line < index) {
        start = NextLineStart(start);
        ++line;
        if (line % kMarkSpacing == 0 && static_cast<std::size_t>(line / kMarkSpacing) == marks_.size())
            marks_.push_back(start);
    }
    cursorLine_ = line;
    cursorStart_ = start;
    return start;
}

std::size_t TextLines::LineEnd(std::size_t start) const
{
    // The next LF is remembered, so a text of CR breaks alone is not searched
    // to its end for every line.
    if (start < lfFrom_ || start > nextLf_) {
        const void* lf = std::memchr(text_.data() + start, '\n', text_.size() - start);
        lfFrom_ = start;
        nextLf_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) : text_.size();
    }
    const void* cr = std::memchr(text_.data() + start, '\r', nextLf_ - start);
    return cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - text_.data()) : nextLf_;
}

std::size_t TextLines::NextLineStart(std::size_t start) const
{
    const std::size_t end = LineEnd(start);
    if (end == text_.size()) return end;
    const bool crLf = text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n';
    return end + (crLf ? 2 : 1);
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
