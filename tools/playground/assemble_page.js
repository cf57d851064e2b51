// Writes the playground page as one file: the page's HTML with its style sheet, the module (the
// plug-in in WebAssembly and emscripten's JavaScript that starts it) and the page's scripts set
// into it, so that it works opened from a folder, with no server and no other file. Its
// Content-Security-Policy names each script and the style sheet by its SHA-256 hash, so that
// nothing else runs on the page.
//
// The WebAssembly travels as a JavaScript string whose character codes are its bytes, each moved
// up by a shift: in the page's UTF-8 a character below 128 takes one byte and the others two,
// and a few must be escaped. WebAssembly is full of zero bytes, which a script can hold only
// escaped; the shift that makes the string shortest moves them and the other frequent bytes onto
// plain characters. The string is about a tenth longer than the bytes, against a third for
// base64, and compresses nearly as well as the bytes themselves.
//
//   node assemble_page.js OUT TEMPLATE CSS MODULE.js MODULE.wasm VERSION SCRIPT.js...
"use strict";
const crypto = require("node:crypto");
const fs = require("node:fs");

const [out, template, css, moduleScript, moduleBinary, version, ...scripts] = process.argv.slice(2);
const read = (file) => fs.readFileSync(file, "utf8");

// Characters a script's string must escape: line ends, the zero byte (which HTML replaces), the
// quotation mark, the backslash, and "<" (which could start "</script" or "<!--").
const ESCAPES = { 0x00: "\\x00", 0x0a: "\\n", 0x0d: "\\r", 0x22: '\\"', 0x3c: "\\x3c",
                  0x5c: "\\\\" };

function characterLength(code) {
  return ESCAPES[code] !== undefined ? ESCAPES[code].length : code < 0x80 ? 1 : 2;
}

// { shift, text }: the bytes as a string literal, each moved up by the shift that makes it
// shortest.
function carriedBytes(bytes) {
  const counts = new Array(256).fill(0);
  for (const byte of bytes) counts[byte]++;
  let best = null;
  for (let shift = 0; shift < 256; shift++) {
    let length = 0;
    counts.forEach((n, byte) => { length += n * characterLength((byte + shift) & 0xff); });
    if (best === null || length < best.length) best = { shift, length };
  }
  let text = '"';
  for (const byte of bytes) {
    const code = (byte + best.shift) & 0xff;
    text += ESCAPES[code] ?? String.fromCharCode(code);
  }
  return `{ shift: ${best.shift}, text: ${text}" }`;
}

const moduleText = read(moduleScript) + "\nvar SerixModuleBinary = " +
                   carriedBytes(fs.readFileSync(moduleBinary)) + ";\n";
const playground = scripts.map((script) => read(script) + "\n").join("");
const style = read(css);

// A script element ends at the first "</script" whatever stands around it.
for (const [name, text] of [["module", moduleText], ["scripts", playground]]) {
  if (/<\/script/i.test(text)) {
    throw new Error(`the page's ${name} holds </script, which would end its script element`);
  }
}

// 'sha256-...': how a policy names an inline element by its text.
const hash = (text) => `'sha256-${crypto.createHash("sha256").update(text, "utf8").digest("base64")}'`;

// The version first, so that nothing of the texts hashed is changed after; a function as the
// replacement, so that "$" in a text is taken as it stands.
const page = read(template)
  .replaceAll("@SERIX_VERSION@", version)
  .replace("@SCRIPT_HASHES@", `${hash(moduleText)} ${hash(playground)}`)
  .replace("@STYLE_HASH@", hash(style))
  .replace("/*@PLAYGROUND_CSS@*/", () => style)
  .replace("/*@SERIX_MODULE@*/", () => moduleText)
  .replace("/*@PLAYGROUND_SCRIPTS@*/", () => playground);
fs.writeFileSync(out, page);
