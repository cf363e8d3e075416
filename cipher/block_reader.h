#pragma once
// Reading an armoured block out of a document, with no user interface: the
// header, then the body through the family of the block's method (the method
// table), the phrase exchange and the text. The Decrypt command and `mus
// decrypt` both run it, each asking the user through its own PhrasePrompt.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/block_header.h"
#include "cipher/document_lines.h"
#include "cipher/legacy_method.h"
#include "cipher/method_family.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"

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
};

// Every stage of Decrypt in order: the header, the phrase (asked for until
// one is the block's), then the text, decoded and handed to `sink` between
// prompt.Working(true) and prompt.Working(false); without a sink it is
// collected in `decoded.text`. For a Method 02 block the text is only what
// authenticated. A zero byte ends any text.
ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink = {},
                              Delivery delivery = Delivery::Pieces);

} // namespace mus
