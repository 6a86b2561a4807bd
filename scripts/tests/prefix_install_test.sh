#!/usr/bin/env bash
# `cmake --install --prefix` into a scratch folder: every file lands inside
# the prefix, the plugin in LIBDIR/gstreamer-1.0, and the installed programs
# and plugin work from there with the environment the README gives.
# Usage: prefix_install_test.sh BUILD_DIR SOURCE_DIR LIBDIR BINDIR
set -euo pipefail
build=$1 source=$2 libdir=$3 bindir=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log"; exit 1; }
while read -r installed; do
  case $installed in "$prefix"/*) ;; *) fail "installed outside the prefix: $installed" ;; esac
done < "$build/install_manifest.txt"

plugins=$prefix/$libdir/gstreamer-1.0
[ -f "$plugins/libgstcalendo.so" ] || fail "the plugin is not in $libdir/gstreamer-1.0 of the prefix"
for program in calendo calendo-convert; do
  [ -x "$prefix/$bindir/$program" ] || fail "$bindir/$program is missing"
done
info=$("$prefix/$bindir/calendo-convert" --info "$source/samples/memo.vqm" 2>&1) ||
  fail "the installed calendo-convert --info failed: $info"

# A sanitizer build's plugin loads only into a program built the same way.
# (ldd's output is taken whole first: grep -q stopping early would end ldd by
# SIGPIPE, which pipefail turns into "no sanitizer".)
linked=$(ldd "$plugins/libgstcalendo.so" 2>/dev/null || true)
if grep -qE 'lib(a|t|ub)san' <<<"$linked"; then
  echo "the plugin is built with a sanitizer: GStreamer's own tools cannot load it"
elif command -v gst-inspect-1.0 >/dev/null; then
  inspected=$(GST_REGISTRY=$scratch/registry.bin GST_PLUGIN_SYSTEM_PATH=$plugins \
              gst-inspect-1.0 calendo 2>&1) || fail "GStreamer does not load the installed plugin: $inspected"
  grep -q calendodec <<<"$inspected" || fail "the installed plugin has no calendodec"
fi

[ "$failures" -eq 0 ] || exit 1
echo "prefix install: all checks passed"
