// The built reader page in headless Chromium (the system's, driven through
// puppeteer-core): every vector, round trips both ways with mus, repairs, a
// damaged Method 02 block, the small viewport, the dark scheme, labels, and
// no request leaving the page.
//
//   node reader_page_test.mjs PAGE MUS NODE_MODULES VECTOR-DIRECTORY...
//
// A vector is NAME.txt (the document) with NAME.json: "phrases" (the
// attempts, in order), and the expected "text" (with "text_hex" when it is
// not UTF-8), "warning", "message" (a refusal) or "repair" (the repair items
// alone). Exit status 0 when every check passed.

import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve } from "node:path";
import { pathToFileURL } from "node:url";

const [pagePath, musPath, modulesDir, ...vectorDirs] = process.argv.slice(2);
const puppeteer = (await import(pathToFileURL(join(modulesDir, "puppeteer-core", "lib", "esm", "puppeteer", "puppeteer-core.js"))))
    .default;
const CHROMIUM = process.env.MUS_TEST_CHROMIUM || "/usr/bin/chromium";
const pageUrl = pathToFileURL(resolve(pagePath)).href;
const work = mkdtempSync(join(tmpdir(), "mus-reader-"));
process.on("exit", () => rmSync(work, { recursive: true, force: true }));

const REPAIRED = "The block was repaired before decrypting: ";
const MISMATCH = "The phrase given does not match the phrase used to password-protect the text.";
const DAMAGED = "The encrypted text is damaged or was altered.  Unable to decrypt this text.";
const NOT_UTF8 = "The decrypted text is not valid UTF-8 text.  Each invalid byte is shown as \uFFFD.";

let failures = 0;
function check(ok, what, detail = "") {
    if (ok) return;
    ++failures;
    console.error(`FAIL: ${what}${detail ? `\n  ${detail}` : ""}`);
}

// ---------------------------------------------------------------- mus

// The version of mus: one before 1.40 does not read Method 02 blocks of
// suite 2 (version field 0140), which it refuses naming 1.40.
const musVersion = Number((execFileSync(musPath, ["--version"], { encoding: "utf8" }).match(/\d+\.\d+/) || ["0"])[0]);

function mus(args, input, phrase) {
    const phraseFile = join(work, "phrase.txt");
    const extra = phrase === undefined ? [] : ["--phrase-file", phraseFile];
    if (phrase !== undefined) writeFileSync(phraseFile, phrase + "\n");
    const inputFile = join(work, "input.txt");
    writeFileSync(inputFile, input);
    return execFileSync(musPath, [...args, ...extra, inputFile], { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
}

// ---------------------------------------------------------- the page

const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [
        "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
        "--disable-component-update", "--disable-sync", "--allow-file-access-from-files",
    ],
    userDataDir: join(work, "profile"),
});
const page = await browser.newPage();
const requests = [];
const problems = [];
page.on("request", (request) => requests.push(request.url()));
page.on("pageerror", (error) => problems.push(String(error)));
page.on("console", (message) => {
    if (message.type() === "error") problems.push(message.text());
});
await page.setViewport({ width: 390, height: 844 });
await page.goto(pageUrl, { waitUntil: "load" });
await page.evaluate(() => globalThis.sodium.ready);

// Clicks `id` and waits until the page's work is done.
async function press(id) {
    await page.click(`#${id}`);
    await page.waitForFunction(() => !document.getElementById("decrypt").disabled, { timeout: 60000 });
}

async function fill(values) {
    await page.evaluate((v) => {
        for (const [id, value] of Object.entries(v)) document.getElementById(id).value = value;
    }, values);
}

const state = () =>
    page.evaluate(() => ({
        text: document.getElementById("document").value,
        message: document.getElementById("message").textContent,
        focus: document.activeElement && document.activeElement.id,
    }));

// Decrypt with each phrase attempt in turn until one is not refused as the
// wrong phrase: what the document and the message hold then.
async function decryptWith(documentText, phrases = []) {
    await fill({ document: documentText, phrase: "" });
    const attempts = phrases.length ? phrases : [""];
    let outcome;
    for (const phrase of attempts) {
        await fill({ phrase });
        await press("decrypt");
        outcome = await state();
        if (!outcome.message.startsWith(MISMATCH)) break;
    }
    return outcome;
}

async function encryptWith(text, method, phrase) {
    await fill({ document: text, method, phrase, phrase2: phrase });
    await press("encrypt");
    return state();
}

const lf = (text) => text.replace(/\r\n|\r/g, "\n");

// -------------------------------------------------------------- vectors

