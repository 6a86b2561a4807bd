#!/usr/bin/env bash
# CPU seconds of the GStreamer element against calendo-convert on the same
# hour of SP recording: `filesrc ! calendodec ! fakesink` and
# `calendo-convert --bits 16`, side by side in one run (best of three each).
#
# Usage: bench/gst_vs_convert.sh [BUILD_DIR]   (default: build; needs the
# plugin, calendo-convert and its libraries built, and gst-launch-1.0)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/cpu_support.sh"
build_dir=$(realpath -m "${1:-$root/build}")
convert=$build_dir/bin/calendo-convert
plugins=$build_dir/lib/gstreamer-1.0
for need in "$convert" "$plugins/libgstcalendo.so"; do
  [ -e "$need" ] || { echo "gst_vs_convert.sh: $need is missing; build first" >&2; exit 1; }
done
command -v gst-launch-1.0 >/dev/null || { echo "gst_vs_convert.sh: gst-launch-1.0 is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GST_PLUGIN_PATH=$plugins GST_REGISTRY=$work/registry.bin

make_sp_hour "$root/samples/memo-sp.vqr" "$work/hour.vqr"
gst-inspect-1.0 calendodec >/dev/null  # builds the registry outside the timing

size=$(stat -c %s "$work/hour.vqr")
echo "input: $(( (size - 92) / 528 )) SP pages, $(( size / 1000000 )) MB"
gst=$(cpu gst-launch-1.0 -q filesrc location="$work/hour.vqr" ! calendodec ! fakesink)
conv=$(cpu "$convert" --bits 16 --force -q -o "$work" "$work/hour.vqr")
printf '%-44s %8s\n' "pipeline" "CPU s"
printf '%-44s %8s\n' "filesrc ! calendodec ! fakesink" "$gst"
printf '%-44s %8s\n' "calendo-convert --bits 16" "$conv"
