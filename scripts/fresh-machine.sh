#!/usr/bin/env bash
# The README's quick start on a new machine, as a new user meets it: a minimal Debian 12 root
# made with debootstrap (variant minbase) under build/fresh, with this machine's package
# source and proxy, /proc, /dev and /sys bound into it, and the checkout copied in as git has
# it (tracked files with the working tree's changes; no build folders). Inside, as root:
#   1. the first command of the README's quick start, read from the README, must print the
#      text of the block that follows it;
#   2. scripts/setup-deps.sh all must succeed;
#   3. every configure preset must configure.
# Each step is one test (JUnit report in the file SERIX_FRESH_JUNIT names, if any); a step
# that fails says in one line why, naming the Debian package of a file the build missed where
# this machine knows it. Mounts are released on every way out; the root is removed when every
# step passed and kept for a look when one failed. Needs root (or sudo); the log is
# build/fresh/fresh.log.
set -uo pipefail
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "fresh: needs root or sudo" >&2; exit 2; }
  exec sudo --preserve-env=SERIX_FRESH_JUNIT "$0" "$@"
fi
checkout=$(cd "$(dirname "$0")/.." && pwd)
work=$checkout/build/fresh
newroot=$work/root
log=$work/fresh.log
suite=bookworm
junit=${SERIX_FRESH_JUNIT:-}

mkdir -p "$work"
: >"$log"
cases=()
failures=0