function runVectorsOf(dir) {
    if (!existsSync(dir)) return [];
    return readdirSync(dir).filter((name) => name.endsWith(".json")).sort().map((name) => {
        const base = join(dir, name.slice(0, -5));
        return { name: name.slice(0, -5), document: readFileSync(`${base}.txt`, "utf8"), expected: JSON.parse(readFileSync(`${base}.json`, "utf8")) };
    });
}

// A text area holds every line break as one LF, which the page reads as CR
// LF, as the window does: it never sees other line ends, so "line ends made
// CR LF" is not among its repairs, and a document whose line breaks hold a
// CR of their own (CR CR LF, lone CR) is not a case for it.
const LINE_ENDS = "line ends made CR LF";
function pageRepair(items) {
    return items.split("; ").filter((item) => item !== LINE_ENDS).join("; ");
}

let vectorCount = 0;
const skipped = [];
for (const dir of vectorDirs) {
    for (const { name, document, expected } of runVectorsOf(dir)) {
        if (/\r(?!\n)/.test(document)) {
            skipped.push(name);
            continue;
        }
        ++vectorCount;
        const got = await decryptWith(document, expected.phrases || []);
        let message = "";
        if (expected.repair && pageRepair(expected.repair)) message = `${REPAIRED}${pageRepair(expected.repair)}.`;
        else if (expected.message) message = expected.message;
        else if (expected.warning) message = expected.warning;
        // Bytes that are not UTF-8 are shown as U+FFFD, and the page says so.
        if (expected.text_hex) message = [message, NOT_UTF8].filter(Boolean).join("  ");
        check(got.message === message, `vector ${name}: message`, JSON.stringify(got.message));
        const text = expected.message ? document : expected.text;
        if (text !== undefined) check(lf(got.text) === lf(text), `vector ${name}: document`, JSON.stringify(got.text.slice(0, 200)));
    }
}

// ---------------------------------------------------------- round trips

const TEXT = "Line one, Grüße.\nSecond line: ÿ, Ω, Ж.\n";
const PHRASE64 = "Ærø Жук ΩΣ straße " + "x".repeat(64 - Buffer.byteLength("ÆRØ ЖУК ΩΣ STRASSE ", "utf8"));
check(Buffer.byteLength(PHRASE64.normalize("NFC").toUpperCase().normalize("NFC"), "utf8") === 64, "the long phrase folds to 64 bytes");
for (const [method, phrase] of [["00", "page00"], ["01", ""], ["02", "Ölfass Ärger"], ["02", PHRASE64]]) {
    const made = await encryptWith(TEXT, method, phrase);
    check(made.message === "" && made.text.includes(`/${method}/`), `page encrypts with Method ${method}`, made.message);
    if (musVersion < 1.4 && made.text.includes("MuS/0140/")) {
        console.log(`mus ${musVersion} does not read suite 2: the page's block for "${phrase}" is left to mus 1.40`);
    } else {
        let out;
        try {
            out = mus(["decrypt"], made.text, phrase || undefined);
        } catch (error) {
            out = String(error.stderr);
        }
        check(lf(out) === TEXT, `mus decrypts the page's Method ${method} block`, JSON.stringify(out));
    }
    const back = await decryptWith(made.text, [phrase]);
    check(back.message === "" && lf(back.text) === TEXT, `the page decrypts its own Method ${method} block`, back.message);
}
const musBlocks = {};
for (const [method, phrase] of [["00", ""], ["01", "mus01"], ["02", "Wörter mit Umlaut"]]) {
    musBlocks[method] = mus(["encrypt", "--method", method], TEXT.replaceAll("\n", "\r\n"), phrase || undefined);
    const started = Date.now();
    const got = await decryptWith(musBlocks[method], [phrase]);
    if (method === "02") console.log(`a default-cost Method 02 block from mus opened in ${Date.now() - started} ms`);
    check(got.message === "" && lf(got.text) === TEXT, `the page decrypts mus's Method ${method} block`, got.message);
}

// A phrase typed another way opens the same Method 02 block; a wrong one is
// refused and the phrase entry gets the focus.
{
    const made = await encryptWith("Straße", "02", "STRASSE");
    const nfd = await decryptWith(made.text, ["strasse"]);
    check(lf(nfd.text) === "Straße", "a phrase folds its case");
    const wrong = await decryptWith(made.text, ["other"]);
    check(wrong.message === MISMATCH && wrong.focus === "phrase" && wrong.text === made.text, "a wrong phrase is refused", wrong.message);
    const none = await decryptWith(made.text, [""]);
    check(none.focus === "phrase" && none.message !== "", "an empty phrase asks for one", none.message);
}

// A text that is not UTF-8 shows U+FFFD for each byte that is not, and says so.
{
    const block = mus(["encrypt", "--method", "01"], Buffer.from([0x61, 0xff, 0x62, 0xc3, 0x0d, 0x0a, 0xe2, 0x82]));
    const got = await decryptWith(block, []);
    check(got.text === "a\uFFFDb\uFFFD\n\uFFFD\uFFFD" && got.message === NOT_UTF8, "bytes that are not UTF-8", JSON.stringify(got));
}

