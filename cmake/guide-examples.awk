# Reads the examples out of the designer's guide (docs/guide.md), so that the tests run
# them, the release ships the guide's own .reg files and the guide's HTML links each call to
# the playground page:
#
#   awk -v out=FILE.jsonl -v regdir=DIR -v links=FILE -f guide-examples.awk docs/guide.md
#
# out: one session for the acceptance runner, line for line with the guide: line N holds
# the request made from line N of the guide (or nothing), so that a mismatch names the
# guide's line. regdir: each ```reg block written there as a REGEDIT4 file with CRLF line
# ends. links: one line per call, "FENCE<TAB>N<TAB>ADDRESS": the guide's line of the block's
# opening fence, the call's line N, and the playground address that runs the call
# (Serix-Playground.html#f=NAME&a=ARGUMENT, and &s=SEPARATOR under a separator other than
# |; the texts as encodeURIComponent writes them). Any of the three may be left out.
#
# The guide's fenced blocks, by their info string:
#
#   ```example     Separator: TEXT                   optional first line: the block runs
#                                                    with TEXT as the separator, and the
#                                                    one in force before comes back after it
#                  External ( "Serx-Name" ; "ARG" )  a call, ARG as typed in a calculation
#                                                    (a block may hold several calls)
#                  → FIRST LINE¶                     its result, ¶ for a return; the lines
#                    NEXT LINE                       after the first indented by two blanks
#                    …                               a part left out, only with a length:
#                    (64000 characters)
#                  → (empty)                         no result, the handle left untouched
#                  Message box "TITLE":              a message box; its text on indented
#                    TEXT                            lines, joined by single blanks
#   ```reg NAME    a .reg file: its values are set in the session's registry, in order
#   ```formula     a calculation shown, not run
#
# Any other fenced block is an error, so that no example escapes the tests. Calls and
# results are ASCII apart from ¶. The range warning is shown at most once in 5 seconds: an
# example with a message box after the first one moves the session's clock on first, and
# is skipped by hosts without a settable clock.

BEGIN {
  pilcrow = "¶"
  arrow = "→ "
  ellipsis = "…"
  prefs_key = "[HKEY_CURRENT_USER\\Software\\Vexa\\Vexa Plug-in General Prefs]"
  call_start = "External ( \""
  in_block = ""
  boxes_shown = 0
  # A native session's clock starts at 600000 ms; each later box moves it 100 seconds on.
  clock_ms = 600000
  # The separator in force in the session: the standard one until a .reg block sets another.
  separator = "|"
  for (i = 1; i < 256; i++) byte_value[sprintf("%c", i)] = i
}

function fail(message) {
  printf "%s:%d: %s\n", FILENAME, FNR, message > "/dev/stderr"
  failed = 1
  exit 1
}

# One request a line: a second one for the same line would silently replace the first.
function put(line, request) {
  if (line in session) fail("two requests for line " line " of the session")
  session[line] = request
}

function json(text,   out, i, c) {
  out = ""
  for (i = 1; i <= length(text); i++) {
    c = substr(text, i, 1)
    if (c == "\\") out = out "\\\\"
    else if (c == "\"") out = out "\\\""
    else if (c == "\r") out = out "\\r"
    else if (c < " ") fail("a control character in an example")
    else out = out c
  }
  return "\"" out "\""
}

