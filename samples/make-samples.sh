#!/usr/bin/env bash
# Makes the three demo recordings of this folder: a few seconds of synthesised
# speech each, as an SP vqr file (from 11025 Hz), an LP vqr file (from 8000 Hz)
# and a vqm file (SP pages, written by the project's writer of recorder files).
#
# Usage: samples/make-samples.sh [BUILD_DIR]   (default: build, built if needed)
# Needs espeak-ng and sox; the recordings are committed, so nothing else runs it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build_dir=$(realpath -m "${1:-$root/build}")

for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-samples.sh: $tool is missing (apt-get install $tool)" >&2; exit 1; }
done
if [ ! -x "$build_dir/bin/calendo-convert" ] || [ ! -x "$build_dir/bin/calendo-demo-vqm" ]; then
  [ -f "$build_dir/build.ninja" ] || cmake -S "$root" -B "$build_dir" -G Ninja
  cmake --build "$build_dir" --target calendo-convert calendo-demo-vqm
fi
convert=$build_dir/bin/calendo-convert

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# speak TEXT RATE OUT.wav: mono 16-bit PCM speech at RATE Hz.
speak() {
  espeak-ng -v en-gb -s 150 -w "$work/voice.wav" "$1"
  sox "$work/voice.wav" -r "$2" -c 1 -b 16 -e signed-integer "$3" norm -3
}

speak "This is the first demo recording, made in the S P mode at eleven kilohertz." 11025 "$work/memo-sp.wav"
speak "And this is the second one, in the long play mode, at eight kilohertz." 8000 "$work/memo-lp.wav"
speak "The third recording comes in the other container, a V Q M file." 11025 "$work/memo-vqm.wav"

"$convert" --encode --force -q "$work/memo-sp.wav" -o "$here/memo-sp.vqr"
"$convert" --encode --force -q "$work/memo-lp.wav" -o "$here/memo-lp.vqr"
"$convert" --encode --force -q "$work/memo-vqm.wav" -o "$work/memo-vqm.vqr"
"$build_dir/bin/calendo-demo-vqm" "$work/memo-vqm.vqr" "$here/memo.vqm" >/dev/null

"$convert" --info "$here/memo-sp.vqr" "$here/memo-lp.vqr" "$here/memo.vqm"
du -cb "$here"/memo-sp.vqr "$here"/memo-lp.vqr "$here"/memo.vqm | tail -1
