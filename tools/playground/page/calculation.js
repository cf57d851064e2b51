// A call as the designer writes it in a calculation of the host application, which reaches a
// plug-in's function through External: External ( "Serx-CreateRange" ; "..." ). The argument
// is quoted text, where a " is written \", a \ is \\, a return is ¶ and a ¶ character
// itself is \¶.
var Calculation = (function () {
  "use strict";

  var ESCAPES = { '"': '\\"', "\\": "\\\\", "\r": "¶", "¶": "\\¶" };

  function quote(text) {
    return '"' + text.replace(/["\\\r¶]/g, function (ch) { return ESCAPES[ch]; }) + '"';
  }

  function external(functionName, argumentExpression) {
    return "External ( " + quote(functionName) + " ; " + argumentExpression + " )";
  }

  function call(functionName, argument) {
    return external(functionName, quote(argument));
  }

  // Serx-CreateRange with start, step and end taken from fields, its argument
  //   "options|prefix|" & Start & "|" & Step & "|" & End & "|suffix"
  function rangeFromFields(functionName, parameters, separator, fields) {
    var parts = [
      quote(parameters.options + separator + parameters.prefix + separator),
      fields.start,
      quote(separator),
      fields.step,
      quote(separator),
      fields.end,
      quote(separator + parameters.suffix),
    ];
    return external(functionName, parts.join(" & "));
  }

  return { quote: quote, call: call, rangeFromFields: rangeFromFields };
})();

if (typeof module !== "undefined") module.exports = Calculation;
