#pragma once
// What a method family does for the engine, behind one interface: writing a
// block, reading a block's body after its header, and the check that Encrypt
// makes on the block it wrote. Each row of the method table (methods.h)
// points to its family; the engine reaches a family only through the table.
// A family owns how it folds a phrase and how long a phrase and a text may be.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cipher/armoured_block.h"
#include "cipher/block_header.h"
#include "cipher/document_lines.h"
#include "cipher/phrase.h"

namespace mus {

// The Argon2id costs a key derivation takes: passes, and the memory as log2
// of KiB. Families that derive no key ignore them.
struct Costs {
    std::uint8_t passes = 0;
    std::uint8_t memoryLog2 = 0;
    friend bool operator==(const Costs&, const Costs&) = default;
};

inline constexpr Costs kDefaultCosts{3, 16}; // 3 passes over 64 MiB
// The bounds a reader keeps to before it derives a key: at least 1 pass over
// 8 KiB (what the tests use), at most 3 passes over 256 MiB.
inline constexpr Costs kMinimumCosts{1, 3};
inline constexpr Costs kHighestCosts{3, 18};

constexpr bool WithinReaderBounds(Costs costs) noexcept
{
    return costs.passes >= kMinimumCosts.passes && costs.passes <= kHighestCosts.passes &&
           costs.memoryLog2 >= kMinimumCosts.memoryLog2 && costs.memoryLog2 <= kHighestCosts.memoryLog2;
}

// Receives decoded text piece by piece, in order.
using TextSink = std::function<void(std::string_view piece)>;

// How the text reaches the sink: piece by piece as it is decoded (`mus`
// writing it out), or whole in one call (the editor, whose text is replaced
// in one step). A Method 02 text always comes whole.
enum class Delivery { Pieces, Whole };

struct DecodedText {
    std::string text;        // decoded bytes (first L, or what was read), cut at a zero byte
    bool endedEarly = false; // the body ran out before every text group was read
    bool crcMissing = false; // complete, stored CRC value 0
    bool crcDiffers = false; // complete, stored value differs from the computed one
};

class MethodFamily;

// One row of the method table.
struct MethodInfo {
    std::int32_t code;
    std::string_view field;         // in the header line and on `mus`'s command line: "00"
    std::string_view name;          // "Method 00"
    std::string_view note;          // the method dialog's line below the name
    std::string_view writerVersion; // the header's version field of its blocks
    bool needsPhrase;
    std::int32_t phraseLimit; // bytes of folded UTF-8
    std::int32_t textLimit;   // bytes of the text to encrypt
    const MethodFamily* family;
};

// What Encrypt keeps of the block it wrote, to check the block read back
// before it replaces the document. Holds the phrase or key until it goes.
class WrittenBlock {
public:
    virtual ~WrittenBlock() = default;
    // True when `block` is one whole block, START line to END line, that
    // decrypts to `text`.
    [[nodiscard]] virtual bool DecodesTo(std::string_view block, std::string_view text) const = 0;
};

// How far a body must be checked before its text is taken.
enum class BodyCheck {
    NoWarning, // it decodes whole, with nothing to warn about
    Verified,  // and more: nothing but whole groups, a CRC value present and equal
};

// One block's body, read up to its phrase. The lines it was opened on must
// outlive it.
class BlockBody {
public:
    virtual ~BlockBody() = default;

    // A phrase is asked for before the text can be decoded.
    virtual bool NeedsPhrase() const = 0;
    // True when `entered` (as a prompt gave it; the family folds it) is the
    // block's phrase, which Decode then uses. A slow step runs between
    // prompt.Working(true) and prompt.Working(false).
    [[nodiscard]] virtual bool Unlock(std::string_view entered, PhrasePrompt& prompt) = 0;
    // A phrase that is not the block's ends the reading as damaged rather
    // than being asked for again.
    virtual bool MismatchIsDamage() const { return false; }
    // Whether the text passes `check` (with the unlocked phrase); nothing is
    // handed on.
    [[nodiscard]] virtual bool Passes(BodyCheck check) = 0;
    // Decodes the text and hands it to `sink`, or collects it in the
    // result's text without one. The refusal when nothing may be handed on.
    struct Result {
        std::optional<Refusal> refusal;
        DecodedText decoded;
    };
    virtual Result Decode(const TextSink& sink, Delivery delivery) = 0;
};

// One run's reading of blocks of one family: the bodies it opens may share
// what it learns (a key derived for one is not derived again for another).
class FamilyReading {
public:
    virtual ~FamilyReading() = default;

    struct Opened {
        std::optional<Refusal> refusal; // Damaged or UnsupportedMethod when `body` is empty
        std::unique_ptr<BlockBody> body;
    };
    // Reads the body of the block `header` describes as far as it can be read
    // without a phrase.
    virtual Opened Open(const DocumentLines& lines, const BlockHeader& header) = 0;
};

class MethodFamily {
public:
    virtual ~MethodFamily() = default;

    // The phrase bytes a block of the family takes for a phrase as a prompt
    // gave it. Every phrase that reaches Write and Unlock passes through it.
    virtual std::string FoldPhrase(std::string_view entered) const = 0;

    // Whether a new phrase is rated for how easily it is guessed: true for a
    // family whose key comes from the phrase alone.
    virtual bool RatesPhrase() const { return false; }

    // Writes the block of `text` (1 to method.textLimit bytes) under
    // `method`, START line to END line, into `sink`. The phrase is wiped once
    // it is no longer needed. What is kept for the check of the block.
    virtual std::unique_ptr<WrittenBlock> Write(std::string_view text, std::string& phrase, const MethodInfo& method,
                                                Costs costs, const LineSink& sink) const = 0;

    // A new reading for one run of Decrypt.
    virtual std::unique_ptr<FamilyReading> BeginReading(const MethodInfo& method) const = 0;
};

// What the method takes of a phrase, for the phrase flows and prompts.
inline PhraseRule PhraseRuleOf(const MethodInfo& method)
{
    return {method.phraseLimit, method.needsPhrase, method.family->RatesPhrase(), method.family};
}

} // namespace mus
