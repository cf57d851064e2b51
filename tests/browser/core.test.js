// The page's module (the plug-in and the host emulation in WebAssembly, through the session
// protocol as the page asks it) and serix-host.js (the same build as a host under Node) against
// the native serix-host on calls drawn at random: every option, padding, dates far and near, values at the 32-bit
// limits, empty and odd parameters, results cut at 64000 characters, and other separators, each
// call also read (read_range). Both must answer every request of the session protocol exactly
// as the native host does, trace included.
// The same seed gives the same calls.
//
//   SERIX_PAGE_MODULE   build/wasm/tools/playground/serix-playground-module.js
//   SERIX_HOST_JS       build/wasm/tools/playground/serix-host.js
//   SERIX_NATIVE_HOST   the native serix-host
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { NativeHost } = require("./lib/native-host");
const { expand } = require("./lib/expect");
const SerixCore = require("../../tools/playground/page/serix_core.js");

const CALLS = 3000;

// The page's module with its WebAssembly handed over, as the page hands it (emscripten's own
// loading would fetch the file, which Node's fetch does not do for a path).
function loadPageModule() {
  const createSerixModule = require(process.env.SERIX_PAGE_MODULE);
  const binary = fs.readFileSync(process.env.SERIX_PAGE_MODULE.replace(/\.js$/, ".wasm"));
  return createSerixModule({ wasmBinary: binary });
}

// A small generator of its own, so that a failure can be run again from its seed.
function random(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  const pick = (list) => list[Math.floor(next() * list.length)];
  return { next, pick };
}

function drawCall({ next, pick }, separator) {
  const words = ["-padding " + pick(["0", "3", "12", "99", "100", "250", "007", "1e2"]), "-DateMMDDYYYY",
                 "-DateDDMMYYYY", "-DateUseDash", "-DateUsePeriod", "-noreturnatend",
                 "-fieldsizewarning", "-PADDING 4", "x-noreturnatendy", "-padding"];
  const options = words.filter(() => next() < 0.25).join(pick([" ", "", "  "]));
  const values = ["0", "1", "-1", "7", "-3", "12/31/2001", "  42", "+5", "abc", "", " ",
                  "2147483647", "-2147483648", "2147483646", "99999999999", "584389", "730120",
                  "3652059", "3652061", "11259330", "-100000", "100000"];
  const texts = ["", "Item ", "a\u0000-noreturnatend", "\u00e9\u0080\u00ff ", "a\rb", "\"\\", "x".repeat(1200)];
  const name = pick(["Serx-CreateRange", "Serx-CreateRange", "Serx-CreateRange", "Serx-Options",
                     "Serx-Version"]);
  const parts = [options, pick(texts), pick(values), pick(values), pick(values), pick(texts)];
  if (name === "Serx-Options") parts[0] = pick(["-setwarningdialogtext", "", "-SetWarningDialogText"]);
  return { name, arg: parts.slice(0, 1 + Math.floor(next() * 6)).join(separator) };
}

test("the page's module and serix-host.js give the native host's answers, byte for byte",
  async () => {
  // The page's own way into the module; it starts the plug-in, and fails unless it answers 4.
  const core = SerixCore.open(await loadPageModule());
  const host = new NativeHost(process.env.SERIX_NATIVE_HOST);
  const hostJs = new NativeHost(["node", process.env.SERIX_HOST_JS]);
  // Every request to the three hosts; all must answer as the native host does.
  const ask = async (request) => {
    const [answer, fromJs] = await Promise.all([host.request(request), hostJs.request(request)]);
    const what = JSON.stringify(request).slice(0, 160);
    assert.deepEqual(fromJs, answer, "serix-host.js on " + what);
    assert.deepEqual(core.request(request), answer, "the page's module on " + what);
    return answer;
  };
  const seed = Number(process.env.SERIX_SEED || 20261209);
  const draw = random(seed);
  try {
    await ask({ op: "initialise", version: 4 });
    let clock = 600000;
    for (let i = 0; i < CALLS; i++) {
      if (i % 500 === 0) {
        const token = draw.pick(["|", ";", "::", "|", "ab", " ", "-"]);
        await ask({ op: "registry", set: { SeparatorToken: token } });
        draw.separator = token;
      }
      const { name, arg } = drawCall(draw, draw.separator || "|");
      clock += 10000; // the page moves its clock on so before every call
      await ask({ op: "clock", ms: clock });
      if (name === "Serx-CreateRange") await ask({ op: "read_range", arg });
      await ask({ op: "read_parameters", arg, count: 1 + Math.floor(draw.next() * 6) });
      const answer = await ask({ op: "function", name, arg });
      assert.equal(answer.error, undefined, `call ${i} of seed ${seed}: ${name}`);
    }
  } finally {
    host.close();
    hostJs.close();
  }
});

// The page's module reads its requests with a JSON reader of its own: every request line of the
// session's acceptance file of errors, sent as it stands to both, gets the native host's answer
// (a refusal's wording aside).
test("the page's module answers the session's error cases as the native host does", async () => {
  const module = await loadPageModule();
  const encoder = new TextEncoder();
  const send = (line) => {
    const bytes = encoder.encode(line);
    const at = module._malloc(bytes.length + 1);
    module.HEAPU8.set(bytes, at);
    const answer = module._serix_request(at, bytes.length);
    module._free(at);
    return JSON.parse(new TextDecoder().decode(module.HEAPU8.subarray(answer, module.HEAPU8.indexOf(0, answer))));
  };
  const host = new NativeHost(process.env.SERIX_NATIVE_HOST);
  const file = path.join(__dirname, "../acceptance/session_errors.jsonl");
  try {
    for (const line of fs.readFileSync(file, "utf8").split("\n")) {
      if (!line.trim() || line.startsWith("#")) continue;
      const entry = JSON.parse(line);
      const request = "send" in entry ? expand(entry.send) : JSON.stringify(expand(entry.request));
      const [answer, fromPage] = [await host.send(request), send(request)];
      const what = request.slice(0, 120);
      if ("error" in answer) {
        assert.equal(typeof fromPage.error, "string", what);
      } else {
        assert.deepEqual(fromPage, answer, what);
      }
    }
  } finally {
    host.close();
  }
});
