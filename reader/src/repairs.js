// Undoing what mail and chat do to a block on its way: line breaks of other
// kinds, quote marks, blanks and Unicode spaces around lines, invisible
// characters, "<br>" at line ends, blank lines, body lines wrapped at another
// width, the whole block joined into one line. The repaired view holds the
// header line, body lines and CRC line as a writer lays them out; whether it
// reads is the reader's business. A repair only removes line breaks,
// characters that cannot stand in a group, and "<br>" tokens.
//
// Works on binary strings of UTF-8 bytes, as format.js does.

import { BLOCK_TAG, BODY_LINE_LENGTH, END_LINE, START_LINE } from "./format.js";

const BLANK_LINES_AROUND = 64;
const FRAME_LINE_PIECES = 4;
const LONGEST_FIELD = 8;
const LONGEST_BODY = 64 * 1024 * 1024;

// A line: its content [begin, end), its break [end, next). A break is a run
// of CRs with an LF after it or not, or a lone LF.
const LINE_BREAK = /[\r\n]/g;

function lineAt(text, begin) {
    // One search for either: a search for CR and then for LF would run to
    // the end of a text that has only one of them, for every line.
    LINE_BREAK.lastIndex = begin;
    const found = LINE_BREAK.exec(text);
    const end = found ? found.index : text.length;
    let next = end;
    if (next < text.length && text[next] === "\r") {
        while (next < text.length && text[next] === "\r") ++next;
        if (next < text.length && text[next] === "\n") ++next;
    } else if (next < text.length) {
        ++next;
    }
    return { begin, end, next };
}

function lineBefore(text, begin) {
    let end = begin;
    if (end > 0 && text[end - 1] === "\n") --end;
    while (end > 0 && text[end - 1] === "\r") --end;
    let start = end;
    while (start > 0 && text[start - 1] !== "\r" && text[start - 1] !== "\n") --start;
    return { begin: start, end, next: begin };
}

function endsInCrLf(text, line) {
    return line.next - line.end === 2 && text[line.end] === "\r" && text[line.end + 1] === "\n";
}

// Bytes of the blank, tab or Unicode space character at `i`, or 0.
function spaceAt(s, i) {
    const byte = (k) => (k < s.length ? s.charCodeAt(k) : 0);
    const b0 = byte(i), b1 = byte(i + 1), b2 = byte(i + 2);
    if (b0 === 0x20 || b0 === 0x09 || b0 === 0x0b || b0 === 0x0c) return 1;
    if (b0 === 0xc2 && b1 === 0xa0) return 2; // U+00A0
    if (b0 === 0xe1 && b1 === 0x9a && b2 === 0x80) return 3; // U+1680
    if (b0 === 0xe2 && b1 === 0x80 && (b2 <= 0x8a || b2 === 0xaf)) return b2 >= 0x80 ? 3 : 0; // U+2000..U+200A, U+202F
    if (b0 === 0xe2 && b1 === 0x81 && b2 === 0x9f) return 3; // U+205F
    if (b0 === 0xe3 && b1 === 0x80 && b2 === 0x80) return 3; // U+3000
    return 0;
}

function spaceBefore(s, end) {
    for (let length = 1; length <= 3 && length <= end; ++length) if (spaceAt(s, end - length) === length) return length;
    return 0;
}

// Bytes of the zero-width character (U+200B..U+200D, U+2060, U+FEFF) at `i`.
function invisibleAt(s, i) {
    if (i + 3 > s.length) return 0;
    const b0 = s.charCodeAt(i), b1 = s.charCodeAt(i + 1), b2 = s.charCodeAt(i + 2);
    if (b0 === 0xe2 && b1 === 0x80 && b2 >= 0x8b && b2 <= 0x8d) return 3;
    if (b0 === 0xe2 && b1 === 0x81 && b2 === 0xa0) return 3;
    if (b0 === 0xef && b1 === 0xbb && b2 === 0xbf) return 3;
    return 0;
}

function breakTagAtEnd(s) {
    const lower = s.slice(-6).toLowerCase();
    for (const tag of ["<br>", "<br/>", "<br />"]) if (lower.endsWith(tag)) return tag.length;
    return 0;
}

