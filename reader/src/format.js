// The armoured block as the program reads and writes it: bytes, lines, the
// keystream, the group codec of Methods 00 and 01, the header and CRC lines,
// and the keystream methods' writer and reader.
//
// Bytes are held as binary strings: one character (code 0 to 255) a byte.

export const START_LINE = "********************** START  Murmurscript **********************";
export const END_LINE = "**********************  END   Murmurscript **********************";
export const BLOCK_TAG = "MuS/";
export const LEGACY_VERSION = "0120";
export const MAX_TEXT_LENGTH = 22528; // Methods 00 and 01
export const MAX_LEGACY_PHRASE = 16; // bytes
export const GROUPS_PER_LINE = 16;
export const BODY_LINE_LENGTH = 1 + 4 * GROUPS_PER_LINE; // 65
export const MAX_LINE_LENGTH = 4096; // only this much of a line is read strictly
export const METHOD01_ALPHABET = "AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz0123456789+-";
export const HIGHEST_METHOD = 2;

export const MSG = {
    noTextToEncrypt: "There is no text to encrypt.",
    textTooLong: "The amount of text to encrypt cannot exceed 22kb.",
    method02TooLong: "The amount of text to encrypt with Method 02 cannot exceed 16 MB.",
    phrasesDoNotMatch: "The phrases entered do not match.",
    phraseRequired: "A phrase is required to encrypt with Method 02.",
    alreadyEncrypted: "This text is already encrypted.  Are you sure you want to encrypt it again?",
    noTextToDecrypt: "There is no text to decrypt.",
    noHeaderAndFooter: "The header and footer lines are not present.  This text does not appear to be encrypted.",
    invalidHeader: "The header line is not valid.  Unable to decrypt this text.",
    unsupportedMethodPrefix:
        "Cannot handle the encryption method used to encrypt this text.  Try using Murmurscript version ",
    promptProtected: "This text is password-protected.  Enter phrase:",
    phraseMismatch: "The phrase given does not match the phrase used to password-protect the text.",
    phraseMismatchMaybeDamaged:
        "The phrase given does not match the phrase used to password-protect the text.  The encrypted text may also be damaged.",
    crcMissing:
        "CRC information was not present in the encrypted text.  Unable to verify that the encrypted text was error-free.",
    crcError: "CRC error.  Errors were present in the encrypted text.",
    endedEarly:
        "The encrypted text has terminated unexpectedly.  The decrypted text is incomplete and possibly contains errors.",
    repairedPrefix: "The block was repaired before decrypting: ",
    damaged: "The encrypted text is damaged or was altered.  Unable to decrypt this text.",
    notUtf8: "The decrypted text is not valid UTF-8 text.  Each invalid byte is shown as \uFFFD.",
};

// ------------------------------------------------------------ bytes

export function bytesToBinary(bytes) {
    let out = "";
    for (let i = 0; i < bytes.length; i += 8192) out += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
    return out;
}

export function binaryToBytes(binary) {
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
}

export function utf8Binary(text) {
    return bytesToBinary(new TextEncoder().encode(text));
}

// Length of the valid UTF-8 sequence at `i` of `s`, or 0: stray or missing
// continuation bytes, overlong forms, surrogates and values above U+10FFFF
// are not valid.
function utf8SequenceAt(s, i) {
    const b0 = s.charCodeAt(i);
    if (b0 < 0x80) return 1;
    let len = 0, cp = 0, min = 0;
    if (b0 >= 0xc2 && b0 <= 0xdf) [len, cp, min] = [2, b0 & 0x1f, 0x80];
    else if (b0 >= 0xe0 && b0 <= 0xef) [len, cp, min] = [3, b0 & 0x0f, 0x800];
    else if (b0 >= 0xf0 && b0 <= 0xf4) [len, cp, min] = [4, b0 & 0x07, 0x10000];
    else return 0;
    if (i + len > s.length) return 0;
    for (let k = 1; k < len; ++k) {
        const b = s.charCodeAt(i + k);
        if ((b & 0xc0) !== 0x80) return 0;
        cp = (cp << 6) | (b & 0x3f);
    }
    if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
    return len;
}

// The text of UTF-8 bytes, each byte that begins no valid sequence shown as
// U+FFFD; `valid` is false when there was one.
export function decodeUtf8(binary) {
    const parts = [];
    let valid = true;
    let from = 0;
    const decoder = new TextDecoder("utf-8");
    for (let i = 0; i < binary.length;) {
        const len = utf8SequenceAt(binary, i);
        if (len > 0) {
            i += len;
            continue;
        }
        valid = false;
        parts.push(decoder.decode(binaryToBytes(binary.slice(from, i))), "\uFFFD");
        from = ++i;
    }
    parts.push(decoder.decode(binaryToBytes(binary.slice(from))));
    return { text: parts.join(""), valid };
}

