#!/usr/bin/env bash
# What only whole processes show:
#   1. two first runs of ./serix at once both succeed, because the build is taken in turns;
#      cmake is a stand-in here (on PATH) that takes a second and fails when another build
#      is going on in the same directory, and "builds" the host as a small script; a build
#      folder left by a failed configure is configured again on the next run, and a build
#      that changed nothing marks the host up to date;
#   2. serix-host with its standard output closed exits 4 and says why, rather than 0.
#   serix_command_test.sh ROOT SERIX_HOST
set -euo pipefail
root=$1
host=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin"
cat >"$work/bin/cmake" <<'STANDIN'
#!/usr/bin/env bash
set -euo pipefail
mkdir "$SERIX_BUILD_DIR/building" 2>/dev/null || { echo "two builds at once" >&2; exit 1; }
trap 'rmdir "$SERIX_BUILD_DIR/building"' EXIT
echo "$1" >>"$SERIX_BUILD_DIR/../cmake-calls"
sleep "${STANDIN_SECONDS:-1}"
host=$SERIX_BUILD_DIR/tools/serix-host/serix-host
if [ "$1" = --build ]; then
  # Like make, it leaves a host that is already there as it is.
  [ -f "$SERIX_BUILD_DIR/Makefile" ] || { echo "no rule to make target 'Makefile'" >&2; exit 2; }
  [ -x "$host" ] && exit 0
  mkdir -p "$(dirname "$host")"
  printf '#!/bin/sh\necho "host ran: $*"\n' >"$host"
  chmod +x "$host"
else
  # A failed configure leaves its cache and no build system.
  touch "$SERIX_BUILD_DIR/CMakeCache.txt"
  [ -e "$SERIX_BUILD_DIR/../configure-fails" ] && exit 1
  touch "$SERIX_BUILD_DIR/Makefile"
fi
STANDIN
chmod +x "$work/bin/cmake"
export SERIX_BUILD_DIR=$work/build
for run in 1 2; do
  PATH="$work/bin:$PATH" "$root/serix" version >"$work/out$run" 2>"$work/err$run" &
  pids[run]=$!
done
for run in 1 2; do
  if ! wait "${pids[run]}" || [ "$(cat "$work/out$run")" != "host ran: version" ]; then
    echo "FAIL: first run $run of two at once:" >&2
    cat "$work/err$run" "$work/out$run" >&2
    exit 1
  fi
done
echo "two first runs at once: both ran the host"

# A configure that fails (a package missing) leaves a cache and no Makefile; once the cause is
# gone, the next run configures again instead of failing on the folder for ever.
rm -rf "$SERIX_BUILD_DIR" "$work/cmake-calls"
touch "$work/configure-fails"
export STANDIN_SECONDS=0
if PATH="$work/bin:$PATH" "$root/serix" version >/dev/null 2>&1; then
  echo "FAIL: a run whose configure failed succeeded" >&2
  exit 1
fi
rm "$work/configure-fails"
if ! out=$(PATH="$work/bin:$PATH" "$root/serix" version 2>"$work/err") ||
  [ "$out" != "host ran: version" ] || [ "$(grep -vc -- --build "$work/cmake-calls")" -ne 2 ]; then
  echo "FAIL: the run after a failed configure: $out, cmake called for: $(cat "$work/cmake-calls")" >&2
  cat "$work/err" >&2
  exit 1
fi
echo "a build folder left by a failed configure: configured again on the next run"

# An edit to a source the host does not use: one build that changes nothing, then none.
touch -d '2000-01-01' "$SERIX_BUILD_DIR/tools/serix-host/serix-host"
for run in 1 2 3; do
  PATH="$work/bin:$PATH" "$root/serix" version >/dev/null 2>&1
done
if [ "$(grep -c -- --build "$work/cmake-calls")" -ne 2 ]; then
  echo "FAIL: after an edit the host did not need, builds: $(grep -c -- --build "$work/cmake-calls") (want 2)" >&2
  exit 1
fi
echo "a build that changed nothing: the host is marked up to date"
unset STANDIN_SECONDS

status=0
"$host" version >&- 2>"$work/closed" || status=$?
if [ "$status" -ne 4 ] || ! grep -q "cannot write standard output (Bad file descriptor)" "$work/closed"; then
  echo "FAIL: closed standard output gave status $status: $(cat "$work/closed")" >&2
  exit 1
fi
echo "closed standard output: status 4, $(cat "$work/closed")"

# Standard input that cannot be read ends a session with one line and status 2; input that
# comes late on a non-blocking descriptor (a producer that set O_NONBLOCK) is waited for.
status=0
"$host" session </ >/dev/null 2>"$work/dir" || status=$?
if [ "$status" -ne 2 ] || [ "$(wc -l <"$work/dir")" -ne 1 ] ||
  ! grep -q "cannot read standard input (Is a directory)" "$work/dir"; then
  echo "FAIL: a directory as standard input gave status $status: $(cat "$work/dir")" >&2
  exit 1
