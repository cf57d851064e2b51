// The playground page from the unpacked release, in Debian's Chromium with the network off,
// used as a designer uses it. Its calls and expectations come from data: the calls of
// tests/acceptance/playground.jsonl, typed into the form and into the argument and compared
// with the native serix-host, and the guide's "Try it" links, compared with the guide's own
// examples (guide.md.jsonl, line for line with docs/guide.md).
//
//   SERIX_RELEASE_DIR   the unpacked release folder (Serix-Playground.html, Serix-Guide.html,
//                       the .reg files)
//   SERIX_NATIVE_HOST   the native serix-host
//   SERIX_GUIDE_CASES   guide.md.jsonl of a native build
//   SERIX_GUIDE         docs/guide.md
//   SERIX_OUTPUT_DIR    where the screenshot of a date range goes
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const http = require("node:http");
const path = require("node:path");
const { pathToFileURL } = require("node:url");

const { launch, openPage } = require("./lib/chromium");
const { NativeHost } = require("./lib/native-host");
const { expand, textMatches } = require("./lib/expect");
const ui = require("./lib/playground-page");

const release = process.env.SERIX_RELEASE_DIR;
const pageUrl = pathToFileURL(path.join(release, "Serix-Playground.html")).href;
const guideUrl = pathToFileURL(path.join(release, "Serix-Guide.html")).href;
const caseFile = path.join(__dirname, "../acceptance/playground.jsonl");

function readCases(file) {
  return fs.readFileSync(file, "utf8").split("\n").map((line, index) => ({ line, number: index + 1 }))
    .filter(({ line }) => line.trim() && !line.startsWith("#"))
    .map(({ line, number }) => ({ ...JSON.parse(line), number }));
}

// A token the plug-in takes: 1 to 63 characters; otherwise it goes back to "|".
function tokenInForce(token) {
  return token.length >= 1 && token.length <= 63 ? token : "|";
}

const quoted = (text) => "\u201c" + text + "\u201d";
const asShown = (text) => text.replace(/\r/g, "\n");
const RANGE_WARNING_CAPTION = "Vexa Serix Plug-In";

let browser;
test.before(async () => { browser = await launch(); });
test.after(async () => { await browser?.close(); });