// Encrypting a block again is asked about first; No leaves it.
{
    await fill({ document: musBlocks["01"], method: "01", phrase: "", phrase2: "" });
    let asked = "";
    page.once("dialog", (dialog) => {
        asked = dialog.message();
        dialog.dismiss();
    });
    await page.click("#encrypt");
    const got = await state();
    check(asked.startsWith("This text is already encrypted.") && got.text === lf(musBlocks["01"]), "encrypting a block is asked about", asked);
}

// A damaged Method 02 block stays refused, however it is laid out.
{
    const lines = lf(musBlocks["02"]).split("\n");
    const body = lines[2];
    const flipped = body.slice(0, 30) + (body[30] === "A" ? "B" : "A") + body.slice(31);
    const damaged = [...lines.slice(0, 2), flipped, ...lines.slice(3)].join("\n");
    const got = await decryptWith(damaged, ["Wörter mit Umlaut"]);
    check(got.text === damaged && (got.message.startsWith(MISMATCH) || got.message === DAMAGED), "a damaged Method 02 block is refused", got.message);
    const quoted = damaged.split("\n").map((line) => "> " + line).join("\n");
    const again = await decryptWith(quoted, ["Wörter mit Umlaut"]);
    check(again.text === quoted, "a damaged Method 02 block is refused when quoted", again.message);
}

// Repairs, as Decrypt makes them.
{
    const block01 = lf(musBlocks["01"]).trimEnd().split("\n");
    const block02 = lf(musBlocks["02"]).trimEnd().split("\n");
    const rows = [
        ["quoted", block01.map((l) => "> " + l), "quote marks removed from 6 lines"],
        ["indented, no-break space", block02.map((l) => "\u00a0   " + l), `blanks removed from ${block02.length} lines`],
        ["zero-width space", block01.map((l, i) => (i === 2 ? "\u200b" + l : l)), "1 invisible character removed"],
        ["blank line after each", block02.flatMap((l) => [l, ""]).slice(0, -1), `${block02.length - 1} blank lines removed`],
        ["one line", [block01.join(" ")], "block split from one line"],
        // The strict reading already reads these: no repair, no message.
        ["<br> at line ends", block01.map((l) => l + "<br>"), ""],
    ];
    for (const [what, docLines, items] of rows) {
        const phrase = what === "indented, no-break space" || what === "blank line after each" ? "Wörter mit Umlaut" : "mus01";
        const got = await decryptWith("Hi,\n\n" + docLines.join("\n") + "\n\nBye\n", [phrase]);
        check(lf(got.text) === TEXT && got.message === (items && `${REPAIRED}${items}.`), `repair: ${what}`, got.message);
    }
}

// The page itself: labels, the small viewport, the dark scheme, no request.
{
    const layout = await page.evaluate(() => {
        const ids = ["document", "phrase", "phrase2", "method", "decrypt", "encrypt", "copy"];
        return {
            unlabelled: ids.filter((id) => {
                const e = document.getElementById(id);
                return !(e.labels && e.labels.length) && !e.textContent.trim();
            }),
            overflow: document.documentElement.scrollWidth - window.innerWidth,
            outside: ids.filter((id) => document.getElementById(id).getBoundingClientRect().right > window.innerWidth),
            version: document.getElementById("version").textContent,
        };
    });
    check(layout.unlabelled.length === 0, "every control has a label", layout.unlabelled.join(", "));
    check(layout.overflow <= 0 && layout.outside.length === 0, "the page fits 390 pixels", JSON.stringify(layout));
    check(/1\.40/.test(layout.version), "the page shows its version", layout.version);
    await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "dark" }]);
    const colours = await page.evaluate(() => [getComputedStyle(document.body).backgroundColor, getComputedStyle(document.getElementById("document")).color]);
    const light = (rgb) => rgb.match(/\d+/g).slice(0, 3).reduce((a, b) => a + Number(b), 0) / 3;
    check(light(colours[0]) < 60 && light(colours[1]) > 180, "the dark scheme is dark with light text", colours.join(" / "));
    await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "light" }]);
}

const foreign = requests.filter((url) => url !== pageUrl);
check(foreign.length === 0, "no request leaves the page", foreign.join("\n  "));
check(problems.length === 0, "no script error or policy violation", problems.join("\n  "));

await browser.close();
if (skipped.length) console.log(`vectors with CR line ends of their own, not for a text area: ${skipped.join(", ")}`);
console.log(`${vectorCount} vectors; ${failures} failures`);
process.exit(failures ? 1 : 0);