xml_text() {
  local text=${1//&/&amp;}
  text=${text//</&lt;}
  text=${text//>/&gt;}
  printf '%s' "${text//\"/&quot;}"
}

# Records step $1 as passed (no message) or failed (message $3), having taken $2 seconds.
record() {
  local entry="<testcase classname=\"fresh\" name=\"$(xml_text "$1")\" time=\"$2\">"
  if [ -n "${3:-}" ]; then
    failures=$((failures + 1))
    echo "fresh: $1 failed: $3 (log: $log)" >&2
    entry+="<failure message=\"$(xml_text "$3")\"/>"
  else
    echo "fresh: $1 passed in $2 s" >&2
  fi
  cases+=("$entry</testcase>")
}

write_report() {
  [ -n "$junit" ] || return 0
  {
    echo "<testsuite name=\"fresh\" tests=\"${#cases[@]}\" failures=\"$failures\">"
    printf '%s\n' "${cases[@]}"
    echo "</testsuite>"
  } >"$junit"
}

# Ends every process left running inside the root, then releases every mount under it.
release_root() {
  local proc target
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/root" 2>/dev/null)" = "$newroot" ] && kill -9 "${proc#/proc/}" 2>/dev/null
  done
  findmnt -rn -o TARGET | grep -F "$newroot/" | sort -r | while read -r target; do
    umount "$target" 2>/dev/null || umount -l "$target"
  done
}

remove_root() {
  release_root
  # Never past a mount that could not be released.
  rm -rf --one-file-system "$newroot"
}

finish() {
  release_root
  write_report
}
trap finish EXIT
trap 'exit 130' INT TERM

# A command inside the root, run as a login of root would be, with nothing of this
# environment: "${inside[@]}" 'COMMAND' runs COMMAND in the copied checkout.
inside=(chroot "$newroot" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash
  TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
  /bin/bash -c 'cd /root/serix && eval "$1"' inside)

# The Debian package that holds a file the build missed, as this machine's own packages say.
package_of() {
  dpkg -S "$1" 2>/dev/null | head -n 1 | cut -d: -f1
}

# One line on what a failed step's output says is missing.
missing_in() {
  local path pattern package
  # CMake: an imported target's file is missing, or a package's configuration file.
  path=$(tr -s ' \n' ' ' <"$1" | grep -oE 'references the file "[^"]+"' | head -n 1 |
    cut -d'"' -f2)
  if [ -n "$path" ]; then
    package=$(package_of "$path")
    echo "$path is missing${package:+ (package $package here), which scripts/setup-deps.sh does not install}"
    return
  fi
  pattern=$(grep -oE 'provided by "[^"]+"' "$1" | head -n 1 | cut -d'"' -f2)
  if [ -n "$pattern" ]; then
    package=$(package_of "*/${pattern}Config.cmake")
    [ -n "$package" ] || package=$(package_of "*/$(tr 'A-Z' 'a-z' <<<"$pattern")-config.cmake")
    echo "CMake package $pattern is missing${package:+ (package $package here), which scripts/setup-deps.sh does not install}"
    return
  fi
  pattern=$(grep -oE '[A-Za-z0-9_.+-]+: (command )?not found' "$1" | head -n 1 | cut -d: -f1)
  if [ -n "$pattern" ]; then
    package=$(package_of "*bin/$pattern")
    echo "the program $pattern is missing${package:+ (package $package here)}"
    return
  fi
  echo "$(grep -v '^\s*$' "$1" | tail -n 1)"
}

# Runs the shell command $2 inside the root for step $1, within $3 seconds; its standard
# output goes to $work/step.out, both streams to the log. Records a failure; a success is
# recorded by the caller, who may check more.
step() {
  local name=$1 command=$2 limit=$3 started status=0
  started=$SECONDS
  echo "== $name: $command" >>"$log"
  timeout --kill-after=10 "$limit" "${inside[@]}" "$command" >"$work/step.out" \
    2>"$work/step.err" || status=$?
  cat "$work/step.err" "$work/step.out" >>"$log"
  step_seconds=$((SECONDS - started))
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    record "$name" "$step_seconds" "still running after $limit s"
  elif [ "$status" -ne 0 ]; then
    cat "$work/step.err" "$work/step.out" >"$work/step.all"
    record "$name" "$step_seconds" "$(missing_in "$work/step.all")"
  fi
  [ "$status" -eq 0 ]
}

# The package source and proxy of this machine's apt: the suites of $suite it reads.
debian_sources() {
  apt-get indextargets --format '$(SITE) $(RELEASE) $(COMPONENT) $(TARGET_OF)' |
    awk -v suite="$suite" '$4 == "deb" && ($2 == suite || index($2, suite "-") == 1) { print $1, $2, $3 }' |
    sort -u
}

make_root() {
  local mirror proxy attempt
  mirror=$(debian_sources | awk -v suite="$suite" '$2 == suite { print $1; exit }')
  if [ -z "$mirror" ]; then
    echo "this machine's apt reads no Debian $suite source"
    return 1
  fi
  proxy=$(apt-config dump --format '%v' Acquire::http::Proxy 2>/dev/null)
  command -v debootstrap >/dev/null || { echo "debootstrap is not installed"; return 1; }
  for attempt in 1 2 3; do
    remove_root
    echo "== debootstrap from $mirror (try $attempt)" >>"$log"
    if http_proxy=$proxy debootstrap --variant=minbase "$suite" "$newroot" "$mirror" >>"$log" 2>&1; then
      break
    fi
    if [ "$attempt" -eq 3 ]; then
      echo "could not make a Debian $suite root with debootstrap from $mirror"
      return 1
    fi
    sleep 20
  done
  # The sources as this machine has them, and its proxy and date checks.
  rm -f "$newroot/etc/apt/sources.list"
  debian_sources | awk '{ print "deb " $1 " " $2 " " $3 }' >"$newroot/etc/apt/sources.list"
  apt-config dump | grep -E '^Acquire::(.*::)?(Proxy|Check-Valid-Until|Check-Date) ' \
    >"$newroot/etc/apt/apt.conf.d/01serix-fresh" || true
  cp /etc/resolv.conf "$newroot/etc/resolv.conf"
  local mount
  for mount in proc sys dev; do
    mount --bind "/$mount" "$newroot/$mount" || { echo "could not bind /$mount"; return 1; }
  done
  mkdir -p "$newroot/root/serix"
  # The checkout as git has it: tracked files as they stand in the working tree.
  (cd "$checkout" && git ls-files -z | while IFS= read -r -d '' file; do
    [ -e "$file" ] && printf '%s\0' "$file"
  done | tar --null -T - -cf -) | tar -xf - -C "$newroot/root/serix"
}

# The quick start's first fenced block (its command) or second (what the command prints).
quick_start_block() {
  awk -v want="$1" '
    /^## / { section = ($0 ~ /^## Quick start/) }
    section && /^```/ { inside = !inside; if (inside) block++; next }
    section && inside && block == want { print }
  ' "$checkout/README.md"
}

started=$SECONDS
if ! reason=$(make_root 2>&1); then
  record "a new Debian 12 root" $((SECONDS - started)) "${reason##*$'\n'}"
  exit 1
fi
record "a new Debian 12 root" $((SECONDS - started))

command=$(quick_start_block 1)
expected=$(quick_start_block 2)
if [ -z "$command" ] || [ -z "$expected" ]; then
  record "the README's call" 0 "README.md's quick start has no command and output blocks"
elif step "the README's call" "$command" 1800; then
  if [ "$(cat "$work/step.out")" = "$expected" ]; then
    record "the README's call" "$step_seconds"
  else
    record "the README's call" "$step_seconds" \
      "it printed $(head -c 200 "$work/step.out" | tr '\n\r' '  '), not what README.md shows"
  fi
fi

if step "scripts/setup-deps.sh all" "scripts/setup-deps.sh all" 2700; then
  record "scripts/setup-deps.sh all" "$step_seconds"
  presets=$("${inside[@]}" "cmake --list-presets=configure" 2>>"$log" |
    sed -nE 's/^ +"([^"]+)".*/\1/p')
  [ -n "$presets" ] || record "the presets" 0 "cmake --list-presets named none"
  for preset in $presets; do
    step "configure $preset" "cmake --preset $preset" 600 &&
      record "configure $preset" "$step_seconds"
  done
fi

if [ "$failures" -eq 0 ]; then
  remove_root
  echo "fresh: every step passed in $((SECONDS - started)) s; the root is removed" >&2
else
  echo "fresh: $failures step(s) failed; the root is kept in $newroot" >&2
fi
[ "$failures" -eq 0 ]
