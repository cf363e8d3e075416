#pragma once
// The armoured block: its fixed lines, the writer of Methods 00 and 01 and
// the detection rule.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/document_lines.h"
#include "cipher/group_codec.h"

namespace mus {

inline constexpr std::string_view kStartLine = "********************** START  Murmurscript **********************";
inline constexpr std::string_view kEndLine = "**********************  END   Murmurscript **********************";
inline constexpr std::string_view kBlockTag = "MuS/";
// The version field of the blocks of Methods 00 and 01.
inline constexpr std::string_view kWriterVersion = "0120";

// The longest text of Methods 00 and 01, in bytes.
inline constexpr std::int32_t kMaxTextLength = 22528; // 22 x 1024 bytes
// The longest phrase of Methods 00 and 01, in bytes.
inline constexpr std::int32_t kMaxPhraseLength = 16;
inline constexpr std::int32_t kGroupsPerLine = 16;
inline constexpr std::int32_t kBodyLineLength = 1 + 4 * kGroupsPerLine; // "C" and the groups: 65

// Receives each line of a block in order, without its CR LF.
using LineSink = std::function<void(std::string_view line)>;

// The refusal of a text of `length` bytes (every line break counting two)
// that no block can hold: an empty one, or one longer than kMaxTextLength.
// Nothing when the text can be encrypted.
std::optional<std::string_view> EncryptRefusal(std::int64_t length);

// Writes the block for `text` (1..kMaxTextLength bytes), `phrase` (0..16
// bytes, already folded to upper case) and `method` (0 or 1), one line at a
// time from the START line to the END line. Seeds Keystream() itself, twice.
void WriteArmouredBlock(std::string_view text, std::string_view phrase, std::int32_t method, const LineSink& sink);

namespace detail {

// "MuS/" + version + "/" + the method as two digits + "/" + phrase field +
// "/" + text length: the header line as a writer writes it.
std::string HeaderLine(std::string_view version, std::int32_t method, std::size_t phraseField, std::size_t textLength);

// "MuS/" + the CRC value in decimal.
std::string CrcLine(std::int32_t crc);

// The body lines as a writer fills them: "C", then up to kGroupsPerLine
// groups. A full line is handed to the sink only when another group
// follows it; the last one, full or not, by Finish().
class BodyLines {
public:
    explicit BodyLines(const LineSink& sink) : sink_(sink) {}

    // How many more groups fit on the line, at least one: a full line is
    // handed on first.
    std::size_t Free()
    {
        if (length_ == kLength) {
            sink_(std::string_view(line_, length_));
            length_ = 1;
        }
        return (kLength - length_) / 4;
    }
    // Where the next group's four characters go.
    char* Next() { return line_ + length_; }
    // `groups` more groups were written at Next().
    void Wrote(std::size_t groups) { length_ += 4 * groups; }
    void Finish() { sink_(std::string_view(line_, length_)); }

private:
    static constexpr std::size_t kLength = kBodyLineLength;
    const LineSink& sink_;
    char line_[kLength] = {'C'};
    std::size_t length_ = 1;
};

} // namespace detail

// True when the line's first four characters are exactly the block tag.
inline bool StartsWithBlockTag(std::string_view line) noexcept
{
    return line.substr(0, kBlockTag.size()) == kBlockTag;
}

// The first two lines (0-based) that begin with the block tag, -1 where the
// document has none: the header line and the CRC line of its first block.
struct TaggedLines {
    std::int32_t first = -1;
    std::int32_t second = -1;
};
TaggedLines FindTaggedLines(const DocumentLines& lines);

// The document holds a block when at least two of its lines begin with the tag.
bool IsEncryptedText(const DocumentLines& lines);

// The same rule over a text that arrives in pieces, cut anywhere: counts
// the lines that begin with the tag, keeping no more than the state of the
// line in hand.
class TaggedLineCounter {
public:
    void Feed(std::string_view piece);
    std::int32_t Count() const { return count_; }

private:
    std::int32_t matched_ = 0; // bytes of the tag at the start of this line; -1: it does not count
    std::int32_t count_ = 0;
};

} // namespace mus
