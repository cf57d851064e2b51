// The playground page's size and speed in Debian's headless Chromium: the page's bytes, plain
// and gzipped; from opening the file to the first result shown; a call whose result has 64000
// characters, computed and laid out; and an argument of 100000 characters pasted. Medians of
// RUNS (default 15). Uses the browser tests' puppeteer-core.
//
//   node bench/page_timing.js PAGE.html [RUNS]
"use strict";
const fs = require("node:fs");
const path = require("node:path");
const zlib = require("node:zlib");
const { pathToFileURL } = require("node:url");
const { launch, openPage } = require("../tests/browser/lib/chromium");

const [pagePath, runsText] = process.argv.slice(2);
const runs = Number(runsText || 15);
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The time of the page's last call shown, after setting the argument to `text` as a paste.
async function callShown(page, text) {
  return page.evaluate((argument) => new Promise((done) => {
    const field = document.getElementById("argument");
    field.value = argument;
    field.dispatchEvent(new Event("input"));
    requestAnimationFrame(() => done(performance.getEntriesByName("serix-call-shown")[0].duration));
  }), text);
}

(async () => {
  const bytes = fs.readFileSync(pagePath);
  console.log(`page: ${bytes.length} bytes, ${zlib.gzipSync(bytes, { level: 9 }).length} gzipped`);
  const url = pathToFileURL(path.resolve(pagePath)).href;
  const browser = await launch();
  const firstResult = [];
  const fullResult = [];
  const longArgument = [];
  for (let i = 0; i < runs; i++) {
    const page = await openPage(browser);
    await page.goto(url);
    await page.waitForSelector('html[data-ready="true"]');
    firstResult.push(await page.evaluate(() =>
      performance.getEntriesByName("serix-first-result")[0].startTime));
    // Two ranges of 64000 characters in turn, so that each is set out afresh.
    fullResult.push(await callShown(page, i % 2 ? "||1|1|100000|" : "||2|1|100000|"));
    longArgument.push(await callShown(page, "|" + "x".repeat(100000) + "|1|1|3|"));
    await page.close();
  }
  await browser.close();
  console.log(`open to first result: median ${median(firstResult).toFixed(1)} ms`);
  console.log(`64000-character result, computed and laid out: median ${median(fullResult).toFixed(1)} ms`);
  console.log(`argument of 100000 characters: median ${median(longArgument).toFixed(1)} ms`);
})();
