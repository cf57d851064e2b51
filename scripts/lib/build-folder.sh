# Sourced by ./serix, scripts/run-dll.sh and scripts/release.sh: when a build folder must be
# configured, and when a program built in it is older than the sources.

# True when the folder holds a generated build system. A configure that failed leaves
# CMakeCache.txt behind but no Makefile (or build.ninja), so the cache alone proves nothing:
# deciding by it would leave the folder broken until someone deletes it.
build_system_ready() {
  [ -f "$1/Makefile" ] || [ -f "$1/build.ninja" ]
}

# True when a source of the project under $1 changed after the file $2 was made (a pull, an
# edit). Marking the file up to date after every build keeps an edit to sources it does not
# use from asking for a build on every later run.
sources_newer_than() {
  [ -n "$(find "$1/src" "$1/tools" "$1/cmake" "$1/CMakeLists.txt" "$1/CMakePresets.json" \
    -newer "$2" -print -quit 2>/dev/null)" ]
}