fi
late() {
  { sleep 0.3; printf '%s' "$1"; } |
    perl -MFcntl -e 'fcntl(STDIN, F_SETFL, O_NONBLOCK) or die; exec @ARGV' "$host" "${@:2}"
}
key='[HKEY_CURRENT_USER\Software\Vexa\Vexa Plug-in General Prefs]'
if ! out=$(late '{"op":"capabilities"}' session) || [[ $out != *posix* ]] ||
  ! out=$(late '|x|1|1|2|' call Serx-CreateRange --registry memory --arg-file -) ||
  [ "$out" != "$(printf 'x1\nx2')" ] ||
  ! out=$(late "$(printf 'REGEDIT4\n\n%s\n"A"="b"' "$key")" prefs --registry memory import - 2>&1); then
  echo "FAIL: late input on a non-blocking standard input: $out" >&2
  exit 1
fi
echo "unreadable and late standard input: $(cat "$work/dir"); late input read"

# Standard output that another process made non-blocking, read late: the responses wait for
# the reader, whole, rather than the session ending half way through one.
range='{"op":"function","name":"Serx-CreateRange","arg":"||1|1|20000|"}'
if ! out=$(printf '%s\n%s\n' "$range" "$range" |
  perl -MFcntl -e 'fcntl(STDOUT, F_SETFL, O_NONBLOCK) or die; exec @ARGV' "$host" session |
  { sleep 0.5; wc -l; }) || [ "$out" -ne 2 ]; then
  echo "FAIL: late reader of a non-blocking standard output: $out lines" >&2
  exit 1
fi
echo "late reader of a non-blocking standard output: every response whole"

# An export to a stream of its own is written where the stream stands, never renamed over the
# file behind it: what the shell wrote to the file before and after stays. The links are this
# test's own, made as /dev/stdout and /dev/fd are, so that a fault that renames over the name
# replaces them and never the machine's.
ln -s /proc/self/fd/1 "$work/stdout"
ln -s /proc/self/fd "$work/fd"
{ echo BEFORE; "$host" prefs --registry memory export; echo AFTER; } >"$work/expected"
printf 'OLD\n' >"$work/log"
{ echo BEFORE; "$host" prefs --registry memory export "$work/stdout"; echo AFTER; } >>"$work/log"
{ echo BEFORE; "$host" prefs --registry memory export "$work/fd/3"; echo AFTER; } >"$work/log3" 3>&1
if ! cmp -s "$work/log" <(printf 'OLD\n' && cat "$work/expected") ||
  ! cmp -s "$work/log3" "$work/expected"; then
  echo "FAIL: an export to its own standard output lost the shell's lines:" >&2
  cat "$work/log" "$work/log3" >&2
  exit 1
fi
echo "an export to a /dev/stdout and a /dev/fd/3: the shell's lines before and after kept"

# An export to standard output appended to the store itself is refused; the store is kept.
store=$work/registry.db
"$host" prefs --registry "$store" set A kept
status=0
"$host" prefs --registry "$store" export >>"$store" 2>"$work/onto" || status=$?
if [ "$status" -ne 2 ] || ! grep -q "will not export onto standard output" "$work/onto" ||
  ! "$host" prefs --registry "$store" | grep -q '"kept"'; then
  echo "FAIL: export appended to the store gave status $status: $(cat "$work/onto")" >&2
  exit 1
fi
echo "export appended to the store: $(cat "$work/onto")"

# A reader that has gone: status 4 and one line, with SIGPIPE at its default disposition here.
trap - PIPE
for command in session strings; do
  {
    sleep 0.3
    status=0
    echo '{"op":"capabilities"}' | "$host" "$command" 2>"$work/pipe" || status=$?
    echo "$status" >"$work/status"
  } | true
  if [ "$(cat "$work/status")" -ne 4 ] || [ "$(wc -l <"$work/pipe")" -ne 1 ] ||
    ! grep -q "(Broken pipe)" "$work/pipe"; then
    echo "FAIL: $command to a closed pipe: status $(cat "$work/status"), $(cat "$work/pipe")" >&2
    exit 1
  fi
done
echo "closed pipe: status 4, $(cat "$work/pipe")"

# Writers at once take the lock in turns: three processes importing and setting all succeed.
{
  printf 'REGEDIT4\r\n\r\n%s\r\n' "$key"
  for n in $(seq 1 3000); do printf '"Value%d"=dword:%08x\r\n' "$n" "$n"; done
} >"$work/many.reg"
for writer in 1 2 3; do
  (
    for round in 1 2 3; do
      "$host" prefs --registry "$work/shared.db" import "$work/many.reg" &&
        "$host" prefs --registry "$work/shared.db" set "Writer$writer" "$round" || exit 1
    done
  ) 2>"$work/writer$writer" &
  writers[writer]=$!
done
for writer in 1 2 3; do
  if ! wait "${writers[writer]}"; then
    echo "FAIL: writer $writer of three at once: $(cat "$work/writer$writer")" >&2
    exit 1
  fi
done
echo "three writers at once: all succeeded"
