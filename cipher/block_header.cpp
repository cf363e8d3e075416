#include "cipher/block_header.h"

#include <cstdlib>

#include "cipher/armoured_block.h"
#include "cipher/messages.h"

namespace mus {

namespace {

constexpr std::size_t kShortestHeaderLine = 15;

// Reads the number before the next "/" of `rest` and removes it together with
// that "/". False when `rest` holds no "/".
bool TakeField(std::string_view& rest, std::int32_t& value)
{
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos) return false;
    value = ReadNumber(rest.substr(0, slash));
    rest.remove_prefix(slash + 1);
    return true;
}

int DigitValue(char c, int base)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::int32_t ReadNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    int base = 10;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    } else if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    std::int32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0) break;
        // A digit that would take the value beyond the 32-bit range is not
        // read: the number ends before it.
        std::int32_t next;
        if (__builtin_mul_overflow(value, base, &next) || __builtin_add_overflow(next, digit, &next)) break;
        value = next;
    }
    // The sign counts only when the number was read to its end.
    if (negative && i == text.size()) return -value;
    return value;
}

std::string FormatVersion(std::int32_t version)
{
    const std::int64_t v = version;
    const std::int64_t magnitude = std::llabs(v);
    std::string out = v < 0 ? "-" : "";
    out += std::to_string(magnitude / 100);
    out += '.';
    out += static_cast<char>('0' + magnitude % 100 / 10);
    out += static_cast<char>('0' + magnitude % 10);
    return out;
}

HeaderResult ReadHeader(const DocumentLines& lines, std::int32_t highestMethod)
{
    HeaderResult result;
    if (lines.TextLength() == 0) {
        result.refusal = Refusal::EmptyDocument;
        return result;
    }
    const TaggedLines tagged = FindTaggedLines(lines);
    if (tagged.second < 0) {
        result.refusal = Refusal::NoHeaderAndFooter;
        return result;
    }
    result.located = true;
    BlockHeader& header = result.header;
    header.headerLine = tagged.first;
    header.crcLine = tagged.second;

    const std::string headerText(lines.Line(header.headerLine));
    const std::string_view crcText = lines.Line(header.crcLine);
    header.storedCrc = ReadNumber(crcText.substr(crcText.find('/') + 1));

    std::string_view rest = headerText;
    bool valid = rest.size() >= kShortestHeaderLine;
    if (valid) {
        rest.remove_prefix(rest.find('/') + 1);
        valid = TakeField(rest, header.version) && TakeField(rest, header.method) &&
                TakeField(rest, header.phraseLength) && rest.find('/') == std::string_view::npos;
    }
    if (valid) {
        header.textLength = ReadNumber(rest);
        valid = header.textLength >= 0;
    }
    if (!valid) {
        result.refusal = Refusal::InvalidHeader;
        return result;
    }
    if (header.method > highestMethod) result.refusal = Refusal::UnsupportedMethod;
    return result;
}

std::optional<BlockHeader> WholeBlockHeader(const DocumentLines& lines, std::int32_t method, std::size_t textSize)
{
    const std::int32_t count = lines.LineCount();
    if (count < 2 || lines.Line(0) != kStartLine || lines.Line(count - 1) != kEndLine) return std::nullopt;
    const HeaderResult read = ReadHeader(lines, method);
    if (read.refusal || read.header.method != method || read.header.textLength != static_cast<std::int64_t>(textSize)) {
        return std::nullopt;
    }
    return read.header;
}

std::string RefusalMessage(Refusal refusal, const BlockHeader& header)
{
    switch (refusal) {
    case Refusal::EmptyDocument: return std::string(msg::kNoTextToDecrypt);
    case Refusal::NoHeaderAndFooter: return std::string(msg::kNoHeaderAndFooter);
    case Refusal::InvalidHeader: return std::string(msg::kInvalidHeader);
    case Refusal::UnsupportedMethod:
        return std::string(msg::kUnsupportedMethodPrefix) + FormatVersion(header.version) + ".";
    case Refusal::Damaged: return std::string(msg::kDamaged);
    case Refusal::PhraseCancelled: break;
    }
    return {};
}

} // namespace mus
