#pragma once
// Reading an armoured block out of a document, in stages, with no user
// interface: the Decrypt command and `mus decrypt` put the dialogs, boxes and
// cursor between the stages.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "document_lines.h"
#include "methods.h"

namespace mus {

enum class Refusal {
    EmptyDocument,      // "There is no text to decrypt."
    NoHeaderAndFooter,  // fewer than two lines begin with the block tag
    InvalidHeader,      // includes a negative text length
    UnsupportedMethod,  // a method above the reader's; message names the formatted version
    PhraseCancelled,    // the user gave up at the phrase prompt (no message)
    Damaged,            // a Method 02 block that is damaged or was altered
};

struct BlockHeader {
    std::int32_t headerLine = 0;   // 0-based line indices
    std::int32_t crcLine = 0;
    std::int32_t version = 0;
    std::int32_t method = 0;
    std::int32_t phraseLength = 0;  // P
    std::int32_t textLength = 0;    // L
    std::int32_t storedCrc = 0;     // 0: the block carries no CRC information
};

struct HeaderResult {
    std::optional<Refusal> refusal;  // empty when `header` is usable
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
    std::string text;          // decoded bytes (first L, or what was read), cut at a zero byte
    bool endedEarly = false;   // the body ran out before every text group was read
    bool crcMissing = false;   // complete, stored CRC value 0
    bool crcDiffers = false;   // complete, stored value differs from the computed one
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

// Asks for the phrase of a protected block, one attempt at a time.
class PhrasePrompt {
public:
    virtual ~PhrasePrompt() = default;
    // The entered phrase, or nothing when the user gave up.
    virtual std::optional<std::string> Ask() = 0;
    // The entered phrase did not match; true to ask again.
    virtual bool RetryAfterMismatch() = 0;
    // Called with true before a slow step (a key derivation) and with false
    // after it, before anything else is asked or told.
    virtual void Working(bool /*busy*/) {}
};

// Asks until the entered phrase is the phrase of a Method 00 or 01 block:
// the phrase, or nothing when the user gave up.
std::optional<std::string> AskForMatchingPhrase(const DocumentLines& lines, const BlockHeader& header,
                                                PhrasePrompt& prompt);

struct ReadOutcome {
    std::optional<Refusal> refusal;  // set when nothing was decoded
    BlockHeader header;
    DecodedText decoded;             // valid when refusal is empty
};

// All stages in order, for callers without a busy cursor to set; for a
// Method 02 block the text is only what authenticated. The text goes to
// `sink` as DecodeText says.
ReadOutcome ReadArmouredBlock(const DocumentLines& lines, PhrasePrompt& prompt, const TextSink& sink = {});

} // namespace mus
