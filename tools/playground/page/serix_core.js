// The plug-in's own code in WebAssembly, with the host emulation of serix-host around it,
// reached through the session protocol of serix-host (docs/host.md): one request line in, one
// response line out (page_session.cpp). Every result, message box, reading of an argument and
// registry value the page shows comes from here. The protocol's texts are strings whose
// character codes are the bytes; the page's own texts go in and come out as bytes.
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

  function bytesOf(text) {
    return Uint8Array.from(text, function (ch) { return ch.charCodeAt(0); });
  }

  function open(module) {
    var encoder = new TextEncoder();
    var decoder = new TextDecoder();

    // The response to one request, both as objects.
    function request(message) {
      var line = encoder.encode(JSON.stringify(message));
      var at = module._malloc(line.length + 1);
      try {
        module.HEAPU8.set(line, at);
        var answer = module._serix_request(at, line.length);
        var end = module.HEAPU8.indexOf(0, answer);
        return JSON.parse(decoder.decode(module.HEAPU8.subarray(answer, end)));
      } finally {
        module._free(at);
      }
    }

    function ask(message) {
      var response = request(message);
      if (response.error !== undefined) throw new Error(response.error);
      return response;
    }

    if (ask({ op: "initialise", version: 4 }).answer !== 4) {
      throw new Error("the plug-in did not start");
    }
    // The clock moves on ten seconds before every call, so each try stands for a moment of its
    // own and the range warning, shown at most once in five seconds, shows whenever asked for.
    var clock = 600000;

    return {
      request: request,

      // { wrote, result, messages: [{caption, text}] }: whether the plug-in wrote a result,
      // its bytes, and the message boxes the call showed.
      call: function (functionName, argumentBytes) {
        clock += CLOCK_STEP;
        ask({ op: "clock", ms: clock });
        var response = ask({ op: "function", name: functionName, arg: byteText(argumentBytes) });
        return {
          wrote: response.touched,
          result: response.touched ? bytesOf(response.result) : null,
          messages: response.alerts.map(function (alert) {
            return { caption: bytesOf(alert.caption), text: bytesOf(alert.text) };
          }),
        };
      },

      // How Serx-CreateRange reads the argument (the "read_range" response), its texts as
      // bytes.
      readRange: function (argumentBytes) {
        var read = ask({ op: "read_range", arg: byteText(argumentBytes) });
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

      // The bytes of a REG_SZ value, or null.
      registryText: function (name) {
        var value = ask({ op: "registry", get: true }).values[name];
        return typeof value === "string" ? bytesOf(value) : null;
      },

      // The value as a REGEDIT4 file's bytes.
      regFile: function (name) {
        return bytesOf(ask({ op: "registry", export: [name] }).file);
      },
    };
  }

  return { open: open };
})();

if (typeof module !== "undefined") module.exports = SerixCore;
