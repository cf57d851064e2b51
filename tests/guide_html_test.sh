#!/usr/bin/env bash
# Checks the guide's page as the release ships it (cmake/guide-html.sh):
#   guide_html_test.sh PAGE GUIDE_SESSION EXPECTED
# - every heading has an id, no two the same, and the contents list links to every section
#   and subsection;
# - every link within the page leads to an id of the page;
# - the "Try it" links are exactly one for each call: their data-line values are the lines
#   of GUIDE_SESSION (the guide's examples as an acceptance session, line for line with the
#   guide) that call a function, and each names that function;
# - every line of EXPECTED that is neither empty nor a # comment stands in the page as it is.
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "usage: $0 PAGE GUIDE_SESSION EXPECTED" >&2
  exit 2
fi
page=$1 session=$2 expected=$3
export LC_ALL=C

awk -v page="$page" -v session="$session" -v expected="$expected" '
function problem(message) { print "guide_html: " message > "/dev/stderr"; problems++ }

# Each value of attribute NAME on a line, for (i = 1; i <= n; i++) found[i].
function attributes(line, name,   n, pattern) {
  n = 0
  pattern = " " name "=\"[^\"]*\""
  while (match(line, pattern)) {
    found[++n] = substr(line, RSTART + length(name) + 3, RLENGTH - length(name) - 4)
    line = substr(line, RSTART + RLENGTH)
  }
  return n
}

FILENAME == expected {
  if ($0 != "" && $0 !~ /^#/) wanted[$0] = FNR
  next
}

FILENAME == session {
  if (match($0, /"op":"function","name":"[^"]*"/)) {
    call_name[FNR] = substr($0, RSTART + 24, RLENGTH - 25)
  }
  next
}

{
  for (text in wanted) if (index($0, text)) seen[text] = 1
  if ($0 ~ /^<nav id="contents"/) in_contents = 1
  if (in_contents) {
    n = attributes($0, "href")
    for (i = 1; i <= n; i++) listed[substr(found[i], 2)] = 1
    if ($0 ~ /<\/nav>/) in_contents = 0
  }
  if ($0 ~ /^<h[1-6][ >]/) {
    level = substr($0, 3, 1)
    if (attributes($0, "id") != 1) problem("a heading without an id: " $0)
    else if (found[1] in ids) problem("two elements with the id \"" found[1] "\"")
    else if (level == 2 || level == 3) section[found[1]] = 1
  }
  n = attributes($0, "id")
  for (i = 1; i <= n; i++) ids[found[i]] = 1
  n = attributes($0, "href")
  for (i = 1; i <= n; i++) if (substr(found[i], 1, 1) == "#") target[substr(found[i], 2)] = 1
  rest = $0
  while (match(rest, /<a class="try-it" data-line="[0-9]+" href="Serix-Playground\.html#f=[^&"]*/)) {
    link = substr(rest, RSTART, RLENGTH)
    line = substr(link, 30) + 0
    name = substr(link, index(link, "#f=") + 3)
    if (line in try_it) problem("two Try it links for line " line)
    try_it[line] = name
    links++
    rest = substr(rest, RSTART + RLENGTH)
  }
}

END {
  for (id in section) if (!(id in listed)) problem("the contents do not list #" id)
  for (id in target) if (!(id in ids)) problem("a link to #" id ", which the page lacks")
  for (line in call_name) {
    if (!(line in try_it)) problem("no Try it link for the call on line " line)
    else if (try_it[line] != call_name[line]) {
      problem("the Try it link of line " line " calls " try_it[line] ", not " call_name[line])
    }
  }
  for (line in try_it) if (!(line in call_name)) problem("a Try it link for line " line \
                                                          ", which calls nothing")
  for (text in wanted) if (!(text in seen)) {
    problem(expected ":" wanted[text] ": not in the page: " text)
  }
  if (problems) exit 1
  printf "%s: every heading listed, %d Try it links, every expected text found\n", page, links
}
' "$expected" "$session" "$page"
