// The two method families: the keystream Methods 00 and 01 (format.js does
// their work) and the sealed Method 02, whose text is sealed whole with
// XChaCha20-Poly1305 under a key that Argon2id derives from the phrase. All
// cryptography is libsodium's (the sumo build, given by useSodium).
//
// Method 02 body bytes: suite (1), passes (1), log2 of the memory in KiB (1),
// salt (16), nonce (24), phrase check (4), then the sealed text and its
// 16-byte tag, padded with blanks to whole groups of the Method 01 alphabet.

import {
    BLOCK_TAG, BODY_LINE_LENGTH, END_LINE, MAX_LEGACY_PHRASE, MAX_TEXT_LENGTH, Refusal, START_LINE, binaryToBytes,
    bytesToBinary, decodeLegacyText, encodeGroup, foldLegacy, headerLine, legacyBodyIsExact, legacyPhraseMatches,
    strictGroup, utf8Binary, writeLegacyBlock,
} from "./format.js";

let sodium = null;

// The libsodium sumo build the page runs with, once it is ready.
export function useSodium(instance) {
    sodium = instance;
}

export const METHOD02_PHRASE_LIMIT = 64; // bytes of folded UTF-8
export const METHOD02_TEXT_LIMIT = 16777216; // 16 MiB
export const DEFAULT_COSTS = { passes: 3, memoryLog2: 16 }; // 3 passes over 64 MiB
const MINIMUM_COSTS = { passes: 1, memoryLog2: 3 };
const HIGHEST_COSTS = { passes: 3, memoryLog2: 18 };
const CRC_MODULUS = 2147483648; // 2^31

// Suite 1 is what version 1.30 reads (texts up to 22528 bytes, the phrase
// folded as version 1.30 folds it, tried after the full folding); suite 2
// takes texts up to 16 MiB and the full folding alone.
const SUITES = [
    { code: 1, version: "0130", textLimit: MAX_TEXT_LENGTH, earlierFolding: true },
    { code: 2, version: "0140", textLimit: METHOD02_TEXT_LIMIT, earlierFolding: false },
];
const HIGHEST_SUITE_VERSION = 140;

const SALT_SIZE = 16;
const NONCE_SIZE = 24;
const CHECK_SIZE = 4;
const TAG_SIZE = 16;
const PREAMBLE_SIZE = 3 + SALT_SIZE + NONCE_SIZE + CHECK_SIZE;
const CONTEXT = "Method02";
const AEAD_KEY_ID = 1;
const CHECK_KEY_ID = 2;
const CHECK_KEY_SIZE = 16;

function withinReaderBounds(costs) {
    return costs.passes >= MINIMUM_COSTS.passes && costs.passes <= HIGHEST_COSTS.passes &&
        costs.memoryLog2 >= MINIMUM_COSTS.memoryLog2 && costs.memoryLog2 <= HIGHEST_COSTS.memoryLog2;
}

// The Method 02 phrase folding of a phrase as typed: NFC, upper case, NFC;
// the UTF-8 bytes as a binary string.
export function foldFully(entered) {
    return utf8Binary(entered.normalize("NFC").toUpperCase().normalize("NFC"));
}

// The phrase bytes of Methods 00 and 01 for a phrase as typed.
export function foldForLegacy(entered) {
    return foldLegacy(utf8Binary(entered));
}

// ------------------------------------------------------------- key

// The AEAD key and the phrase check of one phrase, salt and costs.
function deriveKey(phrase, salt, costs) {
    const master = sodium.crypto_pwhash(32, binaryToBytes(phrase), salt, costs.passes, 1024 * 2 ** costs.memoryLog2,
        sodium.crypto_pwhash_ALG_ARGON2ID13);
    const key = sodium.crypto_kdf_derive_from_key(32, AEAD_KEY_ID, CONTEXT, master);
    const checkKey = sodium.crypto_kdf_derive_from_key(CHECK_KEY_SIZE, CHECK_KEY_ID, CONTEXT, master);
    const check = checkKey.slice(0, CHECK_SIZE);
    sodium.memzero(master);
    sodium.memzero(checkKey);
    return { key, check };
}

function associatedData(suite, textLength, preamble) {
    return binaryToBytes(headerLine(suite.version, 2, 1, textLength) + bytesToBinary(preamble));
}

// ---------------------------------------------------------- writer

// The suite a new block takes: suite 1 when version 1.30 can read it.
function suiteFor(entered, textLength) {
    if (textLength > MAX_TEXT_LENGTH) return SUITES[1];
    return foldForLegacy(entered) === foldFully(entered) ? SUITES[0] : SUITES[1];
}

