// A call as the designer writes it in a calculation of FileMaker Pro, which reaches a plug-in's
// function through External. The versions that load the plug-in write it two ways:
//
//   4 to 6     External("Serx-CreateRange", "...")       parameters separated by commas; in a
//              text constant a " is written "", a return is ¶, and a backslash is an ordinary
//              character. Every ¶ in a constant is a return, and these versions have no function
//              that gives a character from its code, so a ¶ character cannot be written.
//   7 to 8.0   External ( "Serx-CreateRange" ; "..." )   parameters separated by semicolons; a "
//              is \", a backslash \\, a ¶ character \¶, a return ¶.
var Calculation = (function () {
  "use strict";

  var VERSIONS = {
    "4-6": {
      name: "FileMaker Pro 4 to 6",
      external: function (name, argument) { return "External(" + name + ", " + argument + ")"; },
      special: /["\r]/g,
      escapes: { '"': '""', "\r": "¶" },
      unwritable: "¶",
    },
    "7-8.0": {
      name: "FileMaker Pro 7 to 8.0",
      external: function (name, argument) { return "External ( " + name + " ; " + argument + " )"; },
      special: /["\\\r¶]/g,
      escapes: { '"': '\\"', "\\": "\\\\", "\r": "¶", "¶": "\\¶" },
      unwritable: null,
    },
  };

  function quote(version, text) {
    var rules = VERSIONS[version];
    return '"' + text.replace(rules.special, function (ch) { return rules.escapes[ch]; }) + '"';
  }

  // The character of `text` that no calculation of that version can write, or null.
  function unwritable(version, text) {
    var ch = VERSIONS[version].unwritable;
    return ch !== null && text.indexOf(ch) >= 0 ? ch : null;
  }

  function call(version, functionName, argument) {
    return VERSIONS[version].external(quote(version, functionName), quote(version, argument));
  }

  // Serx-CreateRange with start, step and end taken from fields, its argument
  //   "options|prefix|" & Start & "|" & Step & "|" & End & "|suffix"
  function rangeFromFields(version, functionName, parameters, separator, fields) {
    var parts = [
      quote(version, parameters.options + separator + parameters.prefix + separator),
      fields.start,
      quote(version, separator),
      fields.step,
      quote(version, separator),
      fields.end,
      quote(version, separator + parameters.suffix),
    ];
    return VERSIONS[version].external(quote(version, functionName), parts.join(" & "));
  }

  function versionName(version) {
    return VERSIONS[version].name;
  }

  return { versions: Object.keys(VERSIONS), quote: quote, unwritable: unwritable, call: call,
           rangeFromFields: rangeFromFields, versionName: versionName };
})();

if (typeof module !== "undefined") module.exports = Calculation;
