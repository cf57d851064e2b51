// Using the playground page as a person does: choosing, ticking and typing into its controls,
// and reading what it shows.
"use strict";

async function open(page, url) {
  await page.goto(url);
  await page.waitForSelector('html[data-ready="true"]');
  await settle(page);
}

// The page works out its result in the next animation frame after an input, and sets out a
// long one over a few frames more (the result area is aria-busy meanwhile).
async function settle(page) {
  await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  await page.waitForSelector('#result[aria-busy="false"]');
}

async function pressWithControl(page, key) {
  await page.keyboard.down("Control");
  await page.keyboard.press(key);
  await page.keyboard.up("Control");
}

// Replaces the text of a field by typing: a return is the Enter key.
async function typeInto(page, selector, text) {
  await page.focus(selector);
  await pressWithControl(page, "KeyA");
  await page.keyboard.press("Backspace");
  if (text.length > 2000) {
    await page.keyboard.sendCharacter(text); // as a paste
  } else if (text) {
    await page.keyboard.type(text);
  }
}

async function setChecked(page, selector, on) {
  if ((await page.$eval(selector, (box) => box.checked)) !== on) await page.click(selector);
}

// The controls of a function's form that give the argument, with the separator in force.
function formFor(functionName, argument, separator) {
  const p = argument.split(separator);
  const o = p[0] || "";
  if (functionName === "Serx-Options") {
    return { checks: { "#set-warning": /-setwarningdialogtext/i.test(o) },
             texts: { "#warning-text": p.slice(1).join(separator) } };
  }
  if (functionName === "Serx-Version") {
    return { checks: { "#version-number": /-getversionnumber/i.test(o) }, texts: {} };
  }
  const padding = /-padding (\d+)/i.exec(o);
  return {
    selects: {
      "#values": /-DateMMDDYYYY/i.test(o) ? "-DateMMDDYYYY"
               : /-DateDDMMYYYY/i.test(o) ? "-DateDDMMYYYY" : "numbers",
      "#date-separator": /-DateUseDash/i.test(o) ? "-DateUseDash"
                       : /-DateUsePeriod/i.test(o) ? "-DateUsePeriod" : "",
    },
    checks: { "#padding-on": Boolean(padding), "#no-return": /-noreturnatend/i.test(o),
              "#size-warning": /-fieldsizewarning/i.test(o) },
    texts: { ...(padding ? { "#padding-width": padding[1] } : {}), "#prefix": p[1] || "",
             "#start": p[2] || "", "#step": p[3] || "", "#end": p[4] || "",
             "#suffix": p.slice(5).join(separator) },
  };
}

async function fillForm(page, functionName, argument, separator) {
  await page.select("#function", functionName);
  const form = formFor(functionName, argument, separator);
  for (const [selector, value] of Object.entries(form.selects || {})) {
    if (!(await page.$eval(selector, (s) => s.disabled))) await page.select(selector, value);
  }
  for (const [selector, on] of Object.entries(form.checks)) await setChecked(page, selector, on);
  for (const [selector, text] of Object.entries(form.texts)) await typeInto(page, selector, text);
  await settle(page);
  return form;
}

// What the page shows: the result as a person sees it (its returns as line breaks), the
// summary, the notices, the argument and the calculations.
async function shown(page) {
  return page.evaluate(() => ({
    result: document.getElementById("result").innerText,
    summary: document.getElementById("result-summary").textContent,
    notices: [...document.querySelectorAll("#result-notices .notice")].map((n) => n.textContent),
    noResultLink: document.querySelector("#result-notices a")?.getAttribute("href") || null,
    argument: document.getElementById("argument").value,
    argumentNote: document.getElementById("argument-note").textContent,
    separatorStatus: document.getElementById("separator-status").textContent,
    calculation: document.getElementById("calculation").value,
    fieldsCalculation: document.getElementById("fields-calculation").value,
  }));
}

// The result copied the way a person copies it: Ctrl+A in the result, Ctrl+C.
async function copiedResult(page) {
  await page.focus("#result");
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

module.exports = { open, settle, typeInto, setChecked, fillForm, formFor, shown, copiedResult,
                   decode, pressWithControl };
