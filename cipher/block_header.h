#pragma once
// The header line and the CRC line of a block: locating them in a document,
// reading their fields, and the refusals a reading can end with.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/document_lines.h"

namespace mus {

enum class Refusal {
    EmptyDocument,     // "There is no text to decrypt."
    NoHeaderAndFooter, // fewer than two lines begin with the block tag
    InvalidHeader,     // includes a negative text length
    UnsupportedMethod, // a method above the reader's; message names the formatted version
    PhraseCancelled,   // the user gave up at the phrase prompt (no message)
    Damaged,           // a Method 02 block that is damaged or was altered
};

struct BlockHeader {
    std::int32_t headerLine = 0; // 0-based line indices
    std::int32_t crcLine = 0;
    std::int32_t version = 0;
    std::int32_t method = 0;
    std::int32_t phraseLength = 0; // P
    std::int32_t textLength = 0;   // L
    std::int32_t storedCrc = 0;    // 0: the block carries no CRC information
};

struct HeaderResult {
    std::optional<Refusal> refusal; // empty when `header` is usable
    BlockHeader header;
    bool located = false; // the header and CRC lines were found
};

// Steps up to the method test: empty document, locating the header and CRC
// lines, validating the header, refusing a method above `highestMethod`.
HeaderResult ReadHeader(const DocumentLines& lines, std::int32_t highestMethod);

// The header of `lines` when they are one whole block, START line to END
// line, of `method` with a text of `textSize` bytes: what Encrypt checks of
// the block it wrote.
std::optional<BlockHeader> WholeBlockHeader(const DocumentLines& lines, std::int32_t method, std::size_t textSize);

// The message box text for a refusal (empty for PhraseCancelled).
std::string RefusalMessage(Refusal refusal, const BlockHeader& header);

// Lenient number reading of the header and CRC fields; never fails.
std::int32_t ReadNumber(std::string_view text);

// The version field as the unsupported-method message names it: 120 -> "1.20".
std::string FormatVersion(std::int32_t version);

// ceil(n / 3) by integer division: the groups of n bytes; none for a count
// of 0 or below.
constexpr std::int32_t GroupCount(std::int32_t n)
{
    if (n <= 0) return 0;
    return n / 3 + (n % 3 > 0 ? 1 : 0);
}

} // namespace mus
