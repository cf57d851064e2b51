// Texts cross into the plug-in as bytes of Windows-1252, the ANSI code page of the Windows
// the plug-in runs on. Bytes 0x80 to 0x9F hold the characters below; the five bytes that
// code page leaves unassigned stand for the control characters of the same number, as
// browsers read them. (Node's own decoder reads 0x80 to 0x9F as Latin-1, so the table is
// ours.) A character the code page lacks is passed as "?".
var Cp1252 = (function () {
  "use strict";

  var HIGH_CONTROLS = [
    0x20ac, 0x81, 0x201a, 0x192, 0x201e, 0x2026, 0x2020, 0x2021,
    0x2c6, 0x2030, 0x160, 0x2039, 0x152, 0x8d, 0x17d, 0x8f,
    0x90, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x2dc, 0x2122, 0x161, 0x203a, 0x153, 0x9d, 0x17e, 0x178,
  ];
  var IN_PLACE_OF_MISSING = 0x3f; // "?"

  var byteOfHighCodePoint = new Map();
  HIGH_CONTROLS.forEach(function (code, i) { byteOfHighCodePoint.set(code, 0x80 + i); });

  function codePointOfByte(b) {
    return b >= 0x80 && b < 0xa0 ? HIGH_CONTROLS[b - 0x80] : b;
  }

  // The bytes of a text, "?" standing for each character the code page lacks; `missing`, when
  // given, lists each such character once, in order.
  function encode(text, missing) {
    var bytes = new Uint8Array(text.length);
    var count = 0;
    for (var i = 0; i < text.length; i++) {
      var code = text.charCodeAt(i);
      var b = code < 0x80 || (code >= 0xa0 && code < 0x100) ? code : byteOfHighCodePoint.get(code);
      if (b === undefined) {
        var ch = String.fromCodePoint(text.codePointAt(i));
        if (ch.length === 2) i++;
        if (missing && missing.indexOf(ch) < 0) missing.push(ch);
        b = IN_PLACE_OF_MISSING;
      }
      bytes[count++] = b;
    }
    return bytes.subarray(0, count);
  }

  function decode(bytes) {
    var parts = [];
    for (var at = 0; at < bytes.length; at += 8192) {
      var codes = new Uint16Array(Math.min(8192, bytes.length - at));
      for (var i = 0; i < codes.length; i++) codes[i] = codePointOfByte(bytes[at + i]);
      parts.push(String.fromCharCode.apply(null, codes));
    }
    return parts.join("");
  }

  // The text as the plug-in gets it: each character the code page lacks as "?"; `missing` as
  // for encode.
  function passed(text, missing) {
    var found = missing || [];
    var bytes = encode(text, found);
    return found.length ? decode(bytes) : text;
  }

  // "U+1F600" for people.
  function codePointName(ch) {
    return "U+" + ch.codePointAt(0).toString(16).toUpperCase().padStart(4, "0");
  }

  return { encode: encode, decode: decode, passed: passed, codePointName: codePointName,
           inPlaceOfMissing: String.fromCharCode(IN_PLACE_OF_MISSING) };
})();

if (typeof module !== "undefined") module.exports = Cp1252;