// Every line break of a text as the page holds it becomes CR LF.
export function withCrLf(text) {
    return text.replace(/\r\n|\r|\n/g, "\r\n");
}

// ------------------------------------------------------------ lines

// The document's lines between line breaks (CR LF, lone CR, lone LF); an
// empty last line after a final break is not counted.
export class TextLines {
    constructor(binary) {
        this.text = binary;
        this.starts = [];
        this.ends = [];
        let breaks = 0, pairs = 0;
        const n = binary.length;
        let begin = 0;
        for (let i = 0; i < n; ++i) {
            const c = binary.charCodeAt(i);
            if (c !== 13 && c !== 10) continue;
            this.starts.push(begin);
            this.ends.push(i);
            ++breaks;
            if (c === 13 && i + 1 < n && binary.charCodeAt(i + 1) === 10) {
                ++pairs;
                ++i;
            }
            begin = i + 1;
        }
        if (begin < n) {
            this.starts.push(begin);
            this.ends.push(n);
        }
        // Every break counts as two bytes, CR and LF.
        this.length = n + breaks - pairs;
    }
    textLength() {
        return this.length;
    }
    lineCount() {
        return this.starts.length;
    }
    // Line `index` without its break, at most 4096 bytes of it.
    line(index) {
        if (index < 0 || index >= this.starts.length) return "";
        const begin = this.starts[index];
        return this.text.slice(begin, Math.min(this.ends[index], begin + MAX_LINE_LENGTH));
    }
}

// ------------------------------------------------------ keystream

const MULTIPLIER = 134775813;

export class Keystream {
    constructor(seed) {
        this.state = seed >>> 0;
    }
    // One Draw(256): the top 8 bits of the advanced state.
    draw() {
        this.state = (Math.imul(this.state, MULTIPLIER) + 1) >>> 0;
        return this.state >>> 24;
    }
}

// The position-weighted byte sum of a binary string.
export function phraseSeed(binary) {
    let sum = 0;
    for (let i = 0; i < binary.length; ++i) sum += (i + 1) * binary.charCodeAt(i);
    return sum;
}

// ---------------------------------------------------- group codec

const METHOD01_VALUES = (() => {
    const values = new Int16Array(256).fill(-1);
    for (let i = 0; i < 64; ++i) values[METHOD01_ALPHABET.charCodeAt(i)] = i;
    return values;
})();

export function encodeGroup(b1, b2, b3, method) {
    const v = b1 + 256 * b2 + 65536 * b3;
    const fields = [(v >> 18) & 63, (v >> 12) & 63, (v >> 6) & 63, v & 63];
    return fields.map((f) => (method === 0 ? String.fromCharCode(f + 63) : METHOD01_ALPHABET[f])).join("");
}

function characterValue(code, method) {
    if (method === 0) return code - 63;
    if (method === 1) return METHOD01_VALUES[code];
    return 0;
}

// The three bytes of the four characters at `at` of `s`, under any method
// code; characters outside the method's range borrow and carry.
export function decodeGroup(s, at, method) {
    const v =
        characterValue(s.charCodeAt(at), method) * 262144 +
        characterValue(s.charCodeAt(at + 1), method) * 4096 +
        characterValue(s.charCodeAt(at + 2), method) * 64 +
        characterValue(s.charCodeAt(at + 3), method);
    return [v & 255, (v >> 8) & 255, (v >> 16) & 255];
}

// The group at `at` when its four characters are of the Method 01 alphabet.
export function strictGroup(s, at) {
    for (let k = 0; k < 4; ++k) if (METHOD01_VALUES[s.charCodeAt(at + k)] < 0) return null;
    return decodeGroup(s, at, 1);
}

// ----------------------------------------------------- header lines

export function headerLine(version, method, phraseField, textLength) {
    return `${BLOCK_TAG}${version}/${method >= 0 && method < 10 ? "0" : ""}${method}/${phraseField}/${textLength}`;
}

// Lenient reading of a header or CRC field: leading blanks, a sign or "$"
// (hexadecimal), digits up to the first other character; never fails. The
// sign counts only when the number was read to its end.
export function readNumber(text) {
    let i = 0;
    while (i < text.length && text[i] === " ") ++i;
    let negative = false;
    let base = 10;
    if (i < text.length && (text[i] === "-" || text[i] === "+")) {
        negative = text[i] === "-";
        ++i;
    } else if (i < text.length && text[i] === "$") {
        base = 16;
        ++i;
    }
    let value = 0;
    for (; i < text.length; ++i) {
        const digit = parseInt(text[i], base);
        if (Number.isNaN(digit) || (base === 10 && !/[0-9]/.test(text[i]))) break;
        const next = value * base + digit;
        if (next > 0x7fffffff) break; // a digit past the 32-bit range ends the number
        value = next;
    }
    if (negative && i === text.length) return -value;
    return value;
}

