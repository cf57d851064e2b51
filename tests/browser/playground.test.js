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

const Calculation = require("../../tools/playground/page/calculation.js");
const { launch, openPage } = require("./lib/chromium");
const { NativeHost } = require("./lib/native-host");
const { expand, textMatches } = require("./lib/expect");
const { readCall } = require("./lib/filemaker-text");
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

// What the page shows for a call, against the native host's response to it and, for a range,
// the plug-in's reading of its argument.
async function checkShown(page, response, read, what) {
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
  assert.equal(shown.notices.some((n) => n.startsWith("Incomplete")), Boolean(read?.incomplete),
               what + ": the notice of an incomplete range");
  return shown;
}

// The parameters of a read_range response as the page's fields show them.
async function readTexts(page, read) {
  const texts = {};
  for (const name of ["prefix", "start", "step", "end", "suffix"]) {
    const text = read[name] === undefined ? "" : read[name].text ?? read[name];
    texts[name] = asShown(await ui.decode(page, text));
  }
  return texts;
}

// The range form shows what the plug-in read: the option words that apply and the parameters
// as it holds them.
async function checkRangeForm(page, read, what) {
  const { options } = read;
  assert.ok((await ui.chosenLabel(page, "values")).startsWith(ui.DATE_LABELS[options.dates]), what);
  if (options.dates === "none") {
    assert.equal(await ui.checked(page, "padding"), options.padding > 0, what + ": padding");
    if (options.padding > 0) assert.equal(await ui.value(page, "width"), String(options.padding));
  } else {
    assert.ok((await ui.chosenLabel(page, "dateSeparator")).startsWith(options.date_separator), what);
  }
  assert.equal(await ui.checked(page, "noReturn"), !options.return_at_end, what + ": no return");
  assert.equal(await ui.checked(page, "warning"), options.warning, what + ": warning");
  for (const [name, text] of Object.entries(await readTexts(page, read))) {
    if (read[name] !== undefined) {
      assert.equal(asShown(await ui.value(page, name)), text, what + ": " + name);
    }
  }
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
        const what = "playground.jsonl:" + entry.number;
        const range = request.op === "function" && request.name === "Serx-CreateRange";
        const read = range ? await host.request({ op: "read_range", arg: request.arg }) : null;
        const response = await host.request(request);
        if (request.op === "registry" && request.set && "SeparatorToken" in request.set) {
          await ui.typeInto(page, "separator", await ui.decode(page, request.set.SeparatorToken));
          token = await ui.decode(page, tokenInForce(request.set.SeparatorToken));
          continue;
        }
        if (request.op === "registry" && request.get) {
          const inForce = await ui.decode(page, response.values.SeparatorToken);
          assert.ok((await ui.shown(page)).separatorStatus.includes("at " + quoted(inForce)), what);
          continue;
        }
        if (request.op !== "function") continue; // the page moves its clock on by itself

        const argument = await ui.decode(page, request.arg);
        const words = argument.split(token);
        // Serx-Options and Serx-Version answer "0" and "1100" when they find their option word.
        const found = response.result === "0" || response.result === "1100";
        await ui.fillForm(page, request.name, range ? { read, texts: await readTexts(page, read) }
          : request.name === "Serx-Options"
            ? { options: { setWarning: found }, texts: { warningText: words.slice(1).join(token) } }
            : { options: { versionNumber: found }, texts: {} });
        const fromForm = await checkShown(page, response, read, what + " (form)");
        assert.equal(fromForm.argument, asShown(argument), what + ": the form writes the argument");
        for (const [version, calculation] of Object.entries(entry.calculation || {})) {
          await ui.choose(page, "version", Calculation.versionName(version));
          await ui.settle(page);
          assert.equal((await ui.shown(page)).calculation, calculation, what + ": " + version);
        }
        if (entry.calculation) await ui.choose(page, "version", Calculation.versionName("4-6"));

        await ui.typeInto(page, "argument", argument);
        await ui.settle(page);
        await checkShown(page, response, read, what + " (argument)");
        if (range) {
          await checkRangeForm(page, read, what + ": the argument fills the form");
        } else {
          const box = request.name === "Serx-Options" ? "setWarning" : "versionNumber";
          assert.equal(await ui.checked(page, box), found, what + ": the argument ticks " + box);
        }
      }
    } finally {
      host.close();
    }
    assert.deepEqual(page.outside, [], "the page reached for nothing outside its folder");
    assert.deepEqual(page.errors, []);
    await page.close();
  });

