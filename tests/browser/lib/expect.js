// The case files' expectations (tests/acceptance/runner/expectations.h), as far as the page's
// tests read them: the text macros, and the matchers a result may stand for.
"use strict";

function expand(value) {
  if (Array.isArray(value)) return value.map(expand);
  if (value === null || typeof value !== "object") return value;
  if ("$repeat" in value) return expand(value.$repeat).repeat(value.times);
  if ("$concat" in value) return value.$concat.map(expand).join("");
  return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, expand(v)]));
}

function isMatcher(value) {
  return value !== null && typeof value === "object" && !Array.isArray(value) &&
         Object.keys(value).length > 0 && Object.keys(value).every((k) => k.startsWith("$"));
}

// Whether the text matches the expected text or matcher; map is applied to every expected
// text first (the page shows returns as line breaks and bytes as characters).
function textMatches(expected, actual, map) {
  if (!isMatcher(expected)) return map(expected) === actual;
  return Object.entries(expected).every(([kind, x]) => {
    switch (kind) {
      case "$length": return actual.length === x;
      case "$starts_with": return actual.startsWith(map(x));
      case "$ends_with": return actual.endsWith(map(x));
      case "$contains": return actual.includes(map(x));
      case "$count": return actual.split(map(x[0])).length - 1 === x[1];
      case "$type": return typeof actual === x;
      default: throw new Error("unknown matcher " + kind);
    }
  });
}

module.exports = { expand, textMatches };
