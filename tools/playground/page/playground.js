// The playground page: a form for each function and the argument text kept in step with it,
// the call made through the plug-in's own code (SerixCore) as the designer types, and the
// result, the message boxes and the calculation to paste shown as the host would give them.
// Everything that comes from the address, a paste or a result is set as text, never markup.
(function () {
  "use strict";

  var GUIDE_NO_RESULT = "Serix-Guide.html#when-there-is-no-result";
  var RESULT_LIMIT = 64000;
  var LONGEST_SHARED_ARGUMENT = 16000;
  var PROBE_WORD = "-fieldsizewarning ";
  var DEFAULT_CALL = { f: "Serx-CreateRange", a: "-padding 3|Item |8|1|11|", s: "|" };

  var $ = function (id) { return document.getElementById(id); };
  var core = null;
  var separator = "|"; // the token the plug-in splits at now
  var frame = 0; // the animation frame that will show the call, when one is asked for
  var shownResult = ""; // the text in the result area, returns as "\r"

  // ---- The argument: parameters split at the separator, and the option words in them.

  function hasWord(text, word) {
    return text.toLowerCase().indexOf(word.toLowerCase()) >= 0;
  }

  // The width after "-padding": the text up to the next "-", its first run of digits.
  function paddingWidth(options) {
    var at = options.toLowerCase().indexOf("-padding");
    if (at < 0) return null;
    var after = options.slice(at + "-padding".length);
    var dash = after.indexOf("-");
    var digits = (dash < 0 ? after : after.slice(0, dash)).match(/[0-9]+/);
    return digits ? digits[0] : "";
  }

  // A field's text as the plug-in gets it: a line break is a return (13), the host's line
  // separator. (Text fields hand out their line breaks as line feeds, whatever was put in.)
  function pluginText(value) {
    return value.replace(/\r\n|\n/g, "\r");
  }

  function argumentText() {
    return pluginText($("argument").value);
  }

  function splitParameters(argument) {
    return separator ? argument.split(separator) : [argument];
  }

  function formToRangeArgument() {
    // Padding counts only for numbers, the date separator only for dates.
    var dates = $("values").value !== "numbers";
    var words = [];
    if (!dates && $("padding-on").checked) {
      words.push(("-padding " + $("padding-width").value).trim());
    }
    if (dates) words.push($("values").value);
    if (dates && $("date-separator").value) words.push($("date-separator").value);
    if ($("no-return").checked) words.push("-noreturnatend");
    if ($("size-warning").checked) words.push("-fieldsizewarning");
    return [words.join(" "), $("prefix").value, $("start").value, $("step").value,
            $("end").value, $("suffix").value].join(separator);
  }

  function rangeArgumentToForm(parameters) {
    var options = parameters[0] || "";
    var width = paddingWidth(options);
    $("padding-on").checked = width !== null;
    if (width !== null) setValue($("padding-width"), width);
    $("values").value = hasWord(options, "-DateMMDDYYYY") ? "-DateMMDDYYYY"
                      : hasWord(options, "-DateDDMMYYYY") ? "-DateDDMMYYYY" : "numbers";
    $("date-separator").value = hasWord(options, "-DateUseDash") ? "-DateUseDash"
                              : hasWord(options, "-DateUsePeriod") ? "-DateUsePeriod" : "";
    $("no-return").checked = hasWord(options, "-noreturnatend");
    $("size-warning").checked = hasWord(options, "-fieldsizewarning");
    ["prefix", "start", "step", "end", "suffix"].forEach(function (id, i) {
      setValue($(id), (parameters[i + 1] || "").replace(/\r/g, "\n"));
    });
  }

  var FORMS = {
    "Serx-CreateRange": { toArgument: formToRangeArgument, fromParameters: rangeArgumentToForm },
    "Serx-Options": {
      toArgument: function () {
        return ($("set-warning").checked ? "-setwarningdialogtext" : "") + separator +
               $("warning-text").value;
      },
      fromParameters: function (parameters) {
        $("set-warning").checked = hasWord(parameters[0] || "", "-setwarningdialogtext");
        setValue($("warning-text"), (parameters[1] || "").replace(/\r/g, "\n"));
      },
    },
    "Serx-Version": {
      toArgument: function () {
        return $("version-number").checked ? "-getversionnumber" : "";
      },
      fromParameters: function (parameters) {
        $("version-number").checked = hasWord(parameters[0] || "", "-getversionnumber");
      },
    },
  };

  function functionName() {
    return $("function").value;
  }

  function showForm() {
    Object.keys(FORMS).forEach(function (name) {
      $("form-" + name).hidden = name !== functionName();
    });
    $("fields-calculation-block").hidden = functionName() !== "Serx-CreateRange";
    var dates = $("values").value !== "numbers";
    $("date-separator").disabled = !dates;
    $("start-date").disabled = !dates;
    $("end-date").disabled = !dates;
    $("padding-on").disabled = dates;
    $("padding-width").disabled = dates || !$("padding-on").checked;
  }

  // ---- The separator, kept in the plug-in's registry value SeparatorToken.

  // Stores the field's token and lets the plug-in read it, as it does at every call: a token
  // it does not accept is replaced by its defaults there and then.
  function applySeparator() {
    var missing = [];
    var bytes = Cp1252.encode($("separator").value, missing);
    if (!bytes) {
      setText($("separator-status"), "The separator holds " + describeMissing(missing) +
              ", which Windows-1252 cannot hold; the plug-in keeps splitting at " +
              quoted(separator) + ".");
      return;
    }
    core.setRegistryText("SeparatorToken", bytes);
    core.call("Serx-Version", new Uint8Array(0));
    var stored = core.registryText("SeparatorToken");
    separator = stored ? Cp1252.decode(stored) : "|";
    var accepted = stored && stored.length === bytes.length &&
                   stored.every(function (b, i) { return b === bytes[i]; });
    setText($("separator-status"), accepted
      ? "The plug-in splits the argument at " + quoted(separator) + "."
      : "Not a token the plug-in takes (1 to 63 characters): it splits at " + quoted(separator) +
        ".");
    var regFile = core.regFile("SeparatorToken");
    var link = $("reg-file");
    link.href = regFile ? "data:application/octet-stream;base64," + base64(regFile) : "#";
    link.hidden = !regFile;
  }

  function base64(bytes) {
    var text = "";
    for (var i = 0; i < bytes.length; i++) text += String.fromCharCode(bytes[i]);
    return btoa(text);
  }

  // ---- Showing things.

  function setText(element, text) {
    element.textContent = text;
  }

  // A field's value, left alone when it already holds it: setting a long text again costs a
  // new layout of it.
  function setValue(element, value) {
    if (element.value !== value) element.value = value;
  }

  function quoted(text) {
    return "\u201c" + text + "\u201d";
  }

  function describeMissing(characters) {
    return characters.map(function (ch) {
      return quoted(ch) + " (" + Cp1252.codePointName(ch) + ")";
    }).join(", ");
  }

  function notice(kind, parts) {
    var p = document.createElement("p");
    p.className = "notice " + kind;
    parts.forEach(function (part) {
      p.appendChild(typeof part === "string" ? document.createTextNode(part) : part);
    });
    $("result-notices").appendChild(p);
  }

  function link(href, text) {
    var a = document.createElement("a");
    a.href = href;
    a.textContent = text;
    return a;
  }

  // One line for each entry; a ¶ mark where a return stands and a mark at the end, both
  // drawn by the style sheet, so that the text selected, copied or read out is the result's
  // own text with its returns as line breaks. A long result is set out in blocks of lines:
  // the first at once, the others first skipped by the browser's layout (content-visibility)
  // and then let in a few at a time, between frames, so that a result of 64000 characters
  // shows at once and never holds the page up; the result area is aria-busy meanwhile. A block
  // gets the elements that carry its marks when it comes near the view; until then it is
  // plain text, the same text.
  var LINES_PER_BLOCK = 200;
  var BLOCKS_PER_STEP = 8;
  var blockWatcher = null;
  var settingOut = 0; // the run of letting blocks in that is current

  function letBlocksIn(box) {
    var run = ++settingOut;
    var next = box.firstChild;
    box.setAttribute("aria-busy", "true");
    (function step() {
      if (run !== settingOut) return;
      for (var n = 0; next && n < BLOCKS_PER_STEP; n++, next = next.nextSibling) {
        next.classList.remove("deferred");
      }
      if (next) {
        requestAnimationFrame(function () { setTimeout(step, 0); });
      } else {
        box.setAttribute("aria-busy", "false");
      }
    })();
  }

  function markLines(block) {
    var lines = block.serixLines;
    var fragment = document.createDocumentFragment();
    for (var i = 0; i < lines.length; i++) {
      var last = i === lines.length - 1;
      var line = document.createElement("span");
      line.className = last && block.serixEndsResult ? "end" : "cr";
      line.textContent = lines[i];
      fragment.appendChild(line);
      if (!last) fragment.appendChild(document.createTextNode("\n"));
    }
    block.replaceChildren(fragment);
    block.serixLines = null;
  }

  function watchBlocks() {
    if (blockWatcher) return blockWatcher;
    blockWatcher = new IntersectionObserver(function (seen) {
      seen.forEach(function (entry) {
        if (!entry.isIntersecting || !entry.target.serixLines) return;
        markLines(entry.target);
        blockWatcher.unobserve(entry.target);
      });
    }, { root: $("result"), rootMargin: "200% 0px" });
    return blockWatcher;
  }

  function showResult(bytes) {
    var box = $("result");
    var text = Cp1252.decode(bytes);
    // The same result again (another option that changes nothing, say) keeps what is shown,
    // and with it what the reader has selected in it.
    if (text === shownResult && box.childNodes.length) return;
    shownResult = text;
    var lines = text.split("\r");
    var watcher = watchBlocks();
    watcher.disconnect();
    var lineHeight = parseFloat(getComputedStyle(box).lineHeight);
    var fragment = document.createDocumentFragment();
    for (var first = 0; first < lines.length; first += LINES_PER_BLOCK) {
      var block = document.createElement("div");
      block.className = first ? "lines deferred" : "lines";
      block.serixLines = lines.slice(first, first + LINES_PER_BLOCK);
      block.serixEndsResult = first + LINES_PER_BLOCK >= lines.length;
      block.style.containIntrinsicSize = "auto " + block.serixLines.length * lineHeight + "px";
      block.textContent = block.serixLines.join("\n");
      fragment.appendChild(block);
    }
    if (fragment.firstChild) markLines(fragment.firstChild);
    box.replaceChildren(fragment);
    box.scrollTop = 0;
    for (var child = box.firstChild; child; child = child.nextSibling) {
      if (child.serixLines) watcher.observe(child);
    }
    letBlocksIn(box);
    var entries = text === "" ? 0 : lines.length - (text.endsWith("\r") ? 1 : 0);
    setText($("result-summary"), count(entries, "entry", "entries") + ", " +
            count(bytes.length, "character", "characters") + ".");
  }

  function count(n, one, many) {
    return n.toLocaleString("en-US") + " " + (n === 1 ? one : many);
  }

  function showNoResult(why) {
    shownResult = "";
    settingOut++;
    $("result").setAttribute("aria-busy", "false");
    $("result").replaceChildren();
    setText($("result-summary"), why);
  }

  function showMessages(messages) {
    messages.forEach(function (message) {
      notice("box", ["Message box " + quoted(Cp1252.decode(message.caption)) + ": " +
                     Cp1252.decode(message.text)]);
    });
  }

  // Whether the plug-in found the range incomplete, asked of the plug-in itself: the same
  // call with -fieldsizewarning shows its warning exactly then. (The clock moves on between
  // calls, so the five seconds between two warnings never hide it.) Null when the word cannot
  // go in front of the options without the separator splitting it.
  function rangeIncomplete(argument) {
    var probe = PROBE_WORD + argument;
    if (separator && probe.indexOf(separator) >= 0 && probe.indexOf(separator) < PROBE_WORD.length) {
      return null;
    }
    var bytes = Cp1252.encode(probe);
    return core.call(functionName(), bytes).messages.length > 0;
  }

  function showDates() {
    var order = $("values").value === "-DateMMDDYYYY" ? 1 : $("values").value === "-DateDDMMYYYY" ? 2 : 0;
    var dateSeparator = $("date-separator").value === "-DateUseDash" ? "-"
                      : $("date-separator").value === "-DateUsePeriod" ? "." : "/";
    [["start", "start-date", "start-date-text"], ["end", "end-date", "end-date-text"]]
      .forEach(function (ids) {
        var bytes = Cp1252.encode($(ids[0]).value);
        if (!order || !bytes || $(ids[0]).value.trim() === "") {
          setText($(ids[2]), "");
          return;
        }
        var day = core.readValue(bytes);
        setText($(ids[2]), "Day " + day.toLocaleString("en-US") + " is " +
                core.dateText(day, order, dateSeparator) + ".");
        if (document.activeElement === $(ids[1])) return; // being typed into
        var iso = core.dateText(day, 1, "-").split("-"); // MM-DD-YYYY
        var year = Number(iso[2]);
        $(ids[1]).value = year >= 1 && year <= 9999 && iso.length === 3
          ? iso[2] + "-" + iso[0] + "-" + iso[1] : "";
      });
  }

  function showCalculation(argument) {
    setValue($("calculation"), Calculation.call(functionName(), argument));
    if (functionName() !== "Serx-CreateRange") return;
    var p = splitParameters(argument);
    setValue($("fields-calculation"), Calculation.rangeFromFields(functionName(), {
      options: p[0] || "", prefix: p[1] || "", suffix: p.slice(5).join(separator),
    }, separator, {
      start: $("start-field").value || "Start",
      step: $("step-field").value || "Step",
      end: $("end-field").value || "End",
    }));
  }

  function argumentNotes(argument, missing) {
    var notes = [];
    if (missing.length) {
      notes.push("The argument holds " + describeMissing(missing) + ", which Windows-1252 " +
                 "cannot hold, so the host could not pass it to the plug-in as typed.");
    }
    if (functionName() === "Serx-CreateRange" && separator) {
      ["prefix", "suffix"].forEach(function (id) {
        if ($(id).value.indexOf(separator) >= 0) {
          notes.push("The " + id + " holds the separator " + quoted(separator) +
                     ": the plug-in splits the argument there.");
        }
      });
    }
    setText($("argument-note"), notes.join(" "));
  }

  function remember(argument) {
    var params = new URLSearchParams();
    params.set("f", functionName());
    if (argument.length <= LONGEST_SHARED_ARGUMENT) params.set("a", argument);
    if ($("separator").value !== "|") params.set("s", $("separator").value);
    history.replaceState(null, "", "#" + params.toString().replace(/\+/g, "%20"));
  }

  // ---- The call.

  // Each call shown is timed as "serix-call-shown" (the call, the result set out and laid
  // out), for the page's benchmark; the newest measure replaces the one before.
  function evaluate() {
    cancelAnimationFrame(frame);
    frame = 0;
    var started = performance.now();
    show();
    $("result").getBoundingClientRect();
    performance.clearMeasures("serix-call-shown");
    performance.measure("serix-call-shown", { start: started, end: performance.now() });
  }

  function show() {
    var argument = argumentText();
    showDates();
    showCalculation(argument);
    remember(argument);
    $("result-notices").replaceChildren();

    var missing = [];
    var bytes = Cp1252.encode(argument, missing);
    argumentNotes(argument, missing);
    if (!bytes) {
      showNoResult("No call: the argument holds characters outside Windows-1252.");
      return;
    }
    var outcome = core.call(functionName(), bytes);
    if (!outcome.wrote) {
      showNoResult("No result.");
      notice("warning", ["No result: the plug-in leaves the result untouched, so the " +
                         "calculation gets an empty text, with no message. See ",
                         link(GUIDE_NO_RESULT, "When there is no result"), " in the guide."]);
      showMessages(outcome.messages);
      return;
    }
    showResult(outcome.result);
    showMessages(outcome.messages);
    if (functionName() === "Serx-CreateRange") {
      var incomplete = rangeIncomplete(argument);
      if (incomplete || (incomplete === null && outcome.result.length >= RESULT_LIMIT)) {
        notice("warning", ["Incomplete: the range does not fit in 64000 characters, the most " +
                           "the plug-in returns (the text limit of the FileMaker Pro versions " +
                           "of its time). The result holds what fits" +
                           (outcome.result.length >= RESULT_LIMIT
                             ? ", cut at exactly 64000 characters." : ".")]);
      }
    }
  }

  function schedule() {
    if (!frame) frame = requestAnimationFrame(evaluate);
  }

  // ---- Keeping the form and the argument in step.

  function writeArgumentFromForm() {
    $("argument").value = pluginText(FORMS[functionName()].toArgument());
  }

  function formChanged() {
    writeArgumentFromForm();
    showForm();
    schedule();
  }

  function argumentChanged() {
    FORMS[functionName()].fromParameters(splitParameters(argumentText()));
    showForm();
    schedule();
  }

  function separatorChanged() {
    applySeparator();
    writeArgumentFromForm();
    schedule();
  }

  function pickDate(pickerId, fieldId) {
    var parts = $(pickerId).value.split("-");
    if (parts.length !== 3) return;
    $(fieldId).value = String(core.dayNumber(Number(parts[0]), Number(parts[1]), Number(parts[2])));
    formChanged();
  }

  // A call from the address: #f=FUNCTION&a=ARGUMENT&s=SEPARATOR.
  function loadFromAddress() {
    var params = new URLSearchParams(location.hash.replace(/^#/, ""));
    var name = params.get("f");
    $("function").value = FORMS[name] ? name : DEFAULT_CALL.f;
    $("separator").value = params.has("s") ? params.get("s") : DEFAULT_CALL.s;
    applySeparator();
    $("argument").value = params.has("a") || params.has("f") ? params.get("a") || ""
                                                            : DEFAULT_CALL.a;
    argumentChanged();
  }

  // Ctrl+A in the result area selects the result, not the page.
  function selectResult(event) {
    if ((event.ctrlKey || event.metaKey) && !event.altKey && event.key.toLowerCase() === "a") {
      var range = document.createRange();
      range.selectNodeContents($("result"));
      getSelection().removeAllRanges();
      getSelection().addRange(range);
      event.preventDefault();
    }
  }

  // A copy from the result area is the result's text with its returns as line breaks. The
  // browser's own copy drops a line break at the very end, where the result's last return
  // stands, so a selection of the whole result copies the result itself.
  function copyResult(event) {
    var selection = getSelection();
    var box = $("result");
    if (!selection.rangeCount || !box.contains(selection.getRangeAt(0).commonAncestorContainer)) {
      return;
    }
    var range = selection.getRangeAt(0);
    var whole = document.createRange();
    whole.selectNodeContents(box);
    var all = range.compareBoundaryPoints(Range.START_TO_START, whole) <= 0 &&
              range.compareBoundaryPoints(Range.END_TO_END, whole) >= 0;
    event.clipboardData.setData("text/plain",
                                all ? shownResult.replace(/\r/g, "\n") : selection.toString());
    event.preventDefault();
  }

  function copy(id) {
    var text = $(id).value;
    var done = function () { setText($("copy-status"), "Copied."); };
    var byHand = function () {
      $(id).focus();
      $(id).select();
      setText($("copy-status"), document.execCommand("copy") ? "Copied." : "Press Ctrl+C to copy.");
    };
    if (navigator.clipboard && navigator.clipboard.writeText) {
      navigator.clipboard.writeText(text).then(done, byHand);
    } else {
      byHand();
    }
  }

  function start() {
    var forms = document.querySelectorAll(
      ".function-form input, .function-form select, .function-form textarea");
    forms.forEach(function (control) {
      if (control.type === "date") return;
      var ticked = control.type === "checkbox" || control.tagName === "SELECT";
      control.addEventListener(ticked ? "change" : "input", formChanged);
    });
    $("start-date").addEventListener("change", function () { pickDate("start-date", "start"); });
    $("end-date").addEventListener("change", function () { pickDate("end-date", "end"); });
    $("function").addEventListener("change", formChanged);
    $("argument").addEventListener("input", argumentChanged);
    $("separator").addEventListener("input", separatorChanged);
    ["start-field", "step-field", "end-field"].forEach(function (id) {
      $(id).addEventListener("input", schedule);
    });
    $("result").addEventListener("keydown", selectResult);
    document.addEventListener("copy", copyResult);
    $("copy-calculation").addEventListener("click", function () { copy("calculation"); });
    $("copy-fields-calculation").addEventListener("click", function () {
      copy("fields-calculation");
    });
    // A link to another call followed on this page (the page's own updates of the address
    // replace it, which fires nothing).
    window.addEventListener("hashchange", loadFromAddress);
    loadFromAddress();
    evaluate();
    performance.mark("serix-first-result");
  }

  createSerixModule().then(function (module) {
    core = SerixCore.open(module);
    start();
    document.documentElement.dataset.ready = "true";
  }, function (error) {
    setText($("result-summary"), "The plug-in could not start in this browser: " + error);
  });
})();
