// The playground page: a form for each function and the argument text kept in step with it,
// the call made through the plug-in's own code (SerixCore) as the designer types, and the
// result, the message boxes and the calculation to paste shown as the host would give them.
// After every edit the form shows what the plug-in reads, and what it reads otherwise than it
// was typed is said beside the field concerned. Every figure of the plug-in comes from it
// (SerixCore's facts). Everything that comes from the address, a paste or a result is set as
// text, never markup.
(function () {
  "use strict";

  var GUIDE_NO_RESULT = "Serix-Guide.html#when-there-is-no-result";
  // Texts longer than this stay out of the page's address, which browsers keep short.
  var LONGEST_SHARED_TEXT = 16000;
  // A longer calculation shows its beginning; Copy copies all of it.
  var LONGEST_SHOWN_CALCULATION = 20000;
  // A longer text quoted in a note shows its beginning.
  var LONGEST_QUOTED = 60;
  var MS_PER_DAY = 24 * 60 * 60 * 1000;
  var DEFAULT_CALL = { f: "Serx-CreateRange", a: "-padding 3|Item |8|1|11|", s: "|", v: "4-6" };

  var $ = function (id) { return document.getElementById(id); };
  var core = null;
  var facts = null; // the plug-in's figures (page_session.cpp)
  var separator = "|"; // the token the plug-in splits at now, as it reads it
  var frame = 0; // the animation frame that will show the call, when one is asked for
  var shownResult = ""; // the text in the result area, returns as "\r"
  // The parameters as the person wrote them at the last edit: the form's, or the argument's
  // split at the separator; each is compared with what the plug-in reads.
  var written = null;
  var writtenBy = "argument";
  var paddingAsked = false; // the form asked for padding, which the plug-in may read as none
  var wholeCalculations = {}; // by box: the whole text, which Copy copies

  // ---- Texts.

  // A field's text as the plug-in gets it: a line break is a return (13), the host's line
  // separator. (Text fields hand out their line breaks as line feeds, whatever was put in.)
  function pluginText(value) {
    return value.replace(/\r\n|\n/g, "\r");
  }

  function fieldText(text) {
    return text.replace(/\r/g, "\n");
  }

  function argumentText() {
    return pluginText($("argument").value);
  }

  // The first `count` parameters of an argument, the last with everything after it.
  function splitParameters(argument, count) {
    var parts = [];
    var at = 0;
    while (parts.length < count - 1) {
      var next = argument.indexOf(separator, at);
      if (next < 0) break;
      parts.push(argument.slice(at, next));
      at = next + separator.length;
    }
    parts.push(argument.slice(at));
    return parts;
  }

  // A text as a note quotes it: control characters as their pictures, a long one cut short.
  function visible(text) {
    var shown = text.length > LONGEST_QUOTED ? text.slice(0, LONGEST_QUOTED) + "\u2026" : text;
    return shown.replace(/[\u0000-\u001f\u007f]/g, function (ch) {
      var code = ch.charCodeAt(0);
      return ch === "\r" ? "\u00b6" : String.fromCharCode(code === 0x7f ? 0x2421 : 0x2400 + code);
    });
  }

  function quoted(text) {
    return "\u201c" + visible(text) + "\u201d";
  }

  function count(n, one, many) {
    return n.toLocaleString("en-US") + " " + (n === 1 ? one : many);
  }

  function describeMissing(characters) {
    return characters.map(function (ch) {
      return quoted(ch) + " (" + Cp1252.codePointName(ch) + ")";
    }).join(", ");
  }

  function setText(element, text) {
    element.textContent = text;
  }

  // A field's value, left alone when it already holds it: setting a long text again costs a
  // new layout of it, and moves the caret.
  function setValue(element, value) {
    if (element.value !== value) element.value = value;
  }

  // For each parameter written (`typed`), why the plug-in reads otherwise (`read`), or "": a
  // separator inside it, which also moves every parameter after it; a zero byte; more
  // characters than the plug-in reads of a parameter; characters Windows-1252 lacks.
  function parameterNotes(names, typed, read) {
    var movedBy = null;
    return names.map(function (name, i) {
      if (typed[i] === undefined) return "";
      var missing = [];
      var passed = Cp1252.passed(typed[i], missing);
      var reads = ": it reads " + (read[i] === "" ? "nothing" : quoted(read[i])) + ".";
      var note;
      if (passed === read[i]) {
        note = missing.length ? "Windows-1252 has no " + describeMissing(missing) + ": the " +
                                "plug-in gets " + quoted(Cp1252.inPlaceOfMissing) + " in its place." : "";
      } else if (passed.indexOf(separator) >= 0) {
        note = quoted(typed[i]) + " holds the separator " + quoted(separator) + ", where the " +
               "plug-in ends the " + name + reads;
      } else if (movedBy !== null) {
        note = "The separator in the " + movedBy + " moves what follows: the plug-in reads " +
               (read[i] === "" ? "nothing" : quoted(read[i])) + " as the " + name + ".";
      } else if (passed.indexOf("\u0000") >= 0) {
        note = quoted(typed[i]) + " holds a zero byte, where the plug-in stops reading it" + reads;
      } else if (passed.length > facts.parameter_capacity) {
        note = "The " + name + " has " + count(passed.length, "character", "characters") + ", and " +
               "the plug-in reads the first " + facts.parameter_capacity.toLocaleString("en-US") +
               " of a parameter.";
      } else {
        note = quoted(typed[i]) + " is not what the plug-in reads" + reads;
      }
      if (movedBy === null && passed.indexOf(separator) >= 0) movedBy = name;
      return note;
    });
  }

  // ---- The forms. Each writes the parameters of its function, and is filled from what the
  // plug-in reads of the argument (`reading`: the parameters as the plug-in holds them, and
  // for a range its reading of them, and the call's outcome).

  var DATE_ORDERS = { none: "numbers", "month first": "-DateMMDDYYYY",
                      "day first": "-DateDDMMYYYY" };
  var DATE_SEPARATORS = { "/": "", "-": "-DateUseDash", ".": "-DateUsePeriod" };
  var RANGE_FIELDS = ["prefix", "start", "step", "end", "suffix"];

  // N as the field shows it: a number field takes "1e2" for 100, which the plug-in would read
  // as 1, so a whole number is written out in digits.
  function paddingText() {
    var field = $("padding-width");
    var n = field.valueAsNumber;
    return Number.isInteger(n) && n >= 0 ? BigInt(n).toString() : field.value;
  }

  function rangeParameters() {
    // Padding counts only for numbers, the date separator only for dates.
    var dates = $("values").value !== "numbers";
    var words = [];
    if (!dates && $("padding-on").checked) words.push(("-padding " + paddingText()).trim());
    if (dates) words.push($("values").value);
    if (dates && $("date-separator").value) words.push($("date-separator").value);
    if ($("no-return").checked) words.push("-noreturnatend");
    if ($("size-warning").checked) words.push("-fieldsizewarning");
    return [words.join(" ")].concat(RANGE_FIELDS.map(function (id) {
      return pluginText($(id).value);
    }));
  }

  function fillRange(reading) {
    var options = reading.range.options;
    $("padding-on").checked = options.padding > 0;
    if (options.padding > 0) setValue($("padding-width"), String(options.padding));
    $("values").value = DATE_ORDERS[options.dates];
    $("date-separator").value = DATE_SEPARATORS[options.date_separator];
    $("no-return").checked = !options.return_at_end;
    $("size-warning").checked = options.warning;
    RANGE_FIELDS.forEach(function (id, i) {
      setValue($(id), fieldText(reading.parameters[i + 1]));
    });
  }

  // How the plug-in reads a parameter of a range: start, step and end as values, start and end
  // as days when the options ask for dates; where it stops reading, and what it leaves unread.
  function readingNote(id, range) {
    var read = range[id];
    if (read === undefined) {
      var stop = ["start", "step", "end"].filter(function (name) {
        return range[name] && !range[name].text.length;
      })[0];
      return "The plug-in does not read this: it stops at the empty " + stop + ".";
    }
    if (id === "prefix" || id === "suffix") return "";
    if (!read.text.length) return "Empty: the plug-in stops reading here, and writes no result.";
    var text = Cp1252.decode(read.text);
    var value = read.value.toLocaleString("en-US");
    var date = read.date ? ", " + Cp1252.decode(read.date) : "";
    if (String(read.value) !== text) {
      return "The plug-in reads " + quoted(text) + " as " + (read.date ? "day " : "") + value + date +
             ".";
    }
    return read.date ? "Day " + value + " is " + Cp1252.decode(read.date) + "." : "";
  }

  function rangeNotes(reading) {
    var options = reading.range.options;
    var typed = written || [];
    var notes = parameterNotes(["option words"].concat(RANGE_FIELDS), typed, reading.parameters);
    setText($("options-note"), notes[0]);
    var padding = options.dates === "none" && options.padding > 0;
    var asked = writtenBy === "form" && options.dates === "none" && !padding &&
                typed[0] === reading.parameters[0] && paddingAsked;
    setText($("padding-note"), "At most " + facts.longest_padding + "." +
            (padding ? " The plug-in pads to " + options.padding + "." : "") +
            (asked ? " The plug-in reads no width above 0 after -padding, and pads nothing." : ""));
    RANGE_FIELDS.forEach(function (id, i) {
      // A parameter the plug-in does not read needs no word on how it would read it.
      var unread = reading.range[id] === undefined;
      setText($(id + "-note"), [unread ? "" : notes[i + 1], readingNote(id, reading.range)]
        .filter(Boolean).join(" "));
    });
    showDatePickers(reading.range);
  }

  // The calendar fields follow start and end as the plug-in reads them (the browser's
  // calendar, its day 0 being 1 January 1970).
  function showDatePickers(read) {
    [["start", "start-date"], ["end", "end-date"]].forEach(function (ids) {
      var value = read[ids[0]];
      if (document.activeElement === $(ids[1])) return; // being typed into
      var time = value && read.options.dates !== "none" && value.text.length
        ? (value.value - facts.day_of_1970) * MS_PER_DAY : NaN;
      var year = new Date(time).getUTCFullYear();
      if (year >= 1 && year <= 9999) {
        $(ids[1]).valueAsNumber = time;
      } else {
        $(ids[1]).value = "";
      }
    });
  }

  // Serx-Options and Serx-Version take one option word each; the form shows whether the
  // plug-in found it by its answer.
  function optionWordNotes(noteId, word, found, reading) {
    var notes = parameterNotes(["option", "text"], written || [], reading.parameters);
    if (!notes[0] && !found && reading.parameters[0] !== "") {
      notes[0] = "The plug-in finds no " + word + " in " + quoted(reading.parameters[0]) + ".";
    }
    setText($(noteId), notes[0]);
    return notes;
  }

  function optionsFound(outcome) {
    return outcome.wrote && Cp1252.decode(outcome.result) === "0";
  }

  function versionFound(outcome) {
    return outcome.wrote && Cp1252.decode(outcome.result) === facts.version_number;
  }

  var FORMS = new Map([
    ["Serx-CreateRange", {
      count: 6,
      parameters: rangeParameters,
      fill: fillRange,
      notes: rangeNotes,
    }],
    ["Serx-Options", {
      count: 2,
      parameters: function () {
        return [$("set-warning").checked ? "-setwarningdialogtext" : "",
                pluginText($("warning-text").value)];
      },
      fill: function (reading) {
        $("set-warning").checked = optionsFound(reading.outcome);
        setValue($("warning-text"), fieldText(reading.parameters[1]));
      },
      notes: function (reading) {
        var notes = optionWordNotes("set-warning-note", "-setwarningdialogtext",
                                    optionsFound(reading.outcome), reading);
        setText($("warning-text-note"), notes[1]);
      },
    }],
    ["Serx-Version", {
      count: 1,
      parameters: function () {
        return [$("version-number").checked ? "-getversionnumber" : ""];
      },
      fill: function (reading) {
        $("version-number").checked = versionFound(reading.outcome);
      },
      notes: function (reading) {
        optionWordNotes("version-number-note", "-getversionnumber", versionFound(reading.outcome),
                        reading);
      },
    }],
  ]);

  function functionName() {
    return $("function").value;
  }

  function showForm() {
    FORMS.forEach(function (form, name) {
      $("form-" + name).hidden = name !== functionName();
    });
    $("fields-calculation-block").hidden = functionName() !== "Serx-CreateRange";
    var dates = $("values").value !== "numbers";
    $("date-separator").disabled = !dates;
    $("start-date").disabled = !dates;
    $("end-date").disabled = !dates;
    $("padding-on").disabled = dates;
    $("padding-width").disabled = dates;
  }

  // ---- The separator, kept in the plug-in's registry value SeparatorToken.

  // Stores the field's token and lets the plug-in read it, as it does at every call: a token
  // it does not take is replaced by its defaults there and then.
  function applySeparator() {
    var typed = $("separator").value;
    var missing = [];
    var bytes = Cp1252.encode(typed, missing);
    core.setRegistryText("SeparatorToken", bytes);
    separator = Cp1252.decode(core.readParameters(new Uint8Array(0), 1).separator);
    var passed = Cp1252.decode(bytes);
    var splits = "it splits the argument at " + quoted(separator) + ".";
    var zero = passed.indexOf("\u0000");
    var status;
    if (passed === separator) {
      status = "The plug-in splits the argument at " + quoted(separator) + ".";
    } else if (passed === "") {
      status = "An empty separator is not one the plug-in takes: " + splits;
    } else if (zero >= 0 && passed.slice(0, zero) === separator) {
      status = "The plug-in reads the separator up to its zero byte: " + splits;
    } else if (passed.length > facts.longest_separator) {
      status = "The plug-in takes a separator of at most " + facts.longest_separator +
               " characters, not " + passed.length.toLocaleString("en-US") + ": " + splits;
    } else {
      status = "Not a separator the plug-in takes: " + splits;
    }
    if (missing.length) {
      status = "Windows-1252 has no " + describeMissing(missing) + ": the plug-in gets " +
               quoted(Cp1252.inPlaceOfMissing) + " in its place. " + status;
    }
    setText($("separator-status"), status);
    $("reg-file").href = "data:application/octet-stream;base64," +
                         base64(core.regFile("SeparatorToken"));
  }

  function base64(bytes) {
    var text = "";
    for (var i = 0; i < bytes.length; i++) text += String.fromCharCode(bytes[i]);
    return btoa(text);
  }

  // ---- Showing things.

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
  // and then let in a few at a time, between frames, so that a result of the most characters
  // the plug-in returns shows at once and never holds the page up; the result area is
  // aria-busy meanwhile. A block gets the elements that carry its marks when it comes near the
  // view; until then it is plain text, the same text. Blocks are elements of their own, whose
  // edges stand for the line break between them: the empty line after a last return belongs to
  // the block before, whose text then ends in its line break.
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
    for (var first = 0; first < lines.length;) {
      var next = first + LINES_PER_BLOCK;
      if (next === lines.length - 1 && lines[next] === "") next++;
      var block = document.createElement("div");
      block.className = first ? "lines deferred" : "lines";
      block.serixLines = lines.slice(first, next);
      block.serixEndsResult = next >= lines.length;
      block.style.containIntrinsicSize = "auto " + block.serixLines.length * lineHeight + "px";
      block.textContent = block.serixLines.join("\n");
      fragment.appendChild(block);
      first = next;
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

  // A calculation box shows the whole calculation, or its beginning when it is very long.
  function showCalculationIn(id, text) {
    wholeCalculations[id] = text;
    setValue($(id), text.length > LONGEST_SHOWN_CALCULATION
      ? text.slice(0, LONGEST_SHOWN_CALCULATION) : text);
  }

  function showCalculation(argument, reading) {
    var version = $("filemaker-version").value;
    var notes = [];
    var name = functionName();
    // The separator stands in the calculation with fields.
    var calculated = name === "Serx-CreateRange" ? argument + separator : argument;
    var cannot = Calculation.unwritable(version, calculated);
    if (cannot !== null) {
      notes.push(Calculation.versionName(version) + " cannot write " + quoted(cannot) + " as " +
                 "a character in a calculation: every " + cannot + " in a text is a return " +
                 "there, and those versions have no function we know of that gives a character " +
                 "from its code.");
      showCalculationIn("calculation", "");
      showCalculationIn("fields-calculation", "");
    } else {
      showCalculationIn("calculation", Calculation.call(version, name, argument));
      if (name === "Serx-CreateRange") {
        var p = splitParameters(argument, 6);
        showCalculationIn("fields-calculation", Calculation.rangeFromFields(version, name, {
          options: p[0] || "", prefix: p[1] || "", suffix: p.length > 5 ? p[5] : "",
        }, separator, {
          start: $("start-field").value || "Start",
          step: $("step-field").value || "Step",
          end: $("end-field").value || "End",
        }));
      }
      var length = wholeCalculations.calculation.length;
      if (length > LONGEST_SHOWN_CALCULATION) {
        notes.push("The calculation has " + count(length, "character", "characters") + "; " +
                   "the box shows the first " + LONGEST_SHOWN_CALCULATION.toLocaleString("en-US") +
                   ", and Copy copies all of it.");
      }
    }
    if (version === "7-8.0") notes.push(spacesIn7(reading));
    setText($("calculation-note"), notes.filter(Boolean).join(" "));
  }

  // FileMaker Pro 7 and 8.0 hand this plug-in a space for every character outside ASCII.
  function spacesIn7(reading) {
    var places = [["separator", separator]];
    if (reading && reading.range) {
      places.push(["prefix", reading.parameters[1]], ["suffix", reading.parameters[5]]);
    }
    var found = places.filter(function (place) { return /[^\u0000-\u007f]/.test(place[1]); })
      .map(function (place) { return "the " + place[0] + " " + quoted(place[1]); });
    return found.length ? "FileMaker Pro 7 and 8.0 hand the plug-in a space for every " +
                          "character outside ASCII: " + found.join(", ") + " would reach it " +
                          "with spaces in their place." : "";
  }

  function argumentNotes(argument, missing) {
    var notes = [];
    if (missing.length) {
      notes.push("Windows-1252, the plug-in's characters, has no " + describeMissing(missing) +
                 ": the plug-in gets " + quoted(Cp1252.inPlaceOfMissing) + " in its place.");
    }
    if (argument.indexOf("\u0000") >= 0) {
      notes.push("The argument holds a zero byte: the plug-in reads a parameter up to there.");
    }
    if (argument.length > LONGEST_SHARED_TEXT) {
      notes.push("The argument, " + count(argument.length, "character", "characters") + ", is " +
                 "too long to keep in the page's address: a link to this page opens without it.");
    }
    return notes;
  }

  // The call in the page's address: f, a, s and v; a text too long to keep is left out, and
  // the address says so (a-omitted, s-omitted: its length).
  function remember(argument) {
    var params = new URLSearchParams();
    params.set("f", functionName());
    [["a", argument], ["s", $("separator").value]].forEach(function (kept) {
      if (kept[1].length <= LONGEST_SHARED_TEXT) {
        if (kept[0] === "a" || kept[1] !== DEFAULT_CALL.s) params.set(kept[0], kept[1]);
      } else {
        params.set(kept[0] + "-omitted", String(kept[1].length));
      }
    });
    if ($("filemaker-version").value !== DEFAULT_CALL.v) params.set("v", $("filemaker-version").value);
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
    var name = functionName();
    var form = FORMS.get(name);
    var argument = argumentText();
    var missing = [];
    var bytes = Cp1252.encode(argument, missing);
    if (writtenBy === "argument") written = splitParameters(argument, form.count);
    // The address after the frame that shows the call: the browser takes its time over it.
    setTimeout(function () { remember(argument); }, 0);
    $("result-notices").replaceChildren();
    var notes = argumentNotes(argument, missing);
    var reading = null;
    try {
      var parameters = core.readParameters(bytes, form.count);
      reading = { parameters: parameters.parameters.map(Cp1252.decode),
                  range: name === "Serx-CreateRange" ? core.readRange(bytes) : null };
      separator = Cp1252.decode(parameters.separator);
      reading.outcome = core.call(name, bytes);
    } catch (error) {
      if (!(error instanceof SerixCore.SessionError)) throw error;
      setText($("argument-note"), notes.join(" "));
      showCalculation(argument, null);
      showNoResult("Not tried here: the page's session refused the call (" + error.message +
                   ").");
      return;
    }
    form.fill(reading);
    showForm();
    form.notes(reading);
    setText($("argument-note"), notes.join(" "));
    showCalculation(argument, reading);

    var outcome = reading.outcome;
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
    if (reading.range && reading.range.incomplete) {
      var limit = facts.result_limit.toLocaleString("en-US");
      notice("warning", ["Incomplete: the range does not fit in " + limit + " characters, the " +
                         "most the plug-in returns (the text limit of the FileMaker Pro versions " +
                         "of its time). The result holds what fits" +
                         (outcome.result.length >= facts.result_limit
                           ? ", cut at exactly " + limit + " characters." : ".")]);
    }
  }

  function schedule() {
    if (!frame) frame = requestAnimationFrame(evaluate);
  }

  // ---- Keeping the form and the argument in step.

  function writeArgumentFromForm() {
    written = FORMS.get(functionName()).parameters();
    writtenBy = "form";
    $("argument").value = fieldText(written.join(separator));
  }

  function formChanged(event) {
    // A number field half typed ("1e") holds no value yet: the argument waits for it.
    if (event && event.target.validity && event.target.validity.badInput) return;
    // A width typed asks for padding.
    if (event && event.target === $("padding-width")) $("padding-on").checked = true;
    paddingAsked = $("padding-on").checked;
    writeArgumentFromForm();
    showForm();
    schedule();
  }

  function argumentChanged() {
    writtenBy = "argument";
    schedule();
  }

  function separatorChanged() {
    applySeparator();
    writeArgumentFromForm();
    schedule();
  }

  function pickDate(pickerId, fieldId) {
    var time = $(pickerId).valueAsNumber;
    if (!Number.isFinite(time)) return;
    $(fieldId).value = String(Math.round(time / MS_PER_DAY) + facts.day_of_1970);
    formChanged();
  }

  // A call from the address: #f=FUNCTION&a=ARGUMENT&s=SEPARATOR&v=VERSION.
  function loadFromAddress() {
    var params = new URLSearchParams(location.hash.replace(/^#/, ""));
    var name = params.get("f");
    $("function").value = FORMS.has(name) ? name : DEFAULT_CALL.f;
    $("filemaker-version").value =
      Calculation.versions.indexOf(params.get("v")) >= 0 ? params.get("v") : DEFAULT_CALL.v;
    $("separator").value = params.has("s") ? params.get("s") : DEFAULT_CALL.s;
    applySeparator();
    $("argument").value = params.has("a") || params.has("f") ? params.get("a") || ""
                                                            : DEFAULT_CALL.a;
    var omitted = [["a-omitted", "argument"], ["s-omitted", "separator"]].filter(function (o) {
      return params.has(o[0]);
    }).map(function (o) {
      return "the " + o[1] + " (" + count(Number(params.get(o[0])) || 0, "character", "characters") +
             ")";
    });
    setText($("link-note"), omitted.length ? "This link was made without " +
            omitted.join(" and ") + ", too long to keep in a link." : "");
    showForm();
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
    var text = wholeCalculations[id] || "";
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
    $("function").addEventListener("change", function () { formChanged(); });
    $("argument").addEventListener("input", argumentChanged);
    $("separator").addEventListener("input", separatorChanged);
    $("filemaker-version").addEventListener("change", schedule);
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
    $("padding-width").max = String(facts.longest_padding);
    loadFromAddress();
    evaluate();
    performance.mark("serix-first-result");
  }

  var binary = SerixCore.bytesOf(SerixModuleBinary.text, SerixModuleBinary.shift);
  createSerixModule({ wasmBinary: binary }).then(function (module) {
    core = SerixCore.open(module);
    facts = core.facts;
    start();
    document.documentElement.dataset.ready = "true";
  }, function (error) {
    setText($("result-summary"), "The plug-in could not start in this browser: " + error);
  });
})();
