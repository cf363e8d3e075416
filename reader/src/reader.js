// Decrypt and Encrypt as the page runs them, with no page around them: a
// document and phrases in, a document and a message out. The reading is the
// program's: the strict reading first, then, when that refuses, finds the
// phrase wrong or warns, the document once more with transport damage undone,
// taken only when verified.

import {
    MAX_LEGACY_PHRASE, MAX_TEXT_LENGTH, MSG, Refusal, TextLines, decodeUtf8, findTaggedLines, readHeader,
    refusalMessage, utf8Binary, withCrLf,
} from "./format.js";
import {
    METHOD02_PHRASE_LIMIT, METHOD02_TEXT_LIMIT, Reading, foldForLegacy, foldFully, legacyBlock, writeMethod02Block,
} from "./methods.js";
import { anyRepairs, lineOffset, repairItems, repairTransport } from "./repairs.js";

// The warning for a decoded text: an early end first, then a missing CRC
// value, then a different one.
function decodeWarning(decoded) {
    if (decoded.endedEarly) return MSG.endedEarly;
    if (decoded.crcMissing) return MSG.crcMissing;
    if (decoded.crcDiffers) return MSG.crcError;
    return "";
}

// Reads `document` (bytes as a binary string, any line breaks) with the
// phrase as typed. The outcome: `text` (a string, or null when the document
// stays as it was), `message` (empty after a plain success) and
// `askPhrase` (the phrase entry wants the user's attention).
export function decryptDocument(document, entered, reading = new Reading()) {
    const refuse = (message, askPhrase = false) => ({ text: null, message, askPhrase });
    try {
        const lines = new TextLines(document);
        const located = readHeader(lines);
        if (located.refusal === Refusal.EmptyDocument) return refuse(MSG.noTextToDecrypt);
        let strictRefusal = located.refusal;
        let strict = null;
        if (!strictRefusal) {
            const opened = reading.open(lines, located.header);
            strictRefusal = opened.refusal;
            strict = opened.body || null;
        }

        let repaired;
        const repairedView = () => {
            if (repaired !== undefined) return repaired;
            repaired = null;
            const locatedAt = located.located ? lineOffset(document, located.header.headerLine) : null;
            const block = repairTransport(document, locatedAt);
            if (!block || !anyRepairs(block.repairs)) return null;
            const repairedLines = new TextLines(block.lines);
            const header = readHeader(repairedLines);
            if (header.refusal) return null;
            const opened = reading.open(repairedLines, header.header);
            if (opened.refusal) return null;
            repaired = { body: opened.body, repairs: block.repairs };
            return repaired;
        };
        const sameNeeds = () => repaired.body.needsPhrase === strict.needsPhrase;

        if (!strict && !repairedView()) return refuse(refusalMessage(strictRefusal, located.header));

        let chosen = strict ? "strict" : "repaired";
        const first = strict || repaired.body;
        if (first.needsPhrase) {
            if (entered === "") return refuse(MSG.promptProtected, true);
            let fits = false;
            if (!strict) {
                fits = repaired.body.unlock(entered);
            } else if (strict.unlock(entered)) {
                fits = true;
            } else if (repairedView() && sameNeeds() && repaired.body.unlock(entered) && repaired.body.passes(true)) {
                // The same phrase on the repaired view, verified, before the
                // phrase is called wrong.
                fits = true;
                chosen = "repaired";
            }
            if (!fits) return refuse(first.mismatchMayBeDamage ? MSG.phraseMismatchMaybeDamaged : MSG.phraseMismatch, true);
        }

        if (chosen === "repaired" && !strict) {
            // The repaired view alone: its text only when verified, otherwise
            // the strict reading's refusal.
            if (!repaired.body.passes(true)) return refuse(refusalMessage(strictRefusal, located.header));
        } else if (chosen === "strict" && !strict.passes(false)) {
            const view = repairedView();
            if (view && sameNeeds() && (!view.body.needsPhrase || view.body.unlock(entered)) && view.body.passes(true)) {
                chosen = "repaired";
            }
        }

        const body = chosen === "strict" ? strict : repaired.body;
        const result = body.decode();
        if (result.refusal) return refuse(refusalMessage(result.refusal, located.header));
        const shown = decodeUtf8(result.decoded.text);
        const notes = [];
        if (chosen === "repaired") notes.push(MSG.repairedPrefix + repairItems(repaired.repairs) + ".");
        else if (decodeWarning(result.decoded)) notes.push(decodeWarning(result.decoded));
        if (!shown.valid) notes.push(MSG.notUtf8);
        return { text: shown.text, message: notes.join("  "), askPhrase: false };
    } finally {
        reading.forget();
    }
}

// Encrypts the text (as the page holds it) with method "00", "01" or "02"
// and the phrase typed twice. The outcome: `block` (its lines joined by CR
// LF, or null) and `message` (empty after a plain success); `field` names the
// entry a refusal is about.
export function encryptText(text, method, phrase, phrase2) {
    const refuse = (message, field = "") => ({ block: null, message, field });
    const bytes = utf8Binary(withCrLf(text));
    if (bytes.length === 0) return refuse(MSG.noTextToEncrypt, "document");
    const sealed = method === "02";
    if (sealed ? bytes.length > METHOD02_TEXT_LIMIT : bytes.length > MAX_TEXT_LENGTH) {
        return refuse(sealed ? MSG.method02TooLong : MSG.textTooLong, "document");
    }
    if (sealed && phrase === "") return refuse(MSG.phraseRequired, "phrase");
    const fold = sealed ? foldFully : foldForLegacy;
    const folded = fold(phrase);
    const limit = sealed ? METHOD02_PHRASE_LIMIT : MAX_LEGACY_PHRASE;
    if (folded.length > limit) return refuse(`A phrase holds at most ${limit} bytes.`, "phrase");
    if (fold(phrase2) !== folded) return refuse(MSG.phrasesDoNotMatch, "phrase2");
    const lines = sealed ? writeMethod02Block(bytes, phrase) : legacyBlock(bytes, phrase, Number(method));
    return { block: lines.join("\r\n") + "\r\n", message: "", field: "" };
}

// The detection rule: at least two lines begin with the block tag.
export function holdsBlock(text) {
    return findTaggedLines(new TextLines(utf8Binary(text)))[1] >= 0;
}
