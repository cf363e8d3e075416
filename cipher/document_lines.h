#pragma once
// The document as the cipher commands see it: its byte length and its logical
// lines (the text between line breaks, never lines as a display wraps them).

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace mus {

// The largest document, in bytes: what the editor holds, and what mus reads.
inline constexpr std::int64_t kDocumentCapacity = std::int64_t{256} << 20; // 256 MiB

// Only this much of one line is ever read.
inline constexpr std::int32_t kMaxLineLength = 4096;

class DocumentLines {
public:
    virtual ~DocumentLines() = default;

    // Bytes of the whole text, each line break counting two (CR LF).
    virtual std::int64_t TextLength() const = 0;

    // Number of lines; an empty last line after a final line break is not counted.
    virtual std::int32_t LineCount() const = 0;

    // Line `index` (0-based) without its line break, at most kMaxLineLength
    // bytes of it; empty past the last line. The view stays valid until the
    // next call of Line on the same object.
    virtual std::string_view Line(std::int32_t index) const = 0;
};

// Lines over a byte string whose line breaks are CR LF, lone CR or lone LF.
// The string must outlive this object. No record is kept per line: a line is
// found by walking from the nearest line start known before it (the line
// last read, or one remembered every few thousand lines on the way), so
// reading the lines in order costs one step each.
class TextLines final : public DocumentLines {
public:
    explicit TextLines(std::string_view text);
    // The lines are views into the text: a temporary would leave them dangling.
    explicit TextLines(std::string&&) = delete;
    explicit TextLines(const char* text) : TextLines(std::string_view(text)) {}

    std::int64_t TextLength() const override;
    std::int32_t LineCount() const override;
    std::string_view Line(std::int32_t index) const override;

private:
    std::size_t LineStart(std::int32_t index) const;
    std::size_t LineEnd(std::size_t start) const; // where its break (or the text) begins
    std::size_t NextLineStart(std::size_t start) const;

    std::string_view text_;
    std::int64_t length_ = 0; // with every break counted as two bytes
    std::int32_t count_ = 0;
    mutable std::vector<std::size_t> marks_; // start of every kMarkSpacing-th line
    mutable std::int32_t cursorLine_ = 0;    // the line last found, and its start
    mutable std::size_t cursorStart_ = 0;
    mutable std::size_t lfFrom_ = 1; // no LF in [lfFrom_, nextLf_); empty at first
    mutable std::size_t nextLf_ = 0;
};

// Calls `line(text, breakLength)` for each line of `bytes` in order: the
// line without its break, and the break's length (2 for CR LF, 1 for a lone
// CR or LF, 0 for a last line without a break). A final break is followed
// by no call for the empty line after it.
template <typename LineFunction>
void ForEachLine(std::string_view bytes, LineFunction&& line)
{
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    // The next LF is remembered, so a text with CR breaks alone is not
    // searched to its end at every line.
    const char* lf = nullptr;
    while (p < end) {
        if (lf == nullptr || lf < p) {
            lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            if (lf == nullptr) lf = end;
        }
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(lf - p)));
        const char* stop = cr != nullptr ? cr : lf;
        const std::size_t breakLength = stop == end ? 0 : stop == cr && stop + 1 == lf && lf != end ? 2 : 1;
        line(std::string_view(p, static_cast<std::size_t>(stop - p)), breakLength);
        p = stop + breakLength;
        if (breakLength == 0) break;
    }
}

// Every lone CR and every lone LF becomes CR LF; a CR LF pair stays one break
// (so LF CR becomes two breaks).
std::string NormaliseLineBreaks(std::string_view text);

} // namespace mus
