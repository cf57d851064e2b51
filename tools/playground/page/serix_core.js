// The plug-in's own code in WebAssembly, with the host emulation of serix-host around it
// (playground_api.cpp). Every result, message box and registry value the page shows comes
// from here; texts go in and come out as bytes.
var SerixCore = (function () {
  "use strict";

  function open(module) {
    // Bytes into the module's memory, with a terminating zero for the C side's names.
    function withBytes(bytes, work) {
      var at = module._malloc(bytes.length + 1);
      module.HEAPU8.set(bytes, at);
      module.HEAPU8[at + bytes.length] = 0;
      try {
        return work(at, bytes.length);
      } finally {
        module._free(at);
      }
    }

    function ascii(text) {
      var bytes = new Uint8Array(text.length);
      for (var i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i) & 0x7f;
      return bytes;
    }

    // A copy, since the module's memory may move on the next call.
    function copyOut(at, size) {
      return module.HEAPU8.slice(at, at + size);
    }

    function lastBytes() {
      return copyOut(module._serix_bytes(), module._serix_bytes_size());
    }

    if (module._serix_start() !== 4) throw new Error("the plug-in did not start");

    return {
      // { wrote, result, messages: [{caption, text}] }: whether the plug-in wrote a result,
      // its bytes, and the message boxes the call showed.
      call: function (functionName, argumentBytes) {
        var outcome = withBytes(ascii(functionName), function (name) {
          return withBytes(argumentBytes, function (argument, size) {
            return module._serix_call(name, argument, size);
          });
        });
        var messages = [];
        for (var i = 0; outcome >= 0 && i < module._serix_message_count(); i++) {
          messages.push({
            caption: copyOut(module._serix_message_caption(i), module._serix_message_caption_size(i)),
            text: copyOut(module._serix_message_text(i), module._serix_message_text_size(i)),
          });
        }
        return {
          wrote: outcome === 1,
          result: outcome === 1 ? copyOut(module._serix_result(), module._serix_result_size()) : null,
          messages: messages,
        };
      },

      setRegistryText: function (name, bytes) {
        return withBytes(ascii(name), function (valueName) {
          return withBytes(bytes, function (text, size) {
            return module._serix_registry_set_text(valueName, text, size) === 1;
          });
        });
      },

      // The bytes of a REG_SZ value, or null.
      registryText: function (name) {
        var found = withBytes(ascii(name), function (valueName) {
          return module._serix_registry_text(valueName);
        });
        return found ? lastBytes() : null;
      },

      // The value as a REGEDIT4 file's bytes, or null.
      regFile: function (name) {
        var found = withBytes(ascii(name), function (valueName) {
          return module._serix_reg_file(valueName);
        });
        return found ? lastBytes() : null;
      },

      // A day number as the plug-in writes it; order 1 month first, 2 day first.
      dateText: function (day, order, separator) {
        module._serix_date_text(day, order, separator.charCodeAt(0));
        return String.fromCharCode.apply(null, lastBytes());
      },

      // A start, step or end text as the plug-in reads it.
      readValue: function (bytes) {
        return withBytes(bytes, function (text) {
          return module._serix_read_value(text);
        });
      },

      dayNumber: function (year, month, day) {
        return module._serix_day_number(year, month, day);
      },
    };
  }

  return { open: open };
})();

if (typeof module !== "undefined") module.exports = SerixCore;