function clean(document, raw) {
    const line = { raw, text: "", quoted: false, blanked: false, br: false, invisible: 0 };
    const content = document.slice(raw.begin, raw.end);
    const kept = [];
    for (let i = 0; i < content.length;) {
        const n = invisibleAt(content, i);
        if (n) {
            ++line.invisible;
            i += n;
        } else {
            kept.push(content[i++]);
        }
    }
    let text = kept.join("");
    for (let more = true; more;) {
        more = false;
        const n = spaceBefore(text, text.length);
        if (n) {
            text = text.slice(0, text.length - n);
            line.blanked = more = true;
        } else {
            const tag = breakTagAtEnd(text);
            if (tag) {
                text = text.slice(0, text.length - tag);
                line.br = more = true;
            }
        }
    }
    let start = 0;
    for (let n; (n = spaceAt(text, start));) {
        start += n;
        line.blanked = true;
    }
    while (start < text.length) {
        if (text[start] === ">") {
            line.quoted = true;
            ++start;
            continue;
        }
        const n = line.quoted ? spaceAt(text, start) : 0;
        if (!n) break;
        start += n;
    }
    line.text = text.slice(start);
    return line;
}

// Where the header at `at` ("MuS/" + three fields + the text length) ends.
function headerEnd(s, at) {
    let i = at + BLOCK_TAG.length;
    for (let field = 0; field < 3; ++field) {
        const slash = s.indexOf("/", i);
        if (slash < 0 || slash - i > LONGEST_FIELD) return -1;
        i = slash + 1;
    }
    while (i < s.length && s[i] === " ") ++i;
    if (i < s.length && (s[i] === "+" || s[i] === "-")) ++i;
    const digits = i;
    while (i < s.length && s[i] >= "0" && s[i] <= "9") ++i;
    return i === digits ? -1 : i;
}

function findHeader(s) {
    for (let at = s.indexOf(BLOCK_TAG); at >= 0; at = s.indexOf(BLOCK_TAG, at + 1)) {
        const end = headerEnd(s, at);
        if (end >= 0) return [at, end];
    }
    return null;
}

function withoutSpaces(s) {
    let out = "";
    for (let i = 0; i < s.length;) {
        const n = spaceAt(s, i);
        if (n) i += n;
        else out += s[i++];
    }
    return out;
}

function isFrameLine(run, frame) {
    return run.map((line) => withoutSpaces(line.text)).join("") === withoutSpaces(frame);
}

// The lines of the frame line with the blank lines between it and the block,
// walking up or down from `from`, or none.
function frameAround(document, from, up, frame) {
    const seen = []; // nearest first
    let at = from;
    const step = () => {
        if (up ? at.begin === 0 : at.next >= document.length) return false;
        at = up ? lineBefore(document, at.begin) : lineAt(document, at.next);
        seen.push(clean(document, at));
        return true;
    };
    for (let blank = 0; blank <= BLANK_LINES_AROUND; ++blank) {
        if (!step()) return [];
        if (seen[seen.length - 1].text !== "") break;
    }
    if (seen[seen.length - 1].text === "") return [];
    const blanks = seen.length - 1;
    for (let pieces = 1; pieces <= FRAME_LINE_PIECES; ++pieces) {
        if (pieces > 1 && !step()) return [];
        const run = seen.slice(blanks);
        if (up) run.reverse();
        if (isFrameLine(run, frame)) {
            if (up) seen.reverse();
            return seen;
        }
    }
    return [];
}

