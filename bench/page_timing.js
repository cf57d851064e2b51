// The playground page's size and speed in Debian's headless Chromium: the page's bytes, plain
// and gzipped, and what takes them; from opening the file to the first result shown; a keystroke
// that makes a result of 64000 characters, to the result shown and to the last of it set out; a
// paste of 1 MB into the argument, and a keystroke after it, beside a keystroke in a bare text
// area of 1 MB (Chromium's own part). Medians of RUNS (default 5) cold loads. Uses the browser
// tests' puppeteer-core.
//
//   node bench/page_timing.js PAGE.html [RUNS]
"use strict";
const fs = require("node:fs");
const path = require("node:path");
const zlib = require("node:zlib");
const { pathToFileURL } = require("node:url");
const { launch, openPage } = require("../tests/browser/lib/chromium");

const [pagePath, runsText] = process.argv.slice(2);
const runs = Number(runsText || 5);
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const gzipped = (text) => zlib.gzipSync(Buffer.from(text), { level: 9 }).length;

// The page's parts: the WebAssembly as the page carries it, emscripten's script, the rest.
function parts(html) {
  const binaryStart = html.indexOf("var SerixModuleBinary = ");
  const binaryEnd = html.indexOf("\n", binaryStart);
  const moduleStart = html.indexOf("<script>") + "<script>".length;
  return {
    WebAssembly: html.slice(binaryStart, binaryEnd),
    "emscripten's script": html.slice(moduleStart, binaryStart),
    "HTML, style and the page's scripts": html.slice(0, moduleStart) + html.slice(binaryEnd),
  };
}

// Milliseconds from a key pressed in the argument to the call shown ("serix-call-shown": the
// call, the result set out and laid out) and to the result area no longer busy (every line set
// out).
async function keystroke(page, key) {
  await page.evaluate(() => {
    window.keyAt = null;
    document.getElementById("argument").addEventListener("keydown", () => {
      window.keyAt = performance.now();
    }, { once: true, capture: true });
  });
  await page.focus("#argument");
  await page.evaluate(() => {
    const field = document.getElementById("argument");
    field.setSelectionRange(field.value.length, field.value.length);
  });
  await page.keyboard.press(key);
  return settled(page);
}

async function settled(page) {
  return page.evaluate(() => new Promise((done) => {
    const check = () => {
      const shown = performance.getEntriesByName("serix-call-shown")[0];
      const busy = document.getElementById("result").getAttribute("aria-busy") === "true";
      if (shown && shown.startTime + shown.duration >= window.keyAt && !busy) {
        done([shown.startTime + shown.duration - window.keyAt, performance.now() - window.keyAt,
              shown.duration]);
      } else {
        requestAnimationFrame(check);
      }
    };
    requestAnimationFrame(check);
  }));
}

// Chromium's own part of a keystroke in 1 MB: a bare text area holding it, no script; from the
// key pressed to the next frame laid out.
async function bareKeystroke(browser, text) {
  const page = await openPage(browser);
  await page.setContent('<textarea id="argument" rows="3" style="width:40em"></textarea>');
  await page.evaluate((argument) => {
    const field = document.getElementById("argument");
    field.value = argument;
    field.focus();
    field.setSelectionRange(argument.length, argument.length);
    field.addEventListener("keydown", () => { window.keyAt = performance.now(); }, { once: true });
  }, text);
  await page.keyboard.press("KeyY");
  const ms = await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => {
    document.getElementById("argument").getBoundingClientRect();
    done(performance.now() - window.keyAt);
  })));
  await page.close();
  return ms;
}

// Milliseconds from an argument set at once (as a paste) to the call shown and the result set out.
async function paste(page, text) {
  await page.evaluate((argument) => {
    const field = document.getElementById("argument");
    window.keyAt = performance.now();
    field.value = argument;
    field.dispatchEvent(new Event("input"));
  }, text);
  return settled(page);
}

(async () => {
  const html = fs.readFileSync(pagePath, "utf8");
  console.log(`page: ${Buffer.byteLength(html)} bytes, ${gzipped(html)} gzipped`);
  for (const [name, text] of Object.entries(parts(html))) {
    console.log(`  ${name}: ${Buffer.byteLength(text)} bytes, ${gzipped(text)} gzipped`);
  }
  const url = pathToFileURL(path.resolve(pagePath)).href;
  const browser = await launch();
  const measured = { first: [], fullShown: [], fullSetOut: [], fullOwn: [], pasteShown: [],
                     typedShown: [], typedOwn: [], bare: [] };
  const megabyte = "-noreturnatend|" + "x".repeat(1 << 20) + "|1|1|3|";
  for (let i = 0; i < runs; i++) {
    const page = await openPage(browser);
    await page.goto(url);
    await page.waitForSelector('html[data-ready="true"]');
    measured.first.push(await page.evaluate(() =>
      performance.getEntriesByName("serix-first-result")[0].startTime));
    await paste(page, "||1|1|10000");
    const [shown, setOut, own] = await keystroke(page, "Digit0"); // 100000: 64000 characters
    measured.fullShown.push(shown);
    measured.fullSetOut.push(setOut);
    measured.fullOwn.push(own);
    measured.pasteShown.push((await paste(page, megabyte))[0]);
    const [typed, , typedOwn] = await keystroke(page, "KeyY");
    measured.typedShown.push(typed);
    measured.typedOwn.push(typedOwn);
    await page.close();
    measured.bare.push(await bareKeystroke(browser, megabyte));
  }
  await browser.close();
  const ms = (values) => `median ${median(values).toFixed(0)} ms (${Math.min(...values).toFixed(0)} to ${Math.max(...values).toFixed(0)})`;
  console.log(`open to first result: ${ms(measured.first)}`);
  console.log(`keystroke to a 64000-character result shown: ${ms(measured.fullShown)}`);
  console.log(`  of which the page's call, result set out and laid out: ${ms(measured.fullOwn)}`);
  console.log(`  and every line of it set out: ${ms(measured.fullSetOut)}`);
  console.log(`1 MB pasted into the argument, to its call shown: ${ms(measured.pasteShown)}`);
  console.log(`a keystroke after it, to its call shown: ${ms(measured.typedShown)}`);
  console.log(`  of which the page's call, result set out and laid out: ${ms(measured.typedOwn)}`);
  console.log(`  a bare text area of 1 MB, key to next frame: ${ms(measured.bare)}`);
})();
