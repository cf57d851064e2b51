// Using the playground page as a person does: finding its controls by their labels and roles,
// choosing, ticking and typing into them, and reading what it shows.
"use strict";

// The page's controls by the names a person (and a screen reader) knows them by.
const CONTROL = {
  function: "aria/Function",
  separator: "aria/Separator",
  argument: "aria/Argument",
  result: "aria/Result",
  calculation: "aria/Calculation",
  version: "aria/Calculation for",
  notices: "aria/Notices",
  values: "aria/Values",
  dateSeparator: "aria/Date separator",
  padding: "aria/Pad numbers with zeros (-padding N)",
  width: "aria/N, characters",
  noReturn: "aria/No return after the last entry (-noreturnatend)",
  warning: "aria/Warn when the range does not fit (-fieldsizewarning)",
  prefix: "aria/Prefix",
  start: "aria/Start",
  step: "aria/Step",
  end: "aria/End",
  suffix: "aria/Suffix",
  startDate: "aria/Start as a date",
  endDate: "aria/End as a date",
  setWarning: "aria/Set the warning text (-setwarningdialogtext)",
  warningText: "aria/Text of the warning (empty: the standard text)",
  versionNumber: "aria/The version as a number (-getversionnumber)",
  regFile: "aria/Save the .reg file for this separator",
};

async function control(page, name) {
  const found = await page.$(CONTROL[name]);
  if (!found) throw new Error("no control labelled " + CONTROL[name].slice(5));
  return found;
}

async function open(page, url) {
  await page.goto(url);
  await page.waitForSelector('html[data-ready="true"]');
  await settle(page);
}

// The page works out its result in the next animation frame after an input, and sets out a
// long one over a few frames more (the result area is aria-busy meanwhile).
async function settle(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  await page.waitForSelector('[aria-label="What the plug-in gives"] [aria-busy="false"]');
}

async function pressWithControl(page, key) {
  await page.keyboard.down("Control");
  await page.keyboard.press(key);
  await page.keyboard.up("Control");
}

// Replaces the text of a field by typing: a return is the Enter key.
async function typeInto(page, name, text) {
  await (await control(page, name)).focus();
  await pressWithControl(page, "KeyA");
  await page.keyboard.press("Backspace");
  if (text.length > 2000) {
    await page.keyboard.sendCharacter(text); // as a paste
  } else if (text) {
    await page.keyboard.type(text);
  }
}

async function value(page, name) {
  return (await control(page, name)).evaluate((field) => field.value);
}

async function checked(page, name) {
  return (await control(page, name)).evaluate((box) => box.checked);
}

async function setChecked(page, name, on) {
  if ((await checked(page, name)) !== on) await (await control(page, name)).click();
}

// Chooses the option whose label starts with `label`.
async function choose(page, name, label) {
  const select = await control(page, name);
  const chosen = await select.evaluate((s, label) => {
    const option = [...s.options].find((o) => o.textContent.startsWith(label));
    return option ? option.value : null;
  }, label);
  if (chosen === null) throw new Error(name + " offers no " + label);
  await select.select(chosen);
}

async function chosenLabel(page, name) {
  return (await control(page, name)).evaluate((s) => s.selectedOptions[0].textContent);
}

// The labels of the form's choices for the plug-in's reading of the options ("read_range").
const DATE_LABELS = { none: "Numbers", "month first": "Dates, month first",
                      "day first": "Dates, day first" };
const SEPARATOR_LABELS = { "/": "/", "-": "-", ".": "." };

// Fills the form of a function so that it asks what the plug-in reads in `read` (a read_range
// response, its texts as the page shows them) or, for the other two functions, `words`.
async function fillForm(page, functionName, { read, options, texts }) {
  await choose(page, "function", functionName);
  if (functionName === "Serx-CreateRange") {
    await choose(page, "values", DATE_LABELS[read.options.dates]);
    if (read.options.dates !== "none") {
      await choose(page, "dateSeparator", SEPARATOR_LABELS[read.options.date_separator]);
    } else {
      await setChecked(page, "padding", read.options.padding > 0);
      if (read.options.padding > 0) await typeInto(page, "width", String(read.options.padding));
    }
    await setChecked(page, "noReturn", !read.options.return_at_end);
    await setChecked(page, "warning", read.options.warning);
  } else {
    for (const [name, on] of Object.entries(options)) await setChecked(page, name, on);
  }
  for (const [name, text] of Object.entries(texts)) await typeInto(page, name, text);
  await settle(page);
}

// What the page shows: the result as a person sees it (its returns as line breaks), the
// summary, the notices, the argument and the calculations.
async function shown(page) {
  const result = await control(page, "result");
  const notices = await control(page, "notices");
  return {
    result: await result.evaluate((box) => box.innerText),
    summary: await result.evaluate((box) =>
      document.getElementById(box.getAttribute("aria-describedby")).textContent),
    notices: await notices.evaluate((box) => [...box.children].map((n) => n.textContent)),
    noResultLink: await notices.evaluate((box) => box.querySelector("a")?.getAttribute("href") || null),
    argument: await value(page, "argument"),
    argumentNote: await (await control(page, "argument")).evaluate((field) =>
      field.getAttribute("aria-describedby").split(" ").map((id) =>
        document.getElementById(id).textContent).join(" ")),
    separatorStatus: await (await control(page, "separator")).evaluate((field) =>
      document.getElementById(field.getAttribute("aria-describedby")).textContent),
    calculation: await value(page, "calculation"),
  };
}

// The result copied the way a person copies it: Ctrl+A in the result, Ctrl+C.
async function copiedResult(page) {
  await (await control(page, "result")).focus();
  await pressWithControl(page, "KeyA");
  await pressWithControl(page, "KeyC");
  return page.evaluate(() => navigator.clipboard.readText());
}

// Texts of the case files are bytes; the browser's own decoder turns them into the characters
// of Windows-1252 that the page shows.
async function decode(page, byteText) {
  return page.evaluate((codes) => new TextDecoder("windows-1252").decode(new Uint8Array(codes)),
                       [...byteText].map((c) => c.charCodeAt(0)));
}

// The bytes the plug-in gets for a text, by the browser's table of Windows-1252, "?" for a
// character it lacks; as a byte text.
async function encode(page, text) {
  const table = await page.evaluate(() =>
    [...new TextDecoder("windows-1252").decode(Uint8Array.from({ length: 256 }, (_, b) => b))]);
  return [...text].map((ch) => String.fromCharCode(table.includes(ch) ? table.indexOf(ch) : 0x3f))
    .join("");
}

// The notes that describe a control (its aria-describedby), as one text.
async function note(page, name) {
  return (await control(page, name)).evaluate((field) =>
    (field.getAttribute("aria-describedby") || "").split(" ").filter(Boolean)
      .map((id) => document.getElementById(id).textContent).join(" "));
}

module.exports = { CONTROL, control, open, settle, typeInto, value, checked, setChecked, choose,
                   chosenLabel, fillForm, shown, copiedResult, decode, encode, note,
                   pressWithControl, DATE_LABELS };