export function formatVersion(version) {
    const magnitude = Math.abs(version);
    return `${version < 0 ? "-" : ""}${Math.floor(magnitude / 100)}.${String(magnitude % 100).padStart(2, "0")}`;
}

export const Refusal = {
    EmptyDocument: "EmptyDocument",
    NoHeaderAndFooter: "NoHeaderAndFooter",
    InvalidHeader: "InvalidHeader",
    UnsupportedMethod: "UnsupportedMethod",
    Damaged: "Damaged",
};

export function refusalMessage(refusal, header) {
    switch (refusal) {
        case Refusal.EmptyDocument: return MSG.noTextToDecrypt;
        case Refusal.NoHeaderAndFooter: return MSG.noHeaderAndFooter;
        case Refusal.InvalidHeader: return MSG.invalidHeader;
        case Refusal.UnsupportedMethod: return MSG.unsupportedMethodPrefix + formatVersion(header.version) + ".";
        case Refusal.Damaged: return MSG.damaged;
    }
    return "";
}

// The first two lines that begin with the block tag: the header and CRC lines.
export function findTaggedLines(lines) {
    let first = -1;
    for (let i = 0; i < lines.lineCount(); ++i) {
        if (!lines.line(i).startsWith(BLOCK_TAG)) continue;
        if (first < 0) first = i;
        else return [first, i];
    }
    return [first, -1];
}

// The header steps: empty document, the header and CRC lines, the header's
// fields, a method above the highest one read.
export function readHeader(lines, highestMethod = HIGHEST_METHOD) {
    const result = { refusal: null, located: false, header: null };
    if (lines.textLength() === 0) {
        result.refusal = Refusal.EmptyDocument;
        return result;
    }
    const [first, second] = findTaggedLines(lines);
    if (second < 0) {
        result.refusal = Refusal.NoHeaderAndFooter;
        return result;
    }
    result.located = true;
    const header = { headerLine: first, crcLine: second, version: 0, method: 0, phraseLength: 0, textLength: 0 };
    result.header = header;
    const headerText = lines.line(first);
    const crcText = lines.line(second);
    header.storedCrc = readNumber(crcText.slice(crcText.indexOf("/") + 1));

    let fields = null;
    if (headerText.length >= 15) {
        fields = headerText.slice(headerText.indexOf("/") + 1).split("/");
    }
    if (!fields || fields.length !== 4) {
        result.refusal = Refusal.InvalidHeader;
        return result;
    }
    [header.version, header.method, header.phraseLength, header.textLength] = fields.map(readNumber);
    if (header.textLength < 0) {
        result.refusal = Refusal.InvalidHeader;
        return result;
    }
    if (header.method > highestMethod) result.refusal = Refusal.UnsupportedMethod;
    return result;
}

export function groupCount(n) {
    return n <= 0 ? 0 : Math.floor(n / 3) + (n % 3 > 0 ? 1 : 0);
}

// ------------------------------------------ Methods 00 and 01: phrase

const LATIN1_LEAD = 0xc3;

// The phrase folding of Methods 00 and 01 (and of Method 02 blocks made by
// version 1.30), over UTF-8 bytes: ASCII a-z become A-Z and the Latin-1
// letters U+00E0..U+00FE (but U+00F7) their capitals; nothing else changes.
export function foldLegacy(binary) {
    const out = binary.split("");
    for (let i = 0; i < out.length; ++i) {
        const c = out[i].charCodeAt(0);
        if (c >= 0x61 && c <= 0x7a) {
            out[i] = String.fromCharCode(c - 0x20);
        } else if (c === LATIN1_LEAD && i + 1 < out.length) {
            const next = out[i + 1].charCodeAt(0);
            if (next >= 0xa0 && next <= 0xbe && next !== 0xb7) out[i + 1] = String.fromCharCode(next - 0x20);
            if (next >= 0x80 && next <= 0xbf) ++i;
        }
    }
    return out.join("");
}

// ---------------------------------------- Methods 00 and 01: writer

