#pragma once
// Reading an armoured block out of a document, with no user interface: the
// header, then the body through the family of the block's method (the method
// table), the phrase exchange and the text. The Decrypt command and `mus
// decrypt` both run it, each asking the user through its own PhrasePrompt.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/block_header.h"
#include "cipher/document_lines.h"
#include "cipher/legacy_method.h"
#include "cipher/method_family.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"
#include "cipher/transport_repair.h"

namespace mus {

// The header steps with every method of the table.
inline HeaderResult ReadHeader(const DocumentLines& lines)
{
    return ReadHeader(lines, kHighestMethod);
}

// The warning for a decoded text, shown after it has been handed on: an
// early end first, then a missing CRC value, then a different one; nothing
// when the CRC value matched.
std::optional<std::string_view> DecodeWarning(const DecodedText& decoded);

struct ReadOutcome {
    std::optional<Refusal> refusal; // set when nothing was decoded
    BlockHeader header;
    DecodedText decoded; // valid when refusal is empty
    Repairs repairs;     // what the text needed undone first (DecryptDocument only)
    BlockSpan span;      // the block's lines in the document (DecryptDocument only)
};

// Every stage of Decrypt in order: the header, the phrase (asked for until
// one is the block's), then the text, decoded and handed to `sink` between
// prompt.Working(true) and prompt.Working(false); without a sink it is
// collected in `decoded.text`. For a Method 02 block the text is only what
// authenticated. A zero byte ends any text.
ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink = {},
                              Delivery delivery = Delivery::Pieces);

// Decrypt's reading of a whole document, given as its bytes with any line
// breaks. First the strict reading, ReadArmouredBlock's. When it refuses the
// block (from "The header and footer lines are not present." on), finds the
// phrase wrong, or warns, the document is read once more with transport
// damage undone (transport_repair.h); when that reading is verified, its text
// is the result and `repairs` says what was undone. Verified: Method 02's
// sealed text opens; for Methods 00 and 01 the phrase matches, the body
// holds exactly the groups the header calls for, and the CRC value is present
// and equal. Otherwise the strict reading's outcome stands. The phrase is
// asked for once: an entry is tried on both readings, and a key is derived
// once for every salt, costs and phrase.
ReadOutcome DecryptDocument(std::string_view document, PhrasePrompt& prompt, const TextSink& sink = {},
                            Delivery delivery = Delivery::Pieces);

// Receives the text whole, with the span of the block's lines it was read
// from, so that it can take their place.
using PlacedTextSink = std::function<void(const BlockSpan& span, std::string_view text)>;

// DecryptDocument for a text that takes the place of the block's lines:
// the same reading, the text handed to `sink` whole.
ReadOutcome DecryptDocument(std::string_view document, PhrasePrompt& prompt, const PlacedTextSink& sink);

// The line break that follows a text put in the place of a block's lines:
// CR LF, or nothing when the text ends with a line break of its own.
std::string_view LineBreakAfter(std::string_view text);

} // namespace mus
