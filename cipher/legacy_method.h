#pragma once
// Methods 00 and 01: the keystream family. The text is XORed with the
// keystream of the phrase and written as groups of the method's alphabet;
// the phrase itself stands encrypted at the start of the body.

#include <cstdint>
#include <string>
#include <string_view>

#include "cipher/block_header.h"
#include "cipher/document_lines.h"
#include "cipher/method_family.h"

namespace mus {

// True when `phrase` (already folded) is the block's phrase.
bool PhraseMatches(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase);

// Decodes the text groups. Reading ends early at the CRC line. With a sink,
// the text goes to it as it is decoded and `text` stays empty; without, it is
// collected in `text`. IntegerOverflow when a crafted body overflows the
// computed CRC value, always before the sink has received anything.
DecodedText DecodeText(const DocumentLines& lines, const BlockHeader& header, std::string_view phrase,
                       const TextSink& sink = {});

// What DecodeText would warn about (an early end, the CRC value missing or
// different), found without decoding: none of it depends on the phrase.
DecodedText TextWarnings(const DocumentLines& lines, const BlockHeader& header);

// True when the body holds exactly the groups the header calls for, in full
// lines of the writer's layout but for a shorter last one, every character
// of the method's alphabet.
bool BodyIsExact(const DocumentLines& lines, const BlockHeader& header);

class LegacyFamily final : public MethodFamily {
public:
    std::string FoldPhrase(std::string_view entered) const override;
    std::unique_ptr<WrittenBlock> Write(std::string_view text, std::string& phrase, const MethodInfo& method,
                                        Costs costs, const LineSink& sink) const override;
    std::unique_ptr<FamilyReading> BeginReading(const MethodInfo& method) const override;
};

extern const LegacyFamily kLegacyFamily;

} // namespace mus