// The block's lines, START line to END line, for the text bytes (1 to 22528),
// the folded phrase bytes (0 to 16) and method 0 or 1.
export function writeLegacyBlock(text, phrase, method) {
    const groups = [];
    const seed = phraseSeed(phrase);
    let keystream = new Keystream(seed);
    for (let s = 0; s < phrase.length; s += 3) {
        const triple = [0, 1, 2].map((k) =>
            s + k < phrase.length ? phrase.charCodeAt(s + k) ^ keystream.draw() : 0x20);
        groups.push(encodeGroup(triple[0], triple[1], triple[2], method));
    }
    keystream = new Keystream(seed);
    let crc = 0;
    const L = text.length;
    for (let s = 0; s < L; s += 3) {
        const triple = [0, 1, 2].map((k) => {
            const p = s + k;
            if (p > L) return 0x20;
            return (p < L ? text.charCodeAt(p) : 0) ^ keystream.draw();
        });
        groups.push(encodeGroup(triple[0], triple[1], triple[2], method));
        crc += triple[0] + 2 * triple[1] + 3 * triple[2];
    }
    const lines = [START_LINE, headerLine(LEGACY_VERSION, method, phrase.length, L)];
    for (let g = 0; g < groups.length; g += GROUPS_PER_LINE) lines.push("C" + groups.slice(g, g + GROUPS_PER_LINE).join(""));
    lines.push(BLOCK_TAG + crc, END_LINE);
    return lines;
}

// ---------------------------------------- Methods 00 and 01: reader

export function legacyPhraseMatches(lines, header, phrase) {
    if (phrase.length !== Math.max(header.phraseLength, 0)) return false;
    const firstBody = header.headerLine + 1;
    const line = firstBody < header.crcLine ? lines.line(firstBody) : "";
    const keystream = new Keystream(phraseSeed(phrase));
    let stored = "";
    let start = 1;
    for (let g = 0; g < groupCount(header.phraseLength); ++g, start += 4) {
        if (line.length < start + 4) return false;
        for (const b of decodeGroup(line, start, header.method)) stored += String.fromCharCode(b ^ keystream.draw());
    }
    return stored.slice(0, phrase.length) === phrase;
}

// The text groups decoded: the text (at most L bytes, ended by a decoded
// zero byte), and whether the body ended early or the CRC value is missing
// or differs.
export function decodeLegacyText(lines, header, phrase) {
    const keystream = new Keystream(phraseSeed(phrase));
    const groups = groupCount(header.textLength);
    let left = header.textLength;
    const parts = [];
    let crc = 0;
    let position = header.phraseLength > 0 ? 2 + 4 * groupCount(header.phraseLength) : 2;
    let read = 0;
    let endedEarly = false;
    for (let lineIndex = header.headerLine + 1; read < groups; ++lineIndex) {
        // A body line lies above the CRC line.
        if (lineIndex >= header.crcLine) {
            endedEarly = true;
            break;
        }
        const line = lines.line(lineIndex);
        const fit = position <= BODY_LINE_LENGTH ? Math.floor((BODY_LINE_LENGTH - position) / 4) + 1 : 1;
        const whole = line.length >= position + 3 ? Math.floor((line.length - position - 3) / 4) + 1 : 0;
        const take = Math.min(fit, whole, groups - read);
        let piece = "";
        for (let i = 0, at = position - 1; i < take; ++i, at += 4) {
            const [b1, b2, b3] = decodeGroup(line, at, header.method);
            crc += b1 + 2 * b2 + 3 * b3;
            piece += String.fromCharCode(b1 ^ keystream.draw(), b2 ^ keystream.draw(), b3 ^ keystream.draw());
        }
        if (left > 0) {
            piece = piece.slice(0, left);
            const zero = piece.indexOf("\0");
            if (zero >= 0) {
                piece = piece.slice(0, zero);
                left = 0;
            } else {
                left -= piece.length;
            }
            parts.push(piece);
        }
        read += take;
        // A line too short for its next group ends the block early.
        if (read < groups && take < fit) {
            endedEarly = true;
            break;
        }
        position = 2;
    }
    const decoded = { text: parts.join(""), endedEarly, crcMissing: false, crcDiffers: false };
    if (!endedEarly) {
        decoded.crcMissing = header.storedCrc === 0;
        decoded.crcDiffers = !decoded.crcMissing && header.storedCrc !== crc;
    }
    return decoded;
}

// The body holds exactly the groups the header calls for: full lines of 16
// groups of the method's characters, nothing but a shorter last line.
export function legacyBodyIsExact(lines, header) {
    if (header.method !== 0 && header.method !== 1) return false;
    const groups = groupCount(header.phraseLength) + groupCount(header.textLength);
    const bodyLines = Math.ceil(groups / GROUPS_PER_LINE);
    if (bodyLines === 0 || header.crcLine - header.headerLine - 1 !== bodyLines) return false;
    for (let i = 0; i < bodyLines; ++i) {
        const line = lines.line(header.headerLine + 1 + i);
        const onLine = i + 1 < bodyLines ? GROUPS_PER_LINE : groups - GROUPS_PER_LINE * i;
        if (line.length !== 1 + 4 * onLine || line[0] !== "C") return false;
        for (let c = 1; c < line.length; ++c) {
            const value = characterValue(line.charCodeAt(c), header.method);
            if (value < 0 || value >= 64) return false;
        }
    }
    return true;
}