// What the page shows for a call, against the native host's response to it.
async function checkShown(page, response, what) {
  const shown = await ui.shown(page);
  if (!response.touched) {
    assert.equal(shown.summary, "No result.", what);
    assert.equal(shown.result, "", what);
    assert.match(shown.noResultLink, /^Serix-Guide\.html#when-there-is-no-result$/, what);
  } else {
    const result = await ui.decode(page, response.result);
    assert.equal(shown.result, asShown(result), what + ": the result as shown");
    assert.equal(await ui.copiedResult(page), asShown(result), what + ": the result as copied");
    const entries = result === "" ? 0 : result.split("\r").length - (result.endsWith("\r") ? 1 : 0);
    assert.match(shown.summary, new RegExp("^" + entries.toLocaleString("en-US") + " entr"), what);
  }
  const boxes = [];
  for (const alert of response.alerts) {
    boxes.push("Message box " + quoted(await ui.decode(page, alert.caption)) + ": " +
               await ui.decode(page, alert.text));
  }
  assert.deepEqual(shown.notices.filter((n) => n.startsWith("Message box")), boxes, what);
  const incomplete = response.touched && (response.result.length >= 64000 ||
    response.alerts.some((a) => a.caption === RANGE_WARNING_CAPTION));
  assert.equal(shown.notices.some((n) => n.startsWith("Incomplete")), incomplete,
               what + ": the notice of an incomplete range");
  return shown;
}

test("calls typed into the form and into the argument give the native host's results",
  async () => {
    const page = await openPage(browser);
    await ui.open(page, pageUrl);
    const host = new NativeHost(process.env.SERIX_NATIVE_HOST);
    let token = "|";
    try {
      for (const entry of readCases(caseFile)) {
        const request = expand(entry.request);
        const response = await host.request(request);
        const what = "playground.jsonl:" + entry.number;
        if (request.op === "registry" && request.set && "SeparatorToken" in request.set) {
          await ui.typeInto(page, "#separator", await ui.decode(page, request.set.SeparatorToken));
          token = tokenInForce(request.set.SeparatorToken);
          continue;
        }
        if (request.op === "registry" && request.get) {
          const inForce = await ui.decode(page, response.values.SeparatorToken);
          assert.ok((await ui.shown(page)).separatorStatus.includes("at " + quoted(inForce)), what);
          continue;
        }
        if (request.op !== "function") continue; // the page moves its clock on by itself

        const argument = await ui.decode(page, request.arg);
        await ui.fillForm(page, request.name, argument, await ui.decode(page, token));
        const fromForm = await checkShown(page, response, what + " (form)");
        assert.equal(fromForm.argument, asShown(argument), what + ": the form writes the argument");
        if (entry.calculation) assert.equal(fromForm.calculation, entry.calculation, what);

        await ui.typeInto(page, "#argument", argument);
        await ui.settle(page);
        await checkShown(page, response, what + " (argument)");
        const form = ui.formFor(request.name, argument, await ui.decode(page, token));
        for (const [selector, text] of Object.entries(form.texts)) {
          assert.equal(asShown(await page.$eval(selector, (f) => f.value)), asShown(text),
                       what + ": the argument fills " + selector);
        }
        for (const [selector, on] of Object.entries(form.checks)) {
          assert.equal(await page.$eval(selector, (box) => box.checked), on, what + " " + selector);
        }
      }
    } finally {
      host.close();
    }
    assert.deepEqual(page.outside, [], "the page reached for nothing outside its folder");
    assert.deepEqual(page.errors, []);
    await page.close();
  });

test("every Try it link of the guide gives the result the guide shows", async () => {
  const cases = fs.readFileSync(process.env.SERIX_GUIDE_CASES, "utf8").split("\n");
  const guideLines = fs.readFileSync(process.env.SERIX_GUIDE, "utf8").split("\n");
  const page = await openPage(browser);
  await page.goto(guideUrl);
  const links = await page.$$eval("a.try-it", (all) =>
    all.map((a) => ({ href: a.href, line: Number(a.dataset.line) })));
  assert.ok(links.length > 20, "the guide links its examples to the page");
  assert.ok(await page.$("#when-there-is-no-result"), "the page's link into the guide has a target");

  for (const link of links) {
    const entry = JSON.parse(cases[link.line - 1]);
    const expected = expand(entry.expect);
    const what = "guide line " + link.line;
    await page.goto("about:blank");
    await ui.open(page, link.href);
    const shown = await ui.shown(page);
    if (expected.touched === false) {
      assert.equal(shown.summary, "No result.", what);
    } else {
      const decoded = async (x) => typeof x === "string" ? ui.decode(page, x) : x;
      const matcher = typeof expected.result === "string" ? await decoded(expected.result)
        : Object.fromEntries(await Promise.all(Object.entries(expected.result).map(
            async ([k, v]) => [k, k === "$count" ? [await decoded(v[0]), v[1]] : await decoded(v)])));
      assert.ok(textMatches(matcher, shown.result, asShown),
                what + ": got " + JSON.stringify(shown.result.slice(0, 200)));
    }
    assert.equal(shown.calculation, guideLines[link.line - 1].trim(),
                 what + ": the calculation is the guide's own");
  }
  assert.deepEqual(page.outside, []);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test("the .reg file the page offers is the release's file for that separator", async () => {
  const page = await openPage(browser);
  await ui.open(page, pageUrl);
  const files = fs.readdirSync(release).filter((name) => name.endsWith(".reg"));
  assert.ok(files.length >= 4);
  for (const name of files) {
    const bytes = fs.readFileSync(path.join(release, name));
    const token = /"SeparatorToken"="(.*)"\r\n/.exec(bytes.toString("latin1"))[1];
    await ui.typeInto(page, "#separator", token);
    await ui.settle(page);
    const href = await page.$eval("#reg-file", (a) => a.href);
    const offered = Buffer.from(href.replace(/^data:[^,]*;base64,/, ""), "base64");
    assert.equal(offered.toString("latin1"), bytes.toString("latin1"), name);
  }
  await page.close();
});

test("what comes from the address or a paste is text, never markup or script", async () => {
  const page = await openPage(browser);
  const crafted = '<img src=x onerror="document.title=1">|<script>document.title=2</script>|1|1|2|';
  await ui.open(page, pageUrl + "#f=Serx-CreateRange&s=%3Cb%3E&a=" + encodeURIComponent(crafted));
  const before = await page.evaluate(() => document.title);
  assert.equal(await page.$$eval("img, b, main script", (found) => found.length), 0);
  const shown = await ui.shown(page);
  assert.match(shown.separatorStatus, /splits the argument at “<b>”/);
  assert.equal(shown.calculation, 'External ( "Serx-CreateRange" ; "' + crafted.replace(/"/g, '\\"') + '" )');
  assert.equal(shown.argument, crafted);

  await ui.typeInto(page, "#prefix", "Smile \u{1F600} ");
  await ui.settle(page);
  const withEmoji = await ui.shown(page);
  assert.match(withEmoji.argumentNote, /U\+1F600/, "a character outside Windows-1252 is named");
  assert.match(withEmoji.summary, /No call/);

  await ui.typeInto(page, "#separator", "|");
  const long = "-noreturnatend|" + "x".repeat(100000) + "|1|1|3|";
  await ui.typeInto(page, "#argument", long);
  await ui.settle(page);
  const withLong = await ui.shown(page);
  assert.equal(withLong.argument.length, long.length);
  // The plug-in reads the first 1000 characters of a parameter.
  assert.match(withLong.summary, /^3 entries, 3,005 characters/);
  assert.equal(await page.evaluate(() => document.title), before);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test("keyboard, labels and layout", async () => {
  for (const width of [360, 1280]) {
    const page = await openPage(browser, { width, height: 900 });
    await ui.open(page, pageUrl);
    for (const name of ["Function", "Argument", "Separator", "Result", "Calculation"]) {
      assert.ok(await page.$("aria/" + name), width + " px: a control labelled " + name);
    }
    assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= innerWidth),
              width + " px: nothing wider than the window");

    const reached = new Set();
    for (let i = 0; i < 60; i++) {
      await page.keyboard.press("Tab");
      reached.add(await page.evaluate(() => document.activeElement.id));
    }
    for (const id of ["function", "separator", "prefix", "argument", "result", "calculation",
                      "copy-calculation"]) {
      assert.ok(reached.has(id), width + " px: Tab reaches #" + id);
    }

    // Typing, and a result of 64000 characters, move nothing on the page.
    const boxes = () => page.$$eval("#function, #argument, #result, #calculation",
      (all) => all.map((e) => {
        const box = e.getBoundingClientRect();
        return [box.left + scrollX, box.top + scrollY, box.width, box.height].join(" ");
      }));
    const still = await boxes();
    await ui.typeInto(page, "#end", "100000");
    await ui.settle(page);
    assert.ok((await ui.shown(page)).notices.some((n) => n.startsWith("Incomplete")));
    assert.deepEqual(await boxes(), still, width + " px: the layout stays put");
    await page.close();
  }
});

test("a date picked in the calendar becomes its day number, shown as its date", async () => {
  const page = await openPage(browser);
  await ui.open(page, pageUrl + "#f=Serx-CreateRange&a=" +
                encodeURIComponent("-DateDDMMYYYY -DateUsePeriod|Due |730120|7|730150|"));
  await page.focus("#start-date");
  await page.keyboard.type("01012002"); // mm dd yyyy, the calendar field of en-US
  await ui.settle(page);
  assert.equal(await page.$eval("#start", (f) => f.value), "730851");
  assert.equal(await page.$eval("#start-date-text", (o) => o.textContent),
               "Day 730,851 is 01.01.2002.");
  await page.focus("#end-date");
  await page.keyboard.type("01292002");
  await ui.settle(page);
  const shown = await ui.shown(page);
  assert.equal(shown.argument, "-DateDDMMYYYY -DateUsePeriod|Due |730851|7|730879|");
  assert.equal(shown.result, "Due 01.01.2002\nDue 08.01.2002\nDue 15.01.2002\nDue 22.01.2002\n" +
                             "Due 29.01.2002\n");
  const output = process.env.SERIX_OUTPUT_DIR;
  if (output) {
    fs.mkdirSync(output, { recursive: true });
    await page.screenshot({ path: path.join(output, "playground-dates.png"), fullPage: true });
  }
  await page.close();
});

test("served over http, the page works as it does from a folder", async () => {
  const server = http.createServer((request, response) => {
    const name = path.basename(decodeURIComponent(new URL(request.url, "http://x").pathname));
    fs.readFile(path.join(release, name), (error, bytes) => {
      response.writeHead(error ? 404 : 200, { "Content-Type": "text/html; charset=utf-8" });
      response.end(error ? "" : bytes);
    });
  });
  await new Promise((listening) => server.listen(0, "127.0.0.1", listening));
  const origin = `http://127.0.0.1:${server.address().port}/`;
  const page = await openPage(browser, { server: origin });
  try {
    await ui.open(page, origin + "Serix-Playground.html#f=Serx-CreateRange&a=" +
                  encodeURIComponent("-padding 3|Item |8|1|11|"));
    assert.equal((await ui.shown(page)).result, "Item 008\nItem 009\nItem 010\nItem 011\n");
    assert.deepEqual(page.outside, []);
    assert.deepEqual(page.errors, []);
  } finally {
    await page.close();
    server.close();
  }
});
