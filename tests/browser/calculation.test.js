// The page's writer of External calls (calculation.js) against a reader of each FileMaker Pro
// version's text constants (lib/filemaker-text.js): every text it writes reads back as the
// argument, with and without fields, for hostile texts and texts drawn at random from the
// characters that constants treat specially; what a version cannot write it does not write.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const Calculation = require("../../tools/playground/page/calculation.js");
const { readCall } = require("./lib/filemaker-text");

const HOSTILE = ['"', '""', "\\", '\\"', "\\\\", "¶", "\\¶", "\r", "\r\r", 'a"b\rc\\d',
                 '" & "', '"); External("Serx-Version", "', "\u00e9|\u20ac|\u0000", ""];

function drawTexts(count) {
  const alphabet = ['"', "\\", "¶", "\r", "|", "&", " ", "a", ";", ",", "(", ")"];
  let state = 20261209;
  const next = () => (state = (Math.imul(state, 1103515245) + 12345) >>> 0) / 4294967296;
  return Array.from({ length: count }, () =>
    Array.from({ length: Math.floor(next() * 12) }, () => alphabet[Math.floor(next() * alphabet.length)]).join(""));
}

test("each version's External call reads back as the argument it was written for", () => {
  for (const version of Calculation.versions) {
    for (const text of [...HOSTILE, ...drawTexts(500)]) {
      const what = version + " " + JSON.stringify(text);
      const cannot = Calculation.unwritable(version, text);
      if (cannot !== null) {
        assert.equal(version, "4-6", what);
        assert.equal(cannot, "¶", what);
        continue;
      }
      assert.deepEqual(readCall(version, Calculation.call(version, "Serx-CreateRange", text)),
                       { name: "Serx-CreateRange", argument: text }, what);
      const fields = Calculation.rangeFromFields(version, "Serx-CreateRange",
        { options: text, prefix: "p", suffix: text }, "|", { start: "Start", step: "Step", end: "End" });
      assert.deepEqual(readCall(version, fields), {
        name: "Serx-CreateRange", argument: text + "|p|\u00abStart\u00bb|\u00abStep\u00bb|\u00abEnd\u00bb|" + text,
      }, what + " with fields");
    }
  }
  assert.match(Calculation.call("4-6", "Serx-Version", ""), /^External\("Serx-Version", ""\)$/);
  assert.match(Calculation.call("7-8.0", "Serx-Version", ""), /^External \( "Serx-Version" ; "" \)$/);
});