// The block of `text` (UTF-8 bytes, 1 to 16 MiB) under the phrase as typed,
// START line to END line.
export function writeMethod02Block(text, entered, costs = DEFAULT_COSTS) {
    const suite = suiteFor(entered, text.length);
    const salt = sodium.randombytes_buf(SALT_SIZE);
    const nonce = sodium.randombytes_buf(NONCE_SIZE);
    const { key, check } = deriveKey(foldFully(entered), salt, costs);
    const preamble = new Uint8Array(PREAMBLE_SIZE);
    preamble.set([suite.code, costs.passes, costs.memoryLog2]);
    preamble.set(salt, 3);
    preamble.set(nonce, 3 + SALT_SIZE);
    preamble.set(check, 3 + SALT_SIZE + NONCE_SIZE);
    const sealed = sodium.crypto_aead_xchacha20poly1305_ietf_encrypt(binaryToBytes(text),
        associatedData(suite, text.length, preamble), null, nonce, key);
    sodium.memzero(key);

    const size = PREAMBLE_SIZE + sealed.length;
    const bytes = new Uint8Array(size + ((3 - (size % 3)) % 3)).fill(0x20);
    bytes.set(preamble);
    bytes.set(sealed, PREAMBLE_SIZE);
    const lines = [START_LINE, headerLine(suite.version, 2, 1, text.length)];
    let crc = 0;
    let line = "C";
    for (let at = 0; at < bytes.length; at += 3) {
        if (line.length === BODY_LINE_LENGTH) {
            lines.push(line);
            line = "C";
        }
        line += encodeGroup(bytes[at], bytes[at + 1], bytes[at + 2], 1);
        crc = (crc + bytes[at] + 2 * bytes[at + 1] + 3 * bytes[at + 2]) % CRC_MODULUS;
    }
    lines.push(line, BLOCK_TAG + crc, END_LINE);
    return lines;
}

// ---------------------------------------------------------- reader

// Reads the body bytes strictly, `count` of them and the pad bytes of the
// last group: null when the body ends first (a line too short for its next
// group, or the CRC line reached), a character is outside the alphabet or a
// pad byte is not a blank.
function readStrictBytes(lines, header, count) {
    const bytes = new Uint8Array(count);
    let filled = 0;
    let crc = 0;
    let lineIndex = header.headerLine + 1;
    let position = 1;
    let line = null;
    while (filled < count) {
        if (lineIndex >= header.crcLine) return null;
        if (line === null) line = lines.line(lineIndex);
        if (line.length < position + 4) return null;
        const group = strictGroup(line, position);
        if (!group) return null;
        crc = (crc + group[0] + 2 * group[1] + 3 * group[2]) % CRC_MODULUS;
        for (const b of group) {
            if (filled < count) bytes[filled++] = b;
            else if (b !== 0x20) return null;
        }
        position += 4;
        if (position >= BODY_LINE_LENGTH) {
            position = 1;
            ++lineIndex;
            line = null;
        }
    }
    return { bytes, crc };
}

// What a Method 02 block holds before a phrase is asked for, or a refusal.
export function readSealedBlock(lines, header) {
    const firstBody = header.headerLine + 1;
    const first = firstBody < header.crcLine ? lines.line(firstBody) : "";
    const damaged = { refusal: Refusal.Damaged };
    if (first.length < 5) return damaged;
    const opening = strictGroup(first, 1);
    if (!opening) return damaged;
    const suite = SUITES.find((s) => s.code === opening[0]);
    if (!suite) return header.version > HIGHEST_SUITE_VERSION ? { refusal: Refusal.UnsupportedMethod } : damaged;
    const costs = { passes: opening[1], memoryLog2: opening[2] };
    // The header line stands in its one form.
    if (header.textLength < 1 || header.textLength > suite.textLimit || !withinReaderBounds(costs) ||
        lines.line(header.headerLine) !== headerLine(suite.version, 2, 1, header.textLength)) {
        return damaged;
    }
    const read = readStrictBytes(lines, header, PREAMBLE_SIZE + header.textLength + TAG_SIZE);
    if (!read) return damaged;
    const bytes = read.bytes;
    return {
        refusal: null,
        block: {
            suite,
            costs,
            salt: bytes.slice(3, 3 + SALT_SIZE),
            nonce: bytes.slice(3 + SALT_SIZE, 3 + SALT_SIZE + NONCE_SIZE),
            check: bytes.slice(3 + SALT_SIZE + NONCE_SIZE, PREAMBLE_SIZE),
            associatedData: associatedData(suite, header.textLength, bytes.subarray(0, PREAMBLE_SIZE)),
            sealed: bytes.slice(PREAMBLE_SIZE),
            crcDiffers: header.storedCrc !== 0 && header.storedCrc !== read.crc,
        },
    };
}

