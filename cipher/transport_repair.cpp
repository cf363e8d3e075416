#include "cipher/transport_repair.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "cipher/armoured_block.h"

namespace mus {

namespace {

// How far the frame lines and blank lines around a block are looked for.
constexpr int kBlankLinesAround = 64;
constexpr int kFrameLinePieces = 4;
// The most a header field holds before the next "/".
constexpr std::size_t kLongestField = 8;
// No block's body comes near this: a header without a CRC line is no block.
constexpr std::size_t kLongestBody = std::size_t{64} << 20;

// A line of the document: its content [begin, end), its break [end, next).
// A break is a run of CRs with an LF after it, a lone CR or a lone LF, so
// that CR CR LF ends one line while CR CR, as in a text of lone CRs, ends two.
struct RawLine {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

RawLine LineAt(std::string_view text, std::size_t begin)
{
    const std::size_t size = text.size();
    // Byte by byte: a search for CR and then for LF would run to the end of a
    // text that has only one of them, for every line.
    std::size_t end = begin;
    while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
    std::size_t next = end;
    while (next < size && text[next] == '\r') ++next;
    if (next < size && text[next] == '\n') {
        ++next;
    } else if (end < size) {
        next = end + 1;
    }
    return {begin, end, next};
}

// The line that ends where the line at `begin` (> 0) starts.
RawLine LineBefore(std::string_view text, std::size_t begin)
{
    std::size_t end = begin;
    if (end > 0 && text[end - 1] == '\n') {
        --end;
        while (end > 0 && text[end - 1] == '\r') --end;
    } else if (end > 0) {
        --end; // a lone CR
    }
    std::size_t start = end;
    while (start > 0 && text[start - 1] != '\r' && text[start - 1] != '\n') --start;
    return {start, end, begin};
}

bool EndsInCrLf(std::string_view text, const RawLine& line)
{
    return line.next - line.end == 2 && text[line.end] == '\r' && text[line.end + 1] == '\n';
}

// Bytes of the blank, tab or Unicode space character that starts at `i`, or 0.
std::size_t SpaceAt(std::string_view s, std::size_t i)
{
    const auto byte = [&s](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    const unsigned b0 = byte(i), b1 = byte(i + 1), b2 = byte(i + 2);
    if (b0 == ' ' || b0 == '\t' || b0 == '\v' || b0 == '\f') return 1;
    if (b0 == 0xC2 && b1 == 0xA0) return 2;                       // U+00A0
    if (b0 == 0xE1 && b1 == 0x9A && b2 == 0x80) return 3;         // U+1680
    if (b0 == 0xE2 && b1 == 0x80 && (b2 <= 0x8A || b2 == 0xAF)) { // U+2000..U+200A, U+202F
        return b2 >= 0x80 ? 3 : 0;
    }
    if (b0 == 0xE2 && b1 == 0x81 && b2 == 0x9F) return 3; // U+205F
    if (b0 == 0xE3 && b1 == 0x80 && b2 == 0x80) return 3; // U+3000
    return 0;
}

// Bytes of the space character that ends at `end`, or 0.
std::size_t SpaceBefore(std::string_view s, std::size_t end)
{
    for (std::size_t length = 1; length <= 3 && length <= end; ++length)
        if (SpaceAt(s, end - length) == length) return length;
    return 0;
}

// Bytes of the zero-width character (U+200B, U+200C, U+200D, U+2060, U+FEFF)
// that starts at `i`, or 0.
std::size_t InvisibleAt(std::string_view s, std::size_t i)
{
    if (i + 3 > s.size()) return 0;
    const auto b0 = static_cast<unsigned char>(s[i]), b1 = static_cast<unsigned char>(s[i + 1]),
               b2 = static_cast<unsigned char>(s[i + 2]);
    if (b0 == 0xE2 && b1 == 0x80 && b2 >= 0x8B && b2 <= 0x8D) return 3;
    if (b0 == 0xE2 && b1 == 0x81 && b2 == 0xA0) return 3;
    if (b0 == 0xEF && b1 == 0xBB && b2 == 0xBF) return 3;
    return 0;
}

// Bytes of a "<br>", "<br/>" or "<br />" (any letter case) that ends `s`.
std::size_t BreakTagAtEnd(std::string_view s)
{
    for (const std::string_view tag : {"<br>", "<br/>", "<br />"}) {
        if (s.size() < tag.size()) continue;
        const std::string_view tail = s.substr(s.size() - tag.size());
        if (std::equal(tail.begin(), tail.end(), tag.begin(),
                       [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; })) {
            return tag.size();
        }
    }
    return 0;
}

// A line with transport damage undone, and what was undone.
struct CleanLine {
    RawLine raw;
    std::string text;
    bool quoted = false;
    bool blanked = false;
    bool br = false;
    std::int32_t invisible = 0;
};

CleanLine Clean(std::string_view document, const RawLine& raw)
{
    CleanLine line;
    line.raw = raw;
    const std::string_view content = document.substr(raw.begin, raw.end - raw.begin);
    line.text.reserve(content.size());
    for (std::size_t i = 0; i < content.size();) {
        if (const std::size_t n = InvisibleAt(content, i)) {
            ++line.invisible;
            i += n;
        } else {
            line.text += content[i++];
        }
    }
    std::string& text = line.text;
    for (bool more = true; more;) {
        more = false;
        if (const std::size_t n = SpaceBefore(text, text.size())) {
            text.resize(text.size() - n);
            line.blanked = more = true;
        } else if (const std::size_t tag = BreakTagAtEnd(text)) {
            text.resize(text.size() - tag);
            line.br = more = true;
        }
    }
    std::size_t start = 0;
    while (const std::size_t n = SpaceAt(text, start)) {
        start += n;
        line.blanked = true;
    }
    while (start < text.size()) {
        if (text[start] == '>') {
            line.quoted = true;
            ++start;
        } else if (const std::size_t n = line.quoted ? SpaceAt(text, start) : 0) {
            start += n;
        } else {
            break;
        }
    }
    text.erase(0, start);
    return line;
}

// Where the header at `at` ("MuS/" + three fields + the text length) ends,
// or nothing when no header stands there.
std::optional<std::size_t> HeaderEnd(std::string_view s, std::size_t at)
{
    std::size_t i = at + kBlockTag.size();
    for (int field = 0; field < 3; ++field) {
        const std::size_t slash = s.find('/', i);
        if (slash == std::string_view::npos || slash - i > kLongestField) return std::nullopt;
        i = slash + 1;
    }
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const std::size_t digits = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == digits) return std::nullopt;
    return i;
}

// The first header in `s`: where it starts and ends.
std::optional<std::pair<std::size_t, std::size_t>> FindHeader(std::string_view s)
{
    for (std::size_t at = s.find(kBlockTag); at != std::string_view::npos; at = s.find(kBlockTag, at + 1))
        if (const std::optional<std::size_t> end = HeaderEnd(s, at)) return std::make_pair(at, *end);
    return std::nullopt;
}

std::string WithoutSpaces(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        if (const std::size_t n = SpaceAt(s, i)) {
            i += n;
        } else {
            out += s[i++];
        }
    }
    return out;
}

bool IsFrameLine(const std::vector<CleanLine>& run, std::string_view frame)
{
    std::string joined;
    for (const CleanLine& line : run) joined += WithoutSpaces(line.text);
    return joined == WithoutSpaces(frame);
}

// The lines of the frame line `frame` with the blank lines between it and
// the block, walking away from `from` (up or down), or none.
std::vector<CleanLine> FrameAround(std::string_view document, const RawLine& from, bool up, std::string_view frame)
{
    std::vector<CleanLine> seen; // nearest first
    RawLine at = from;
    const auto step = [&]() -> bool {
        if (up ? at.begin == 0 : at.next >= document.size()) return false;
        at = up ? LineBefore(document, at.begin) : LineAt(document, at.next);
        seen.push_back(Clean(document, at));
        return true;
    };
    for (int blank = 0; blank <= kBlankLinesAround; ++blank) {
        if (!step()) return {};
        if (!seen.back().text.empty()) break;
    }
    if (seen.back().text.empty()) return {};
    const std::size_t blanks = seen.size() - 1;
    for (int pieces = 1; pieces <= kFrameLinePieces; ++pieces) {
        if (pieces > 1 && !step()) return {};
        std::vector<CleanLine> run(seen.begin() + static_cast<std::ptrdiff_t>(blanks), seen.end());
        if (up) std::reverse(run.begin(), run.end());
        if (IsFrameLine(run, frame)) {
            if (up) std::reverse(seen.begin(), seen.end());
            return seen;
        }
    }
    return {};
}

// The block whose header line and CRC line are these, built and counted.
RepairedBlock Build(std::string_view document, std::vector<CleanLine> lines, std::size_t headerAt,
                    std::size_t headerEnd, std::size_t crcAt)
{
    RepairedBlock block;
    Repairs& repairs = block.repairs;
    const CleanLine& first = lines.front();
    const CleanLine& last = lines.back();
    const bool oneLine = lines.size() == 1;

    // The body: what stands between the header and the CRC value. On a line
    // that also holds the header or the CRC value, the spaces that joined
    // them go.
    std::vector<std::string> pieces;
    const auto add = [&pieces](std::string piece) {
        if (!piece.empty()) pieces.push_back(std::move(piece));
    };
    if (oneLine) {
        add(WithoutSpaces(std::string_view(first.text).substr(headerEnd, crcAt - headerEnd)));
    } else {
        add(WithoutSpaces(std::string_view(first.text).substr(headerEnd)));
        for (std::size_t i = 1; i + 1 < lines.size(); ++i) add(lines[i].text);
        add(WithoutSpaces(std::string_view(last.text).substr(0, crcAt)));
    }
    std::string body;
    for (const std::string& piece : pieces) body += piece;
    std::vector<std::string> cut;
    for (std::size_t at = 0; at < body.size(); at += kBodyLineLength) cut.push_back(body.substr(at, kBodyLineLength));
    repairs.splitFromOneLine = oneLine;
    repairs.rejoined = !oneLine && cut != pieces;

    std::string_view crc = std::string_view(last.text).substr(crcAt);
    std::size_t crcEnd = kBlockTag.size();
    while (crcEnd < crc.size() && crc[crcEnd] != '*' && SpaceAt(crc, crcEnd) == 0) ++crcEnd;
    const bool restAfterCrc = crcEnd < crc.size();
    crc = crc.substr(0, crcEnd);

    block.lines = first.text.substr(headerAt, headerEnd - headerAt) + "\r\n";
    for (const std::string& line : cut) block.lines += line + "\r\n";
    block.lines += std::string(crc) + "\r\n";

    // The frame lines, with the blank lines between them and the block.
    const RawLine headerLine = first.raw;
    const RawLine crcLine = last.raw;
    if (!restAfterCrc) {
        std::vector<CleanLine> below = FrameAround(document, crcLine, false, kEndLine);
        lines.insert(lines.end(), below.begin(), below.end());
    }
    if (headerAt == 0) {
        std::vector<CleanLine> above = FrameAround(document, headerLine, true, kStartLine);
        lines.insert(lines.begin(), above.begin(), above.end());
    }
    block.span = {lines.front().raw.begin, lines.back().raw.next};
    for (const CleanLine& line : lines) {
        repairs.lineEnds = repairs.lineEnds || (line.raw.next > line.raw.end && !EndsInCrLf(document, line.raw));
        repairs.quotedLines += line.quoted;
        repairs.blankedLines += line.blanked;
        repairs.brLines += line.br;
        repairs.invisible += line.invisible;
        repairs.blankLines += line.text.empty();
    }
    return block;
}

std::string Counted(std::int32_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

} // namespace

std::string RepairItems(const Repairs& r)
{
    std::vector<std::string> items;
    if (r.lineEnds) items.emplace_back("line ends made CR LF");
    if (r.quotedLines > 0) items.push_back("quote marks removed from " + Counted(r.quotedLines, "line", "lines"));
    if (r.blankedLines > 0) items.push_back("blanks removed from " + Counted(r.blankedLines, "line", "lines"));
    if (r.invisible > 0)
        items.push_back(Counted(r.invisible, "invisible character", "invisible characters") + " removed");
    if (r.brLines > 0) items.push_back("<br> removed from " + Counted(r.brLines, "line", "lines"));
    if (r.blankLines > 0) items.push_back(Counted(r.blankLines, "blank line", "blank lines") + " removed");
    if (r.rejoined) items.emplace_back("body lines rejoined");
    if (r.splitFromOneLine) items.emplace_back("block split from one line");
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : "; ") + item;
    return joined;
}

std::optional<RepairedBlock> RepairTransport(std::string_view document, std::optional<std::size_t> locatedAt)
{
    for (std::size_t at = 0; at < document.size();) {
        const RawLine raw = LineAt(document, at);
        at = raw.next;
        // A header needs an "M" and a "/"; most lines are passed over without
        // cleaning.
        const std::size_t length = raw.end - raw.begin;
        if (std::memchr(document.data() + raw.begin, 'M', length) == nullptr ||
            std::memchr(document.data() + raw.begin, '/', length) == nullptr) {
            continue;
        }
        std::vector<CleanLine> lines{Clean(document, raw)};
        const auto header = FindHeader(lines.front().text);
        if (!header) continue;
        if (locatedAt && raw.begin > *locatedAt) return std::nullopt;

        // The CRC value: the next tag after the header, on this line or below.
        std::size_t crcAt = lines.front().text.find(kBlockTag, header->second);
        std::size_t collected = 0;
        while (crcAt == std::string::npos) {
            if (at >= document.size() || collected > kLongestBody) return std::nullopt;
            const RawLine next = LineAt(document, at);
            at = next.next;
            lines.push_back(Clean(document, next));
            collected += lines.back().text.size();
            crcAt = lines.back().text.find(kBlockTag);
        }
        if (locatedAt && lines.back().raw.begin < *locatedAt) continue; // the located line lies further on
        return Build(document, std::move(lines), header->first, header->second, crcAt);
    }
    return std::nullopt;
}

std::size_t LineOffset(std::string_view document, std::int32_t index)
{
    std::int32_t line = 0;
    for (std::size_t i = 0; i < document.size() && line < index; ++i) {
        const char c = document[i];
        if (c != '\r' && c != '\n') continue;
        if (c == '\r' && i + 1 < document.size() && document[i + 1] == '\n') ++i;
        if (++line == index) return i + 1;
    }
    return index <= 0 ? 0 : document.size();
}

BlockSpan FindBlockSpan(std::string_view document, std::size_t headerAt, std::size_t crcAt)
{
    const RawLine header = LineAt(document, headerAt);
    const RawLine crc = LineAt(document, crcAt);
    BlockSpan span{header.begin, crc.next};
    const std::vector<CleanLine> above = FrameAround(document, header, true, kStartLine);
    if (!above.empty()) span.begin = above.front().raw.begin;
    const std::vector<CleanLine> below = FrameAround(document, crc, false, kEndLine);
    if (!below.empty()) span.end = below.back().raw.next;
    return span;
}

} // namespace mus
