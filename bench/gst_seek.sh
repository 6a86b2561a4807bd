#!/usr/bin/env bash
# Seeks in an hour of SP through the GStreamer element: the time from a
# flushing seek to nine tenths of the file (then a half, a tenth) until the
# first buffer, wall and CPU, right after the file is read and again once the
# element's checkpoint pass is done (with how long the pass took). Given a
# second build folder (another version's plugin), its seeks are timed in the
# same run for comparison.
#
# Usage: bench/gst_seek.sh [BUILD_DIR [OTHER_BUILD_DIR]]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/cpu_support.sh"
build_dir=$(realpath -m "${1:-$root/build}")
bench=$build_dir/bench/gst_seek_bench
[ -x "$bench" ] || { echo "gst_seek.sh: $bench is missing; build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_sp_hour "$root/samples/memo-sp.vqr" "$work/hour.vqr"

run() {  # PLUGIN_DIR LABEL [ARGS]
  local plugins=$1 label=$2
  shift 2
  echo "== $label"
  GST_PLUGIN_PATH=$plugins GST_REGISTRY=$work/registry-$RANDOM.bin "$bench" "$work/hour.vqr" "$@"
}
run "$build_dir/lib/gstreamer-1.0" "this build, right after the file is read"
run "$build_dir/lib/gstreamer-1.0" "this build, once the checkpoint pass is done" --after-checkpoints
if [ $# -ge 2 ]; then
  run "$(realpath -m "$2")/lib/gstreamer-1.0" "$2"
fi
