#!/usr/bin/env bash
# How scripts/test and scripts/run configure a build folder: the language the
# player gets in a new folder, whichever command runs first, and options given
# for a folder that exists. cmake, ctest and dpkg-query are stand-ins that
# record what they were asked; a configure keeps its options in the folder's
# CMakeCache.txt as CMake would (the last -D of a name wins, CALENDO_LANG is J
# unless told).
# Usage: setup_scripts_test.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

stubs=$scratch/stubs
mkdir -p "$stubs"
cat > "$stubs/cmake" <<'STUB'
#!/usr/bin/env bash
set -euo pipefail
echo "cmake $*" >> "$STUB_LOG"
if [ "$1" = --build ]; then
  mkdir -p "$2/bin"
  for program in calendo calendo-convert; do printf '#!/bin/sh\n' > "$2/bin/$program"; done
  chmod +x "$2/bin/"*
  exit 0
fi
arguments=("$@") dir=""
while [ $# -gt 0 ]; do
  [ "$1" = -B ] && dir=$2
  shift
done
mkdir -p "$dir"
declare -A cache=([CALENDO_LANG]=J)
if [ -f "$dir/CMakeCache.txt" ]; then
  while IFS='=' read -r name value; do cache[$name]=$value; done < "$dir/CMakeCache.txt"
fi
for argument in "${arguments[@]}"; do
  case $argument in
    -D*=*) option=${argument#-D}; cache[${option%%=*}]=${option#*=} ;;
  esac
done
for name in "${!cache[@]}"; do echo "$name=${cache[$name]}"; done > "$dir/CMakeCache.txt"
touch "$dir/build.ninja"
STUB
printf '#!/bin/sh\necho "ctest $*" >> "$STUB_LOG"\n' > "$stubs/ctest"
printf '#!/bin/sh\nprintf "install ok installed"\n' > "$stubs/dpkg-query"
chmod +x "$stubs"/*

export PATH=$stubs:$PATH STUB_LOG=$scratch/log
unset DISPLAY WAYLAND_DISPLAY CALENDO_LANG LC_ALL LC_MESSAGES LANG

cached() { sed -n "s/^$2=//p" "$1/CMakeCache.txt" 2>/dev/null || true; }
configures() { grep -c -- "-B $1" "$STUB_LOG" || true; }

# Runs one of the commands on a build folder with a locale.
# Usage: in_locale LOCALE BUILD_DIR COMMAND [ARGUMENTS...]
in_locale() {
  local locale=$1 build=$2 command=$3
  shift 3
  (cd "$scratch" && env ${locale:+LANG=$locale} CALENDO_BUILD_DIR="$build" \
     "$source_dir/scripts/$command" "$@" >/dev/null 2>"$scratch/stderr") ||
    fail "$command in '$locale' failed: $(cat "$scratch/stderr")"
}

# A new folder gets the user's language, whichever command configures it.
for command in test run; do
  for case in ja_JP.UTF-8:J ja:J C.UTF-8:E en_GB.UTF-8:E :E; do
    locale=${case%:*} expected=${case##*:}
    build=$scratch/$command-${locale:-none}
    in_locale "$locale" "$build" "$command"
    got=$(cached "$build" CALENDO_LANG)
    [ "$got" = "$expected" ] || fail "$command in '$locale' built language '$got', not $expected"
  done
done
for case in LC_ALL=ja_JP.UTF-8:J LC_MESSAGES=ja_JP.UTF-8:J; do
  build=$scratch/test-${case%%=*}
  (cd "$scratch" && env LANG=C.UTF-8 "${case%:*}" CALENDO_BUILD_DIR="$build" \
     "$source_dir/scripts/test" >/dev/null 2>&1)
  [ "$(cached "$build" CALENDO_LANG)" = "${case##*:}" ] || fail "${case%:*} did not choose ${case##*:}"
done

# Either order: the second command keeps the folder's language and does not
# configure it again.
for order in "test run" "run test"; do
  build=$scratch/order-${order// /-}
  first=${order% *} second=${order#* }
  in_locale ja_JP.UTF-8 "$build" "$first"
  before=$(configures "$build")
  in_locale C.UTF-8 "$build" "$second"
  [ "$(cached "$build" CALENDO_LANG)" = J ] || fail "$second after $first changed the language"
  [ "$(configures "$build")" = "$before" ] || fail "$second after $first configured again unasked"
done

# CALENDO_LANG changes the language of an existing folder, for both commands.
for command in test run; do
  build=$scratch/switch-$command
  in_locale ja_JP.UTF-8 "$build" "$command"
  (cd "$scratch" && CALENDO_LANG=E CALENDO_BUILD_DIR="$build" "$source_dir/scripts/$command" >/dev/null)
  [ "$(cached "$build" CALENDO_LANG)" = E ] || fail "CALENDO_LANG=E left $command's folder in $(cached "$build" CALENDO_LANG)"
done

# Options reach a folder that exists; an explicit language wins over the locale.
build=$scratch/options
in_locale C.UTF-8 "$build" run
in_locale C.UTF-8 "$build" test -DCALENDO_WERROR=ON
[ "$(cached "$build" CALENDO_WERROR)" = ON ] || fail "-DCALENDO_WERROR=ON was dropped for an existing folder"
build=$scratch/explicit
in_locale ja_JP.UTF-8 "$build" test -DCALENDO_LANG=E
[ "$(cached "$build" CALENDO_LANG)" = E ] || fail "-DCALENDO_LANG=E lost to the locale"

[ "$failures" -eq 0 ] || exit 1
echo "setup scripts: all checks passed"
