// How FileMaker Pro reads the External calls the page writes, by the text-constant rules of
// each version (docs/filemaker-facts.md), written apart from the page's writer so that the
// tests hold the one to the other:
//   4 to 6     External("name", argument); in a constant "" is a quotation mark, ¶ a return,
//              and every other character, the backslash too, itself.
//   7 to 8.0   External ( "name" ; argument ); \" \\ and \¶ stand for ", \ and ¶, ¶ for a
//              return; a backslash before any other character is not a form we know.
// In both a return typed inside a constant is not a form we know either. An argument is
// constants and field names joined by " & "; a field reads as «Name».
"use strict";

const RULES = {
  "4-6": { open: "External(", between: ", ", close: ")", escapes: { '""': '"' } },
  "7-8.0": { open: "External ( ", between: " ; ", close: " )",
             escapes: { '\\"': '"', "\\\\": "\\", "\\¶": "¶" }, lone: "\\" },
};

// The text of the constant at `at` and where it ends, or null when none stands there.
function readConstant(version, text, at) {
  const rules = RULES[version];
  if (text[at] !== '"') return null;
  let value = "";
  for (let i = at + 1; i < text.length; i++) {
    const pair = text.slice(i, i + 2);
    if (pair in rules.escapes) {
      value += rules.escapes[pair];
      i++;
    } else if (text[i] === '"') {
      return { value, end: i + 1 };
    } else if (text[i] === rules.lone || text[i] === "\r" || text[i] === "\n") {
      return null;
    } else {
      value += text[i] === "¶" ? "\r" : text[i];
    }
  }
  return null;
}

// { name, argument } of a whole External call, or null when the text is not one.
function readCall(version, text) {
  const rules = RULES[version];
  if (!text.startsWith(rules.open) || !text.endsWith(rules.close)) return null;
  const name = readConstant(version, text, rules.open.length);
  if (!name || !text.startsWith(rules.between, name.end)) return null;
  const last = text.length - rules.close.length;
  let at = name.end + rules.between.length;
  let argument = "";
  for (;;) {
    const constant = readConstant(version, text, at);
    if (constant) {
      argument += constant.value;
      at = constant.end;
    } else {
      const field = /^[A-Za-z][A-Za-z0-9 _]*?(?= & |$)/.exec(text.slice(at, last));
      if (!field) return null;
      argument += "\u00ab" + field[0] + "\u00bb";
      at += field[0].length;
    }
    if (at === last) return { name: name.value, argument };
    if (!text.startsWith(" & ", at)) return null;
    at += 3;
  }
}

module.exports = { readCall };