test("the form follows the plug-in's reading of arguments it reads otherwise than they look",
  async () => {
    const page = await openPage(browser);
    const host = new NativeHost(process.env.SERIX_NATIVE_HOST);
    // Option words past the 1000 characters the plug-in reads, after a zero byte, a padding
    // past 100 or written 1e2; a range cut to fit with separators that its option words hold;
    // function names that a plain object has, which are unknown names like any other.
    const calls = [
      ["Serx-CreateRange", "|", "x".repeat(995) + "-DateMMDDYYYY -noreturnatend|p|1|1|3|"],
      ["toString", "|", "ab\u0000-noreturnatend -DateUseDash|p|1|1|3|"],
      ["constructor", "|", "-padding 120||1|1|3|"],
      ["__proto__", "|", "-padding 1e2||1|1|3|"],
      ["valueOf", " ", "-fieldsizewarning  1 1 100000 "],
      ["Serx-CreateRange", "-", "--1-1-100000-"],
    ];
    try {
      for (const [name, separator, argument] of calls) {
        await host.request({ op: "registry", set: { SeparatorToken: separator } });
        const read = await host.request({ op: "read_range", arg: argument });
        const response = await host.request({ op: "function", name: "Serx-CreateRange", arg: argument });
        const what = JSON.stringify(argument.slice(-40)) + " split at " + quoted(separator);
        await page.goto("about:blank");
        await ui.open(page, pageUrl + "#f=" + name + "&s=" + encodeURIComponent(separator) +
                      "&a=" + encodeURIComponent(argument));
        assert.equal(await ui.value(page, "function"), "Serx-CreateRange", what + " as " + name);
        await checkShown(page, response, read, what);
        await checkRangeForm(page, read, what);
      }
    } finally {
      host.close();
    }
    assert.deepEqual(page.errors, []);
    await page.close();
  });

// The page's form against the native host's reading of the page's own argument, split at the
// separator `token` (a byte text): the parameters as the plug-in holds them, the range's options,
// and for Serx-Options and Serx-Version whether the plug-in finds the option word.
async function checkFormIsReading(page, host, token, what) {
  const name = await ui.value(page, "function");
  const arg = await ui.encode(page, (await ui.value(page, "argument")).replace(/\n/g, "\r"));
  await host.request({ op: "registry", set: { SeparatorToken: token } });
  const count = { "Serx-CreateRange": 6, "Serx-Options": 2, "Serx-Version": 1 }[name];
  const { parameters } = await host.request({ op: "read_parameters", arg, count });
  const texts = [];
  for (const parameter of parameters) texts.push(asShown(await ui.decode(page, parameter)));
  if (name === "Serx-CreateRange") {
    await checkRangeForm(page, await host.request({ op: "read_range", arg }), what);
    for (const [i, field] of ["prefix", "start", "step", "end", "suffix"].entries()) {
      assert.equal(asShown(await ui.value(page, field)), texts[i + 1], what + ": " + field);
    }
  } else {
    const { result } = await host.request({ op: "function", name, arg });
    const box = name === "Serx-Options" ? "setWarning" : "versionNumber";
    assert.equal(await ui.checked(page, box), result === "0" || result === "1100", what + ": " + box);
    if (name === "Serx-Options") assert.equal(asShown(await ui.value(page, "warningText")), texts[1]);
  }
}