// ----------------------------------------------------------- bodies
//
// A body is one block's body read up to its phrase:
//   needsPhrase        a phrase is asked for before the text
//   unlock(entered)    true when the phrase as typed is the block's
//   mismatchMayBeDamage  a wrong phrase may also mean a damaged block
//   passes(verified)   the text decodes with nothing to warn about (and, when
//                      verified, with exactly the groups and a CRC value)
//   decode()           { refusal } or { decoded: { text, endedEarly, ... } }

class LegacyBody {
    constructor(lines, header) {
        this.lines = lines;
        this.header = header;
        this.phrase = "";
        this.needsPhrase = header.phraseLength > 0;
        this.mismatchMayBeDamage = false;
    }
    unlock(entered) {
        const folded = foldForLegacy(entered);
        if (folded.length > MAX_LEGACY_PHRASE || !legacyPhraseMatches(this.lines, this.header, folded)) return false;
        this.phrase = folded;
        return true;
    }
    passes(verified) {
        const d = decodeLegacyText(this.lines, this.header, this.phrase);
        if (d.endedEarly || d.crcMissing || d.crcDiffers) return false;
        return !verified || legacyBodyIsExact(this.lines, this.header);
    }
    decode() {
        return { refusal: null, decoded: decodeLegacyText(this.lines, this.header, this.phrase) };
    }
}

class SealedBody {
    constructor(reading, block) {
        this.reading = reading;
        this.block = block;
        this.needsPhrase = true;
        this.mismatchMayBeDamage = block.crcDiffers;
        this.key = null;
        this.tried = false;
        this.text = null;
    }
    // The full folding first; for suite 1 also version 1.30's folding when it
    // gives other bytes.
    unlock(entered) {
        const folded = foldFully(entered);
        if (this.tryPhrase(folded)) return true;
        if (!this.block.suite.earlierFolding) return false;
        const earlier = foldForLegacy(entered);
        return earlier !== folded && this.tryPhrase(earlier);
    }
    // An empty phrase, or one over the limit, costs no derivation.
    tryPhrase(phrase) {
        if (phrase.length === 0 || phrase.length > METHOD02_PHRASE_LIMIT) return false;
        const derived = this.reading.keyFor(this.block, phrase);
        if (!sodium.memcmp(derived.check, this.block.check)) return false;
        this.key = derived.key;
        return true;
    }
    open() {
        if (!this.tried && this.key) {
            this.tried = true;
            try {
                this.text = bytesToBinary(sodium.crypto_aead_xchacha20poly1305_ietf_decrypt(null, this.block.sealed,
                    this.block.associatedData, this.block.nonce, this.key));
            } catch {
                this.text = null;
            }
        }
        return this.text !== null;
    }
    passes() {
        return this.open();
    }
    decode() {
        if (!this.open()) return { refusal: Refusal.Damaged };
        // The editor takes a zero-terminated text: a zero byte ends it.
        const zero = this.text.indexOf("\0");
        const text = zero >= 0 ? this.text.slice(0, zero) : this.text;
        return { refusal: null, decoded: { text, endedEarly: false, crcMissing: false, crcDiffers: false } };
    }
}

// One Decrypt's reading: a key is derived once for every salt, costs and
// folded phrase it meets.
export class Reading {
    constructor() {
        this.keys = new Map();
        this.derivations = 0;
    }
    keyFor(block, phrase) {
        const id = [bytesToBinary(block.salt), block.costs.passes, block.costs.memoryLog2, phrase].join("\u0001");
        if (!this.keys.has(id)) {
            ++this.derivations;
            this.keys.set(id, deriveKey(phrase, block.salt, block.costs));
        }
        return this.keys.get(id);
    }
    // The body of the block `header` describes, or a refusal.
    open(lines, header) {
        if (header.method === 2) {
            const read = readSealedBlock(lines, header);
            if (read.refusal) return { refusal: read.refusal };
            return { refusal: null, body: new SealedBody(this, read.block) };
        }
        return { refusal: null, body: new LegacyBody(lines, header) };
    }
    forget() {
        for (const { key } of this.keys.values()) sodium.memzero(key);
        this.keys.clear();
    }
}

export function legacyBlock(text, entered, method) {
    return writeLegacyBlock(text, foldForLegacy(entered), method);
}

