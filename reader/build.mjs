// Builds the one-file reader page: the page template with its style, the
// libsodium sumo build and the page's modules inlined into one HTML file,
// with the Content-Security-Policy hashes of the inline script and style.
//
//   node build.mjs [OUTPUT-DIRECTORY]      (default: dist)
//
// Writes OUTPUT-DIRECTORY/murmurscript-reader.html. Needs Node.js 18 or later
// and the packages of package-lock.json (npm ci), in OUTPUT-DIRECTORY or here.

import { createHash } from "node:crypto";
import { existsSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const out = resolve(process.argv[2] || join(here, "dist"));
const read = (path) => readFileSync(path, "utf8");
// The packages npm ci installed: beside the output (a build directory) or
// beside this script.
const modules = [join(out, "node_modules"), join(here, "node_modules")].find((dir) => existsSync(dir));

// The modules in the order they need each other; each is inlined without its
// import lines and export keywords, all in one function scope.
const MODULES = ["format.js", "repairs.js", "methods.js", "reader.js", "page.js"];
const LIBRARIES = [
    "libsodium-sumo/dist/modules-sumo/libsodium-sumo.js",
    "libsodium-wrappers-sumo/dist/modules-sumo/libsodium-wrappers.js",
];
const MAX_PAGE_BYTES = 2 * 1024 * 1024;

function fail(message) {
    console.error(`build.mjs: ${message}`);
    process.exit(1);
}

function inlineModule(name) {
    const source = read(join(here, "src", name));
    const code = source
        .replace(/^import\s[\s\S]*?\sfrom\s+"[^"]+";[ \t]*$/gm, "")
        .replace(/^export\s+(?=(?:async\s+)?(?:const|let|function|class)\b)/gm, "");
    if (/^\s*(import|export)\b/m.test(code)) fail(`${name}: an import or export the build cannot inline`);
    return `// ---- ${name}\n${code}`;
}

// Text inside a <script> element may not hold "</script".
function scriptSafe(code) {
    return code.replace(/<\/(script)/gi, "<\\/$1");
}

function hash(text) {
    return `sha256-${createHash("sha256").update(text, "utf8").digest("base64")}`;
}

const pkg = JSON.parse(read(join(here, "package.json")));
const version = pkg.version.split(".").slice(0, 2).join(".");

if (!modules) fail("no node_modules: run npm ci first");
const libraries = LIBRARIES.map((path) => read(join(modules, path)));
const script = scriptSafe(
    [
        // The libraries are classic scripts that set window.libsodium and
        // window.sodium.
        ...libraries,
        `(function () {\n"use strict";\n${MODULES.map(inlineModule).join("\n")}\n})();\n`,
    ].join(";\n"),
);
const style = read(join(here, "src", "page.css"));
if (/eval\(|new Function/.test(MODULES.map((name) => read(join(here, "src", name))).join(""))) {
    fail("the page's modules must not evaluate code");
}

const page = read(join(here, "src", "page.html"))
    .replace("@SCRIPT_HASH@", hash(script))
    .replace("@STYLE_HASH@", hash(style))
    .replaceAll("@VERSION@", version)
    .replace("@STYLE@", () => style)
    .replace("@SCRIPT@", () => script);

const size = Buffer.byteLength(page, "utf8");
if (size > MAX_PAGE_BYTES) fail(`the page is ${size} bytes, more than ${MAX_PAGE_BYTES}`);
mkdirSync(out, { recursive: true });
const target = join(out, "murmurscript-reader.html");
writeFileSync(target, page);
console.log(`${target}: ${size} bytes, version ${version}`);
