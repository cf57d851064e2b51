// The plug-in's own code in WebAssembly, with the host emulation of serix-host around it,
// reached through the session protocol of serix-host (docs/host.md): one request line in, one
// response line out (page_session.cpp). Every result, message box, reading of an argument,
// registry value and figure of the plug-in the page shows comes from here. The protocol's texts
// are strings whose character codes are the bytes; the page's own texts go in and come out as
// bytes.
var SerixCore = (function () {
  "use strict";

  var CLOCK_STEP = 10000;

  function byteText(bytes) {
    var parts = [];
    for (var at = 0; at < bytes.length; at += 8192) {
      parts.push(String.fromCharCode.apply(null, bytes.subarray(at, at + 8192)));
    }
    return parts.join("");
  }

  // The bytes of a text whose character codes are bytes, each moved up by `shift`: a byte text
  // of the protocol, or the WebAssembly the page carries (assemble_page.js).
  function bytesOf(text, shift) {
    var bytes = new Uint8Array(text.length);
    for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i) - (shift || 0);
    return bytes;
  }

  // A request the session refused, with its reason.
  function SessionError(message) {
    this.name = "SessionError";
    this.message = message;
  }
  SessionError.prototype = Object.create(Error.prototype);

  function open(module) {
    var encoder = new TextEncoder();
    var decoder = new TextDecoder();

    function responseAt(at) {
      var end = module.HEAPU8.indexOf(0, at);
      return JSON.parse(decoder.decode(module.HEAPU8.subarray(at, end)));
    }

    // The "arg" of a request as UTF-8 JSON, made once for the bytes of an argument, which the
    // page sends several times: a paste of megabytes is turned into JSON once.
    var lastArgument = null;
    var lastArgumentJson = null;

    function argumentJson(bytes) {
      if (bytes !== lastArgument) {
        lastArgumentJson = encoder.encode(',"arg":' + JSON.stringify(byteText(bytes)) + "}");
        lastArgument = bytes;
      }
      return lastArgumentJson;
    }

    // The response to one request, both as objects; `argumentBytes`, when given, is its "arg".
    function request(message, argumentBytes) {
      var line = encoder.encode(JSON.stringify(message));
      var tail = argumentBytes ? argumentJson(argumentBytes) : null;
      var head = tail ? line.subarray(0, line.length - 1) : line; // without its closing brace
      var size = head.length + (tail ? tail.length : 0);
      var at = module._malloc(size + 1);
      try {
        module.HEAPU8.set(head, at);
        if (tail) module.HEAPU8.set(tail, at + head.length);
        return responseAt(module._serix_request(at, size));
      } finally {
        module._free(at);
      }
    }

    function ask(message, argumentBytes) {
      var response = request(message, argumentBytes);
      if (response.error !== undefined) throw new SessionError(response.error);
      return response;
    }

    var facts = responseAt(module._serix_facts());
    if (facts.error !== undefined || ask({ op: "initialise", version: 4 }).answer !== 4) {
      throw new Error("the plug-in did not start");
    }
    // The clock moves on ten seconds before every call, so each try stands for a moment of its
    // own and the range warning, shown at most once in five seconds, shows whenever asked for.
    var clock = facts.clock;

    return {
      request: request,
      // The plug-in's figures (page_session.cpp).
      facts: facts,

      // { wrote, result, messages: [{caption, text}] }: whether the plug-in wrote a result,
      // its bytes, and the message boxes the call showed.
      call: function (functionName, argumentBytes) {
        clock = (clock + CLOCK_STEP) >>> 0;
        ask({ op: "clock", ms: clock });
        var response = ask({ op: "function", name: functionName }, argumentBytes);
        return {
          wrote: response.touched,
          result: response.touched ? bytesOf(response.result) : null,
          messages: response.alerts.map(function (alert) {
            return { caption: bytesOf(alert.caption), text: bytesOf(alert.text) };
          }),
        };
      },

      // { separator, parameters }: the token the plug-in splits at and the first `count`
      // parameters as it holds them, as bytes.
      readParameters: function (argumentBytes, count) {
        var read = ask({ op: "read_parameters", count: count }, argumentBytes);
        return { separator: bytesOf(read.separator),
                 parameters: read.parameters.map(function (p) { return bytesOf(p); }) };
      },

      // How Serx-CreateRange reads the argument (the "read_range" response), its texts as
      // bytes.
      readRange: function (argumentBytes) {
        var read = ask({ op: "read_range" }, argumentBytes);
        ["prefix", "suffix"].forEach(function (name) {
          if (name in read) read[name] = bytesOf(read[name]);
        });
        ["start", "step", "end"].forEach(function (name) {
          if (!(name in read)) return;
          read[name].text = bytesOf(read[name].text);
          if ("date" in read[name]) read[name].date = bytesOf(read[name].date);
        });
        return read;
      },

      setRegistryText: function (name, bytes) {
        var values = {};
        values[name] = byteText(bytes);
        ask({ op: "registry", set: values });
      },

      // The value as a REGEDIT4 file's bytes.
      regFile: function (name) {
        return bytesOf(ask({ op: "registry", export: [name] }).file);
      },
    };
  }

  return { open: open, bytesOf: bytesOf, SessionError: SessionError };
})();

if (typeof module !== "undefined") module.exports = SerixCore;
