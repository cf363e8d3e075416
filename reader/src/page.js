// The page's wiring: the controls, the work behind the buttons, and the
// messages. The work itself is reader.js's.

import { MSG, utf8Binary, withCrLf } from "./format.js";
import { useSodium } from "./methods.js";
import { decryptDocument, encryptText, holdsBlock } from "./reader.js";

const $ = (id) => document.getElementById(id);

// Lets the button show its progress before the work takes the thread.
const nextFrame = () => new Promise((resolve) => setTimeout(resolve, 20));

async function run(button, working, work) {
    const caption = button.textContent;
    for (const id of ["decrypt", "encrypt", "copy"]) $(id).disabled = true;
    $("message").textContent = "";
    button.textContent = working;
    button.setAttribute("aria-busy", "true");
    try {
        await globalThis.sodium.ready;
        await nextFrame();
        work();
    } catch (error) {
        $("message").textContent = String(error && error.message ? error.message : error);
    } finally {
        button.textContent = caption;
        button.removeAttribute("aria-busy");
        for (const id of ["decrypt", "encrypt", "copy"]) $(id).disabled = false;
    }
}

function decrypt() {
    const outcome = decryptDocument(utf8Binary(withCrLf($("document").value)), $("phrase").value);
    if (outcome.text !== null) $("document").value = outcome.text;
    $("message").textContent = outcome.message;
    if (outcome.askPhrase) {
        $("phrase").focus();
        $("phrase").select();
    }
}

function encrypt() {
    const outcome = encryptText($("document").value, $("method").value, $("phrase").value, $("phrase2").value);
    $("message").textContent = outcome.message;
    if (outcome.block !== null) {
        $("document").value = outcome.block;
        $("phrase").value = "";
        $("phrase2").value = "";
    } else if (outcome.field) {
        $(outcome.field).focus();
    }
}

async function copy() {
    const text = $("document").value;
    try {
        await navigator.clipboard.writeText(text);
    } catch {
        // Without the clipboard interface (some file:// pages) the selection
        // is copied.
        $("document").select();
        document.execCommand("copy");
    }
}

$("decrypt").addEventListener("click", () => run($("decrypt"), "Decrypting…", decrypt));
$("encrypt").addEventListener("click", () => {
    // A block encrypted again needs both phrases to come back: asked first.
    if (holdsBlock($("document").value) && !window.confirm(MSG.alreadyEncrypted)) return;
    run($("encrypt"), "Encrypting…", encrypt);
});
$("copy").addEventListener("click", () => copy());
globalThis.sodium.ready.then(() => useSodium(globalThis.sodium));