test("after every edit the form is the plug-in's reading, and says where it differs", async () => {
  const page = await openPage(browser);
  const host = new NativeHost(process.env.SERIX_NATIVE_HOST);
  const call = (f, a) => pageUrl + "#f=" + f + "&a=" + encodeURIComponent(a);
  // From a link, edits in order ([control, text typed]); the note expected beside a control;
  // the argument the form then writes, where it matters.
  const emoji = "-DateDDMMYYYY -noreturnatend|Due \u{1F600} |730120|1|730122|";
  const cases = [
    { url: pageUrl, edits: [["separator", "-"]], noted: "padding", note: /words: it reads nothing/ },
    { url: pageUrl, edits: [["separator", "1"]], noted: "step",
      note: /separator “1”.*Empty: the plug-in stops reading here/ },
    { url: call("Serx-Version", "-getversionnumber"), edits: [["separator", "-"]],
      noted: "versionNumber", note: /separator “-”/ },
    { url: call("Serx-Options", "-setwarningdialogtext|Careful"), edits: [["separator", "t"]],
      noted: "setWarning", note: /separator “t”.*reads “-se”/ },
    { url: pageUrl, edits: [["argument", emoji]], noted: "prefix",
      note: /no “\u{1F600}” \(U\+1F600\): the plug-in gets “\?”/u },
    { url: pageUrl, edits: [["argument", emoji], ["prefix", "Due "]], noted: "prefix", note: /^$/,
      argument: "-DateDDMMYYYY -noreturnatend|Due |730120|1|730122|" },
    { url: call("Serx-Options", "-setwarningdialogtext|Warn \u{1F600}"), edits: [],
      noted: "setWarning", note: /^$/ },
    { url: pageUrl, edits: [["prefix", "a|b", "pasted"]], noted: "start",
      note: /separator in the prefix moves what follows: the plug-in reads “b” as the start/ },
  ];
  try {
    for (const { url, edits, noted, note, argument } of cases) {
      const what = decodeURIComponent(url.split("#")[1] || "") + " " + JSON.stringify(edits);
      await page.goto("about:blank");
      await ui.open(page, url);
      for (const [name, text, pasted] of edits) {
        await ui.typeInto(page, name, pasted ? "" : text);
        if (pasted) await page.keyboard.sendCharacter(text);
        await ui.settle(page);
      }
      const token = edits.filter(([name]) => name === "separator").map(([, text]) => text).pop();
      await checkFormIsReading(page, host, token || "|", what);
      assert.match(await ui.note(page, noted), note, what + ": the note beside " + noted);
      if (argument) assert.equal((await ui.shown(page)).argument, argument, what);
    }
  } finally {
    host.close();
  }
  assert.deepEqual(page.errors, []);
  await page.close();
});

test("the result's text is exact on either side of every block of lines", async () => {
  const page = await openPage(browser);
  for (const entries of [199, 200, 201, 400]) {
    await page.goto("about:blank");
    await ui.open(page, pageUrl + "#f=Serx-CreateRange&a=" + encodeURIComponent("||1|1|" + entries + "|"));
    const expected = Array.from({ length: entries }, (_, i) => i + 1 + "\n").join("");
    assert.equal((await ui.shown(page)).result, expected, entries + " entries: the text");
    const read = await page.accessibility.snapshot({ root: await ui.control(page, "result") });
    assert.equal(read.value, expected, entries + " entries: the accessible value");
  }
  await page.close();
});