function build(document, lines, headerAt, headerEndAt, crcAt) {
    const repairs = {
        lineEnds: false, quotedLines: 0, blankedLines: 0, invisible: 0, brLines: 0, blankLines: 0,
        rejoined: false, splitFromOneLine: false,
    };
    const first = lines[0];
    const last = lines[lines.length - 1];
    const oneLine = lines.length === 1;

    const pieces = [];
    const add = (piece) => {
        if (piece !== "") pieces.push(piece);
    };
    if (oneLine) {
        add(withoutSpaces(first.text.slice(headerEndAt, crcAt)));
    } else {
        add(withoutSpaces(first.text.slice(headerEndAt)));
        for (let i = 1; i + 1 < lines.length; ++i) add(lines[i].text);
        add(withoutSpaces(last.text.slice(0, crcAt)));
    }
    const body = pieces.join("");
    const cut = [];
    for (let at = 0; at < body.length; at += BODY_LINE_LENGTH) cut.push(body.slice(at, at + BODY_LINE_LENGTH));
    repairs.splitFromOneLine = oneLine;
    repairs.rejoined = !oneLine && (cut.length !== pieces.length || cut.some((line, i) => line !== pieces[i]));

    let crc = last.text.slice(crcAt);
    let crcEnd = BLOCK_TAG.length;
    while (crcEnd < crc.length && crc[crcEnd] !== "*" && spaceAt(crc, crcEnd) === 0) ++crcEnd;
    const restAfterCrc = crcEnd < crc.length;
    crc = crc.slice(0, crcEnd);

    const text = [first.text.slice(headerAt, headerEndAt), ...cut, crc].map((line) => line + "\r\n").join("");

    const all = lines.slice();
    if (!restAfterCrc) all.push(...frameAround(document, last.raw, false, END_LINE));
    if (headerAt === 0) all.unshift(...frameAround(document, first.raw, true, START_LINE));
    const span = { begin: all[0].raw.begin, end: all[all.length - 1].raw.next };
    for (const line of all) {
        repairs.lineEnds = repairs.lineEnds || (line.raw.next > line.raw.end && !endsInCrLf(document, line.raw));
        repairs.quotedLines += line.quoted ? 1 : 0;
        repairs.blankedLines += line.blanked ? 1 : 0;
        repairs.brLines += line.br ? 1 : 0;
        repairs.invisible += line.invisible;
        repairs.blankLines += line.text === "" ? 1 : 0;
    }
    return { lines: text, repairs, span };
}

export function anyRepairs(r) {
    return r.lineEnds || r.quotedLines > 0 || r.blankedLines > 0 || r.invisible > 0 || r.brLines > 0 ||
        r.blankLines > 0 || r.rejoined || r.splitFromOneLine;
}

function counted(n, one, many) {
    return `${n} ${n === 1 ? one : many}`;
}

// The items as the user reads them, in their order, joined by "; ".
export function repairItems(r) {
    const items = [];
    if (r.lineEnds) items.push("line ends made CR LF");
    if (r.quotedLines > 0) items.push("quote marks removed from " + counted(r.quotedLines, "line", "lines"));
    if (r.blankedLines > 0) items.push("blanks removed from " + counted(r.blankedLines, "line", "lines"));
    if (r.invisible > 0) items.push(counted(r.invisible, "invisible character", "invisible characters") + " removed");
    if (r.brLines > 0) items.push("<br> removed from " + counted(r.brLines, "line", "lines"));
    if (r.blankLines > 0) items.push(counted(r.blankLines, "blank line", "blank lines") + " removed");
    if (r.rejoined) items.push("body lines rejoined");
    if (r.splitFromOneLine) items.push("block split from one line");
    return items.join("; ");
}

// The repaired view of a block in `document`: with `locatedAt` (the offset of
// the line the strict reading took for the header line) the block that holds
// that line, otherwise the first block found; null when there is none.
export function repairTransport(document, locatedAt) {
    for (let at = 0; at < document.length;) {
        const raw = lineAt(document, at);
        at = raw.next;
        // A header needs an "M" and a "/"; most lines are passed over without
        // cleaning.
        const content = document.slice(raw.begin, raw.end);
        if (content.indexOf("M") < 0 || content.indexOf("/") < 0) continue;
        const lines = [clean(document, raw)];
        const header = findHeader(lines[0].text);
        if (!header) continue;
        if (locatedAt !== null && raw.begin > locatedAt) return null;

        let crcAt = lines[0].text.indexOf(BLOCK_TAG, header[1]);
        let collected = 0;
        while (crcAt < 0) {
            if (at >= document.length || collected > LONGEST_BODY) return null;
            const next = lineAt(document, at);
            at = next.next;
            lines.push(clean(document, next));
            collected += lines[lines.length - 1].text.length;
            crcAt = lines[lines.length - 1].text.indexOf(BLOCK_TAG);
        }
        if (locatedAt !== null && lines[lines.length - 1].raw.begin < locatedAt) continue;
        return build(document, lines, header[0], header[1], crcAt);
    }
    return null;
}

// The offset of line `index` (0-based), every CR LF, lone CR and lone LF
// ending one.
export function lineOffset(document, index) {
    let line = 0;
    for (let i = 0; i < document.length && line < index; ++i) {
        const c = document[i];
        if (c !== "\r" && c !== "\n") continue;
        if (c === "\r" && i + 1 < document.length && document[i + 1] === "\n") ++i;
        if (++line === index) return i + 1;
    }
    return index <= 0 ? 0 : document.length;
}