# A text as encodeURIComponent writes it (the texts here are ASCII and returns).
function uri_component(text,   out, i, c) {
  out = ""
  for (i = 1; i <= length(text); i++) {
    c = substr(text, i, 1)
    if (c ~ /[A-Za-z0-9_.!~*'()-]/) out = out c
    else out = out sprintf("%%%02X", byte_value[c])
  }
  return out
}

function separator_request(text) {
  return "{\"request\":{\"op\":\"registry\",\"set\":{\"SeparatorToken\":" json(text) \
         "}},\"expect\":{\"ok\":true}}"
}

# A text as the plug-in sees it: ¶ is a return; nothing else beyond ASCII.
function plain(text) {
  gsub(pilcrow, "\r", text)
  if (text ~ /[\200-\377]/) fail("only ASCII and ¶ in calls, results and message boxes")
  return text
}

# The argument of a call as typed between quotes in a calculation: \" and \\ are escapes.
function unquote(text,   out, i, c) {
  out = ""
  for (i = 1; i <= length(text); i++) {
    c = substr(text, i, 1)
    if (c == "\\") {
      i++
      c = substr(text, i, 1)
      if (c != "\"" && c != "\\") fail("only \\\" and \\\\ are escapes in a call's text")
    } else if (c == "\"") {
      fail("a quote inside a call's text is written \\\"")
    }
    out = out c
  }
  return plain(out)
}

function start_block() {
  block_separator = separator
  separator_named = 0
  calls_in_block = 0
  start_example()
}

function start_example() {
  call_line = 0
  call_name = ""
  call_arg = ""
  result = ""
  result_empty = 0
  omitted = 0
  after_omission = ""
  length_given = -1
  last_line_open = 0
  box_count = 0
  part = "call"
}

function example_line(line,   text, name_end) {
  if (line ~ /^Separator: /) {
    if (calls_in_block > 0 || separator_named) fail("Separator: is the first line of an example")
    text = substr(line, 12)
    if (text !~ /^[!-~]+$/ || length(text) > 63) {
      fail("a separator is 1 to 63 visible ASCII characters, without blanks")
    }
    block_separator = text
    separator_named = 1
    put(FNR, separator_request(text))
    return
  }
  if (part != "call" && part != "arrow" && substr(line, 1, length(call_start)) == call_start) {
    end_example()
    start_example()
  }
  if (part == "call") {
    if (line !~ /^External \( "Serx-[A-Za-z]+" ; ".*" \)$/) {
      fail("an example starts with a call: External ( \"Serx-Name\" ; \"text\" )")
    }
    calls_in_block++
    call_line = FNR
    name_end = index(line, "\" ; \"")
    call_name = substr(line, length(call_start) + 1, name_end - length(call_start) - 1)
    text = substr(line, name_end + 5)
    call_arg = unquote(substr(text, 1, length(text) - 3))
    part = "arrow"
  } else if (part == "arrow") {
    if (substr(line, 1, length(arrow)) != arrow) fail("the call is followed by → and its result")
    text = substr(line, length(arrow) + 1)
    if (text == "(empty)") {
      result_empty = 1
      part = "boxes"
    } else {
      part = "result"
      result_line(text)
    }
  } else if (part == "result" && substr(line, 1, 2) == "  ") {
    result_line(substr(line, 3))
  } else if (line ~ /^Message box ".*":$/) {
    part = "boxes"
    box_count++
    box_captions[box_count] = substr(line, 14, length(line) - 15)
    box_texts[box_count] = ""
  } else if (part == "boxes" && box_count > 0 && substr(line, 1, 2) == "  ") {
    text = plain(substr(line, 3))
    box_texts[box_count] = box_texts[box_count] (box_texts[box_count] == "" ? "" : " ") text
  } else {
    fail("unexpected line in an example")
  }
}

function result_line(text) {
  if (length_given >= 0) fail("the length ends the result")
  if (text ~ /^\([0-9]+ characters\)$/) {
    if (!omitted) fail("a length only for a result with … in it")
    length_given = substr(text, 2, index(text, " ") - 2) + 0
  } else if (text == ellipsis) {
    if (omitted) fail("one … in a result")
    omitted = 1
    last_line_open = 0
  } else {
    if (last_line_open) fail("every line of a result but the last ends with ¶")
    last_line_open = (substr(text, length(text) - length(pilcrow) + 1) != pilcrow)
    if (omitted) after_omission = after_omission plain(text)
    else result = result plain(text)
  }
}

function end_example(   expect, i, alerts, entry, address) {
  if (part == "call" || part == "arrow") fail("an example is a call and its result")
  if (omitted && length_given < 0) fail("a result with … gives its length: (N characters)")
  if (result_empty) {
    expect = "\"result\":\"\",\"touched\":false"
  } else if (omitted) {
    expect = "\"result\":{\"$length\":" length_given ",\"$starts_with\":" json(result) \
             ",\"$ends_with\":" json(after_omission) "}"
  } else {
    expect = "\"result\":" json(result)
  }
  alerts = ""
  for (i = 1; i <= box_count; i++) {
    if (box_texts[i] == "") fail("a message box without its text")
    alerts = alerts (i > 1 ? "," : "") "{\"caption\":" json(box_captions[i]) ",\"text\":" \
             json(box_texts[i]) "}"
  }
  expect = expect ",\"alerts\":[" alerts "]"
  entry = "{\"request\":{\"op\":\"function\",\"name\":" json(call_name) ",\"arg\":" json(call_arg) \
          "},\"expect\":{" expect "}"
  if (box_count > 0 && boxes_shown++ > 0) {
    clock_ms += 100000
    put(fence_line, "{\"request\":{\"op\":\"clock\",\"ms\":" clock_ms \
                    "},\"expect\":{\"ok\":true},\"needs\":\"clock\"}")
    entry = entry ",\"needs\":\"clock\""
  }
  put(call_line, entry "}")
  if (links != "") {
    address = "Serix-Playground.html#f=" uri_component(call_name) "&a=" uri_component(call_arg)
    if (block_separator != "|") address = address "&s=" uri_component(block_separator)
    printf "%d\t%d\t%s\n", fence_line, call_line, address > links
  }
}

function end_block() {
  end_example()
  # The separator in force before the block comes back for what follows.
  if (block_separator != separator) put(FNR, separator_request(separator))
}

function reg_line(line,   name, value) {
  reg_count++
  reg_lines[reg_count] = line
  if (reg_count == 1 && line != "REGEDIT4") fail("a .reg file begins with REGEDIT4")
  if (reg_count == 2 && line != "") fail("REGEDIT4 is followed by an empty line")
  if (reg_count == 3 && line != prefs_key) fail("a .reg file here sets " prefs_key)
  if (reg_count < 4) return
  if (line !~ /^"[A-Za-z]+"=".*"$/) fail("a value line is \"Name\"=\"text\"")
  name = substr(line, 2, index(line, "\"=\"") - 2)
  value = substr(line, length(name) + 5)
  value = unquote(substr(value, 1, length(value) - 1))
  put(FNR, "{\"request\":{\"op\":\"registry\",\"set\":{" json(name) ":" json(value) \
           "}},\"expect\":{\"ok\":true}}")
  # An empty or too long token is replaced by the standard one at the next call.
  if (tolower(name) == "separatortoken") {
    separator = (value == "" || length(value) > 63) ? "|" : value
  }
}

function end_reg(   i, file) {
  if (reg_count < 4) fail("a .reg file sets at least one value")
  if (regdir == "") return
  file = regdir "/" reg_name
  for (i = 1; i <= reg_count; i++) printf "%s\r\n", reg_lines[i] > file
  printf "\r\n" > file
  close(file)
}

{ sub(/\r$/, "") }

in_block != "" && $0 == "```" {
  if (in_block == "example") end_block()
  else if (in_block == "reg") end_reg()
  in_block = ""
  next
}

in_block == "example" { example_line($0); next }
in_block == "reg" { reg_line($0); next }
in_block == "formula" { next }

/^```/ {
  fence_line = FNR
  if ($0 == "```example") {
    in_block = "example"
    start_block()
  } else if ($0 == "```formula") {
    in_block = "formula"
  } else if ($0 ~ /^```reg [A-Za-z0-9._-]+\.reg$/) {
    in_block = "reg"
    reg_name = substr($0, 8)
    reg_count = 0
  } else {
    fail("a fenced block of the guide is ```example, ```reg NAME.reg or ```formula")
  }
  next
}

END {
  if (failed) exit 1
  if (in_block != "") fail("a fenced block is not closed")
  if (links != "") close(links)
  if (out == "") exit 0
  put(1, "{\"request\":{\"op\":\"initialise\",\"version\":4},\"expect\":{\"answer\":4}}")
  for (i = 1; i <= FNR; i++) print session[i] > out
  close(out)
}
