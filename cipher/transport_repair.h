#pragma once
// Undoing what mail and chat do to a block on its way: line breaks of other
// kinds, quote marks, blanks and Unicode spaces around lines, invisible
// characters, "<br>" at line ends, blank lines, body lines wrapped at another
// width, the whole block joined into one line. The repaired view holds the
// block's header line, body lines and CRC line as a writer lays them out;
// whether it reads is the reader's business. A repair only removes line
// breaks, characters that cannot stand in a group, and "<br>" tokens: it
// never adds, drops or moves a group character.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mus {

// What a repair undid, over the block's lines.
struct Repairs {
    bool lineEnds = false;         // a line break other than CR LF
    std::int32_t quotedLines = 0;  // lines that lost a quote prefix
    std::int32_t blankedLines = 0; // lines that lost blanks or Unicode spaces before or after
    std::int32_t invisible = 0;    // zero-width characters removed
    std::int32_t brLines = 0;      // lines that lost "<br>" at their end
    std::int32_t blankLines = 0;   // blank lines removed
    bool rejoined = false;         // body lines joined and cut again at 65 characters
    bool splitFromOneLine = false; // the header and CRC lines stood on one line

    bool Any() const
    {
        return lineEnds || quotedLines > 0 || blankedLines > 0 || invisible > 0 || brLines > 0 || blankLines > 0 ||
               rejoined || splitFromOneLine;
    }
};

// The items as the user reads them, in their order, joined by "; ":
// "line ends made CR LF; quote marks removed from 12 lines".
std::string RepairItems(const Repairs& repairs);

// A block's lines in a document, as bytes: from the start of its first line
// (the START line, or the header line when no START line stands above it) to
// the end of the line break that ends its last line (the END line, or the
// CRC line), quote prefixes and blank lines within included.
struct BlockSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct RepairedBlock {
    std::string lines; // header line, body lines, CRC line, each ended by CR LF
    Repairs repairs;
    BlockSpan span;
};

// The repaired view of a block in `document` (its bytes as read, with any
// line breaks). With `locatedAt` (the offset of the line the strict reading
// took for the header line) the block that holds that line, otherwise the
// first block found. Nothing when there is no such block.
std::optional<RepairedBlock> RepairTransport(std::string_view document, std::optional<std::size_t> locatedAt);

// The offset of line `index` (0-based) as DocumentLines counts lines: every
// CR LF, lone CR and lone LF ends one.
std::size_t LineOffset(std::string_view document, std::int32_t index);

// The span of the block whose header and CRC lines begin at these offsets.
BlockSpan FindBlockSpan(std::string_view document, std::size_t headerAt, std::size_t crcAt);

} // namespace mus
