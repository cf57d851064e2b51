# Turns cmark's rendering of the designer's guide (cmark --sourcepos) into the body of the
# page that ships (guide-html.sh runs it):
#
#   awk -v links=LINKS -f guide-html.awk LINKS BODY BODY
#
# LINKS is what guide-examples.awk writes with links=: "FENCE<TAB>LINE<TAB>ADDRESS" for every
# call of an example. BODY is read twice: first for the headings, then to write the page.
#
# - Every heading gets an id made from its text alone (lower case, a section's number left
#   out, every run of other characters a hyphen; the title is "top"), so that links to it
#   stay when sections move; two headings with one id are an error.
# - The paragraph "Contents: ..." becomes a list of links to every section and subsection.
# - "section N" in the text links to section N.
# - A code span that is a quoted text ("...") shows each of its blanks, which the browser
#   would otherwise merge or hide at its ends.
# - Each call of an example is one span that a click selects whole, and the example is
#   followed by a "Try it" link for each of its calls:
#     <a class="try-it" data-line="N" href="ADDRESS">Try it</a>
#   N being the guide's line of the call, whose request is line N of the guide's session.

function fail(message) {
  printf "guide-html.awk: %s\n", message > "/dev/stderr"
  failed = 1
  exit 1
}

function heading_id(inner,   text) {
  text = inner
  gsub(/<[^>]*>/, "", text)
  gsub(/&[a-z]+;/, " ", text)
  text = tolower(text)
  sub(/^[0-9]+\. /, "", text)
  gsub(/[^a-z0-9]+/, "-", text)
  gsub(/^-+|-+$/, "", text)
  return text
}

# The text between the heading's opening and closing tags.
function heading_inner(line) {
  line = substr(line, index(line, ">") + 1)
  return substr(line, 1, length(line) - 5)
}

function collect_heading(line,   level, inner, id) {
  if (line !~ /^<h[1-6][ >]/) return
  level = substr(line, 3, 1)
  inner = heading_inner(line)
  id = (level == 1) ? "top" : heading_id(inner)
  if (id == "") fail("a heading without letters or digits: " inner)
  if (id in heading_line) fail("two headings with the id \"" id "\": " inner)
  heading_line[id] = ++headings
  heading_level[headings] = level
  heading_html[headings] = inner
  heading_anchor[headings] = id
  if (level == 2 && inner ~ /^[0-9]+\. /) section_anchor[substr(inner, 1, index(inner, ".") - 1)] = id
}

function contents(   i, open_sub) {
  print "<nav id=\"contents\" aria-label=\"Contents\">"
  print "<p><strong>Contents</strong></p>"
  print "<ul>"
  open_sub = 0
  for (i = 1; i <= headings; i++) {
    if (heading_level[i] == 2) {
      if (open_sub) print "</ul>"
      if (i > 1 && seen_section) print "</li>"
      printf "<li><a href=\"#%s\">%s</a>\n", heading_anchor[i], heading_html[i]
      seen_section = 1
      open_sub = 0
    } else if (heading_level[i] == 3) {
      if (!open_sub) print "<ul>"
      open_sub = 1
      printf "<li><a href=\"#%s\">%s</a></li>\n", heading_anchor[i], heading_html[i]
    }
  }
  if (open_sub) print "</ul>"
  if (seen_section) print "</li>"
  print "</ul>"
  print "</nav>"
}

function link_sections(line,   out, number, word) {
  out = ""
  while (match(line, /[Ss]ection [0-9]+/)) {
    word = substr(line, RSTART, RLENGTH)
    number = substr(word, 9)
    out = out substr(line, 1, RSTART - 1)
    if (number in section_anchor) out = out "<a href=\"#" section_anchor[number] "\">" word "</a>"
    else out = out word
    line = substr(line, RSTART + RLENGTH)
  }
  return out line
}

function mark_blanks(line,   out, text) {
  out = ""
  while (match(line, /<code>&quot;[^<]*&quot;<\/code>/)) {
    text = substr(line, RSTART + 6, RLENGTH - 13)
    gsub(/ /, "<span class=\"blank\"> </span>", text)
    out = out substr(line, 1, RSTART - 1) "<code class=\"text\">" text "</code>"
    line = substr(line, RSTART + RLENGTH)
  }
  return out line
}

function example_content(text) {
  if (guide_line in address) return "<span class=\"call\">" text "</span>"
  return text
}

function try_it_links(fence,   n, i, lines, out) {
  n = split(calls_after[fence], lines, " ")
  if (n == 0) return
  out = "<p class=\"try-it-links\">"
  for (i = 1; i <= n; i++) {
    out = out (i > 1 ? " " : "") "<a class=\"try-it\" data-line=\"" lines[i] "\" href=\"" \
          address[lines[i]] "\">Try it</a>"
  }
  print out "</p>"
}

function render(line,   start, inner, id, head, code_start) {
  if (in_example) {
    if (line == "</code></pre>") {
      print line
      try_it_links(example_fence)
      in_example = 0
      return
    }
    guide_line++
    print example_content(line)
    return
  }
  if (in_pre) {
    print line
    if (index(line, "</pre>")) in_pre = 0
    return
  }
  if (in_contents) {
    if (index(line, "</p>")) in_contents = 0
    return
  }
  start = ""
  if (match(line, /^<pre data-sourcepos="[0-9]+:/)) {
    start = substr(line, 22, RLENGTH - 22) + 0
  }
  gsub(/ data-sourcepos="[^"]*"/, "", line)
  if (start != "" && index(line, "<code class=\"language-example\">")) {
    code_start = index(line, "<code class=\"language-example\">") + 31
    head = substr(line, 1, code_start - 1)
    example_fence = start
    guide_line = start + 1
    in_example = 1
    print head example_content(substr(line, code_start))
    return
  }
  if (start != "") {
    print line
    if (!index(line, "</pre>")) in_pre = 1
    return
  }
  if (line ~ /^<h[1-6]>/) {
    inner = heading_inner(line)
    id = heading_anchor[++heading_written]
    printf "<h%s id=\"%s\">%s<a class=\"anchor\" href=\"#%s\" title=\"Link to this part\">#</a>" \
           "</h%s>\n", substr(line, 3, 1), id, inner, id, substr(line, 3, 1)
    return
  }
  if (line ~ /^<p>Contents: /) {
    contents()
    if (!index(line, "</p>")) in_contents = 1
    return
  }
  print link_sections(mark_blanks(line))
}

FILENAME == links {
  split($0, field, "\t")
  address[field[2]] = field[3]
  calls_after[field[1]] = calls_after[field[1]] (calls_after[field[1]] == "" ? "" : " ") field[2]
  next
}

FNR == 1 { pass++ }
pass == 1 { collect_heading($0); next }
pass == 2 { render($0) }

END {
  if (failed) exit 1
  if (heading_written != headings) fail("headings read " headings ", written " heading_written)
}
