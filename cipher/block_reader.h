#pragma once
// Reading an armoured block out of a document, in stages, with no user
// interface: the Decrypt command and `mus decrypt` both run all of them
// through ReadArmouredBlock, each asking the user through its own
// PhrasePrompt.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/document_lines.h"
#include "cipher/methods.h"
#include "cipher/phrase.h"

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
};

// Steps up to the method test: empty document, locating the header and CRC
// lines, validating the header, refusing a method above `highestMethod` (a
// test can make a reader of Methods 00 and 01 alone).
HeaderResult ReadHeader(const DocumentLines& lines, std::int32_t highestMethod = kHighestMethod);

// The message box text for a refusal (empty for PhraseCancelled).
std::string RefusalMessage(Refusal refusal, const BlockHeader& header);

// True when `phrase` (as entered, already upper case) is the block's phrase
// (Methods 00 and 01).
bool PhraseMatches(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase);

struct DecodedText {
    std::string text;        // decoded bytes (first L, or what was read), cut at a zero byte
    bool endedEarly = false; // the body ran out before every text group was read
    bool crcMissing = false; // complete, stored CRC value 0
    bool crcDiffers = false; // complete, stored value differs from the computed one
};

// Receives decoded text piece by piece, in order.
using TextSink = std::function<void(std::string_view piece)>;

// Decodes the text groups. Reading ends early at the CRC line. With a sink,
// the text goes to it as it is decoded and `text` stays empty; without, it is
// collected in `text`. IntegerOverflow when a crafted body overflows the
// computed CRC value, always before the sink has received anything.
DecodedText DecodeText(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase,
                       const TextSink& sink = {});

// Lenient number reading of the header and CRC fields; never fails.
std::int32_t ReadNumber(std::string_view text);

// The version field as the unsupported-method message names it: 120 -> "1.20".
std::string FormatVersion(std::int32_t version);

// Asks until the entered phrase is the phrase of a Method 00 or 01 block:
// the phrase, or nothing when the user gave up.
std::optional<std::string> AskForMatchingPhrase(const DocumentLines& lines, const BlockHeader& header,
                                                PhrasePrompt& prompt);

// The warning for a decoded text, shown after it has been handed on: an
// early end first, then a missing CRC value, then a different one; nothing
// when the CRC value matched.
std::optional<std::string_view> DecodeWarning(const DecodedText& decoded);

struct ReadOutcome {
    std::optional<Refusal> refusal; // set when nothing was decoded
    BlockHeader header;
    DecodedText decoded; // valid when refusal is empty
};

// How the text reaches the sink: piece by piece as it is decoded (`mus`
// writing it out), or whole in one call (the editor, whose text is replaced
// in one step). A Method 02 text always comes whole.
enum class Delivery { Pieces, Whole };

// Every stage of Decrypt in order: the header, the phrase (a matching one,
// or for Method 02 one whose key passes the block's check), then the text,
// decoded and handed to `sink` between prompt.Working(true) and
// prompt.Working(false); without a sink it is collected in `decoded.text`.
// For a Method 02 block the text is only what authenticated. A zero byte
// ends any text.
ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink = {},
                              Delivery delivery = Delivery::Pieces);

} // namespace mus