test("an argument longer than the session takes clears the last result and says why", async () => {
  const page = await openPage(browser);
  await ui.open(page, pageUrl);
  await page.evaluate(() => {
    const field = document.getElementById("argument");
    field.value = "\u0000".repeat(3 << 20); // 18 MiB as JSON
    field.dispatchEvent(new Event("input"));
  });
  await ui.settle(page);
  const shown = await ui.shown(page);
  assert.equal(shown.result, "");
  assert.match(shown.summary, /^Not tried here: .*16 MiB/);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test("a separator holding a zero byte splits where the plug-in splits", async () => {
  const page = await openPage(browser);
  const host = new NativeHost(process.env.SERIX_NATIVE_HOST);
  try {
    await ui.open(page, pageUrl + "#f=Serx-CreateRange&s=a%00&a=" + encodeURIComponent("axa1a1a3a"));
    const shown = await ui.shown(page);
    assert.match(shown.separatorStatus, /up to its zero byte: it splits the argument at “a”\./);
    assert.equal(shown.result, "x1\nx2\nx3\n");
    await checkFormIsReading(page, host, "a\u0000", "a\\0");
  } finally {
    host.close();
  }
  await page.close();
});

test("the calculation for each FileMaker Pro version reads back as the argument", async () => {
  const page = await openPage(browser);
  await ui.open(page, pageUrl);
  const prefixes = ['Say "hi" ', "C:\\dir\\", '\\"', '""', "a\u00b6b", "two\nlines", "Caf\u00e9 "];
  for (const version of Calculation.versions) {
    await ui.choose(page, "version", Calculation.versionName(version));
    for (const prefix of prefixes) {
      await ui.typeInto(page, "prefix", prefix);
      await ui.settle(page);
      const what = version + " " + JSON.stringify(prefix);
      const shown = await ui.shown(page);
      const note = await ui.note(page, "version");
      const argument = shown.argument.replace(/\n/g, "\r");
      if (version === "4-6" && prefix.includes("\u00b6")) {
        assert.equal(shown.calculation, "", what);
        assert.match(note, /cannot write “¶”/, what);
      } else {
        assert.deepEqual(readCall(version, shown.calculation),
                         { name: "Serx-CreateRange", argument }, what);
      }
      assert.equal(/space/.test(note), version === "7-8.0" && /[^\u0000-\u007f]/.test(prefix),
                   what + ": the note on characters outside ASCII");
    }
    assert.equal(new URLSearchParams(new URL(page.url()).hash.slice(1)).get("v"),
                 version === "4-6" ? null : version, version + " in the link");
  }
  await page.close();
});

test("a link says when the argument was too long to keep in it", async () => {
  const page = await openPage(browser);
  await ui.open(page, pageUrl);
  await ui.typeInto(page, "argument", "|" + "x".repeat(19999) + "|1|1|3|");
  await ui.settle(page);
  assert.match((await ui.shown(page)).argumentNote, /too long to keep in the page's address/);
  const link = page.url();
  assert.match(link, /a-omitted=20007/);
  await page.goto("about:blank");
  await ui.open(page, link);
  assert.match(await ui.note(page, "argument"), /without the argument \(20,007 characters\)/);
  await page.close();
});

test("N writes the number it shows, and says how far the plug-in pads", async () => {
  const page = await openPage(browser);
  await ui.open(page, pageUrl);
  const note = () => ui.control(page, "width").then((field) => field.evaluate((f) =>
    document.getElementById(f.getAttribute("aria-describedby")).textContent));
  for (const [typed, written, padded] of [["1e2", "100", 100], ["120", "120", 100], ["7", "7", 7]]) {
    await ui.typeInto(page, "width", typed);
    await ui.settle(page);
    assert.match((await ui.shown(page)).argument, new RegExp("^-padding " + written + "\\|"), typed);
    assert.match(await note(), new RegExp("at most 100.*pads to " + padded + "\\.", "i"), typed);
  }
  assert.deepEqual(page.errors, []);
  await page.close();
});

test("the page's policy runs its own scripts and no other", async () => {
  const page = await openPage(browser);
  await page.evaluateOnNewDocument(() => {
    window.violations = [];
    document.addEventListener("securitypolicyviolation", (e) => window.violations.push(e.violatedDirective));
  });
  await ui.open(page, pageUrl);
  const policy = await page.$eval('meta[http-equiv="Content-Security-Policy"]', (m) => m.content);
  assert.match(policy, /script-src ('sha256-[^']+' )+'wasm-unsafe-eval';/);
  assert.match(policy, /base-uri 'none'; form-action 'none'/);
  assert.doesNotMatch(policy, /'unsafe-(inline|eval)'/);
  const ran = await page.evaluate(() => {
    const script = document.createElement("script");
    script.textContent = "window.injected = true";
    document.body.appendChild(script);
    return Boolean(window.injected);
  });
  assert.equal(ran, false, "a script the policy does not name does not run");
  await page.waitForFunction(() => window.violations.length > 0);
  assert.deepEqual(await page.evaluate(() => window.violations), ["script-src-elem"],
                   "the page's own scripts, style and module run under its policy");
  assert.equal((await ui.shown(page)).result, "Item 008\nItem 009\nItem 010\nItem 011\n");
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
    // The guide writes a call for FileMaker Pro 4 to 6 or for 7 to 8.0; the page, for either.
    const written = guideLines[link.line - 1].trim();
    const version = Calculation.versions.find((v) => readCall(v, written)) || "4-6";
    await ui.choose(page, "version", Calculation.versionName(version));
    await ui.settle(page);
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
    await ui.typeInto(page, "separator", token);
    await ui.settle(page);
    const href = await (await ui.control(page, "regFile")).evaluate((a) => a.href);
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
  assert.equal(shown.calculation, 'External("Serx-CreateRange", "' + crafted.replace(/"/g, '""') + '")');
  assert.equal(shown.argument, crafted);

  await ui.typeInto(page, "prefix", "Smile \u{1F600}");
  await ui.settle(page);
  const withEmoji = await ui.shown(page);
  assert.match(withEmoji.argumentNote, /U\+1F600/, "a character outside Windows-1252 is named");
  assert.equal(await ui.value(page, "prefix"), "Smile ?", "the prefix as the plug-in gets it");

  await ui.typeInto(page, "separator", "|");
  const long = "-noreturnatend|" + "x".repeat(100000) + "|1|1|3|";
  await ui.typeInto(page, "argument", long);
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

    const wanted = ["function", "separator", "prefix", "argument", "result", "notices",
                    "calculation"];
    for (const name of wanted) {
      await (await ui.control(page, name)).evaluate((e, name) => { e.dataset.wanted = name; }, name);
    }
    const copy = await page.$("aria/Copy the calculation[role=\"button\"]");
    await copy.evaluate((e) => { e.dataset.wanted = "copy"; });
    const reached = new Set();
    for (let i = 0; i < 60; i++) {
      await page.keyboard.press("Tab");
      reached.add(await page.evaluate(() => document.activeElement.dataset.wanted));
    }
    for (const name of [...wanted, "copy"]) {
      assert.ok(reached.has(name), width + " px: Tab reaches " + name);
    }

    // Typing, and a result of 64000 characters, move nothing on the page.
    const boxes = async () => {
      const places = [];
      for (const name of ["function", "argument", "result", "calculation"]) {
        places.push(await (await ui.control(page, name)).evaluate((e) => {
          const box = e.getBoundingClientRect();
          return [box.left + scrollX, box.top + scrollY, box.width, box.height].join(" ");
        }));
      }
      return places;
    };
    const still = await boxes();
    await ui.typeInto(page, "end", "100000");
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
  await (await ui.control(page, "startDate")).focus();
  await page.keyboard.type("01012002"); // mm dd yyyy, the calendar field of en-US
  await ui.settle(page);
  assert.equal(await ui.value(page, "start"), "730851");
  const startField = await ui.control(page, "start");
  assert.equal(await startField.evaluate((f) =>
    document.getElementById(f.getAttribute("aria-describedby")).textContent),
               "Day 730,851 is 01.01.2002.");
  await (await ui.control(page, "endDate")).focus();
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

// axe-core's checks of the page in its main states, with the rules of WCAG 2.1 AA and best
// practice.
const axeSource = fs.readFileSync(require.resolve("axe-core/axe.min.js"), "utf8");

async function axeViolations(page) {
  await page.evaluate(axeSource);
  return page.evaluate(async () => {
    const results = await window.axe.run(document);
    return results.violations.map((v) => v.id + " (" + v.nodes.length + "): " +
      v.nodes.slice(0, 3).map((n) => n.target.join(" ")).join(", "));
  });
}

test("axe-core finds nothing wrong with the page in its main states", async () => {
  const call = (f, a, s = "|") => pageUrl + "#f=" + f + "&s=" + encodeURIComponent(s) +
                                  "&a=" + encodeURIComponent(a);
  const states = [
    ["the default call", pageUrl, 1280],
    ["a date range", call("Serx-CreateRange", "-DateDDMMYYYY -DateUsePeriod|Due |730851|7|730879|"), 1280],
    ["a cut result with its warning", call("Serx-CreateRange", "-fieldsizewarning||1|1|100000|"), 1280],
    ["Serx-Options", call("Serx-Options", "-setwarningdialogtext|Too many lines"), 1280],
    ["Serx-Version", call("Serx-Version", "-getversionnumber"), 1280],
    ["360 px wide", call("Serx-CreateRange", "-fieldsizewarning||1|1|100000|"), 360],
    ["notes beside the fields", call("Serx-CreateRange", "-padding 3-Item -8-1-11-", "-"), 1280],
    ["FileMaker Pro 7 to 8.0", call("Serx-CreateRange", "|Caf\u00e9 |1|1|3|") + "&v=7-8.0", 1280],
    ["a calculation 4 to 6 cannot write", call("Serx-CreateRange", "|a\u00b6|1|1|3|"), 1280],
  ];
  for (const [state, url, width] of states) {
    const page = await openPage(browser, { width, height: 900 });
    await page.setBypassCSP(true); // axe is a script of the test's, not one the page names
    await ui.open(page, url);
    if (state.startsWith("a cut")) {
      const notices = (await ui.shown(page)).notices;
      assert.ok(notices.some((n) => n.startsWith("Message box")), state);
      assert.ok(notices.some((n) => n.startsWith("Incomplete")), state);
    }
    assert.deepEqual(await axeViolations(page), [], state);
    await page.close();
  }
  const guide = await openPage(browser);
  await guide.setBypassCSP(true);
  await guide.goto(guideUrl);
  assert.deepEqual(await axeViolations(guide), [], "the guide's page");
  await guide.close();
});
