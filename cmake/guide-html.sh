#!/usr/bin/env bash
# Renders the designer's guide as the page that ships in the release zip:
#   guide-html.sh GUIDE_MD VERSION [OUT_HTML]
# cmark turns the Markdown into HTML; guide-html.awk then gives every heading a stable id
# and a contents list that links to it, links "section N" to its section, marks the blanks
# of quoted texts, makes each call of an example one selection and puts a "Try it" link to
# the playground page after each example, with the addresses that guide-examples.awk
# writes. Without OUT_HTML the page goes to standard output. Lines end in LF.
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 GUIDE_MD VERSION [OUT_HTML]" >&2
  exit 2
fi
guide=$1 version=$2 out=${3:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

: >"$work/links.tsv"
awk -v links="$work/links.tsv" -f "$here/guide-examples.awk" "$guide"
cmark --sourcepos "$guide" >"$work/body.html"
{
  cat <<HEAD
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Serix $version: a guide for database designers</title>
<style>
body { font-family: Segoe UI, Arial, sans-serif; max-width: 50em; margin: 2em auto;
       padding: 0 1em; line-height: 1.45; }
pre { background: #f4f4f4; padding: 0.6em 0.9em; overflow-x: auto; }
code { font-family: Consolas, monospace; }
code.text { white-space: pre-wrap; }
.blank { background: #dbe4f1; box-shadow: inset 0 -2px 0 #7d92b4; }
.call { user-select: all; -webkit-user-select: all; }
p.try-it-links { margin-top: -0.5em; font-size: 0.9em; }
a.try-it + a.try-it { margin-left: 0.8em; }
a.anchor { margin-left: 0.3em; color: #999; text-decoration: none; visibility: hidden; }
h1:hover a.anchor, h2:hover a.anchor, h3:hover a.anchor, a.anchor:focus { visibility: visible; }
nav#contents ul { margin: 0.2em 0; }
</style>
</head>
<body>
HEAD
  awk -v links="$work/links.tsv" -f "$here/guide-html.awk" \
    "$work/links.tsv" "$work/body.html" "$work/body.html"
  printf '</body>\n</html>\n'
} >"$work/page.html"

if [ -n "$out" ]; then
  # Whole or not at all: a failed run leaves no half page behind.
  cp "$work/page.html" "$out.tmp"
  mv "$out.tmp" "$out"
else
  cat "$work/page.html"
fi
