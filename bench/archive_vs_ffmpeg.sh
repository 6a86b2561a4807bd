#!/usr/bin/env bash
# CPU seconds (user + system, best of three) of calendo-convert writing an
# hour of SP recording as FLAC, against ffmpeg decoding the same G.726 codes
# (taken from the recording's pages) to FLAC, side by side in one run; then
# calendo-convert's time for every format it writes. Target: calendo-convert
# at least 1.5 times as fast as ffmpeg for FLAC.
#
# Usage: bench/archive_vs_ffmpeg.sh [BUILD_DIR]   (default: build; needs
# calendo-convert and its libraries built, and ffmpeg)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
. "$here/cpu_support.sh"
build_dir=$(realpath -m "${1:-$root/build}")
convert=$build_dir/bin/calendo-convert
[ -x "$convert" ] || { echo "archive_vs_ffmpeg.sh: $convert is missing; build first" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "archive_vs_ffmpeg.sh: ffmpeg is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_sp_hour "$root/samples/memo-sp.vqr" "$work/hour.vqr"

# The same codes as one raw G.726 stream: the first 510 bytes of every
# 528-byte page are its 1360 3-bit codes, least significant bit first, which
# is ffmpeg's g726le.
python3 - "$work/hour.vqr" "$work/codes.g726" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()[92:]
with open(sys.argv[2], "wb") as out:
    for at in range(0, len(data) - 527, 528):
        out.write(data[at:at + 510])
PY

size=$(stat -c %s "$work/hour.vqr")
echo "input: $(( (size - 92) / 528 )) SP pages, $(( size / 1000000 )) MB"
read -r ours ours_wall < <(cpu_and_wall "$convert" --format flac --force -q -o "$work" "$work/hour.vqr")
read -r theirs theirs_wall < <(cpu_and_wall ffmpeg -nostdin -loglevel error -y -f g726le -code_size 3 \
  -ar 11025 -i "$work/codes.g726" -c:a flac "$work/ffmpeg.flac")
printf '%-52s %8s %8s\n' "to FLAC" "CPU s" "wall s"
printf '%-52s %8s %8s\n' "calendo-convert --format flac" "$ours" "$ours_wall"
printf '%-52s %8s %8s\n' "ffmpeg -f g726le -code_size 3 ... -c:a flac" "$theirs" "$theirs_wall"
awk -v o="$ours" -v f="$theirs" 'BEGIN {
  r = f / o
  printf "calendo-convert is %.2f times as fast as ffmpeg (target 1.5): %s\n", r, (r >= 1.5 ? "met" : "NOT met")
}'

echo
printf '%-52s %8s\n' "calendo-convert, every format" "CPU s"
for format in wav flac ogg opus mp3; do
  printf '%-52s %8s\n' "--format $format" \
    "$(cpu "$convert" --format "$format" --force -q -o "$work" "$work/hour.vqr")"
done
printf '%-52s %8s\n' "--format flac --normalize" \
  "$(cpu "$convert" --format flac --normalize --force -q -o "$work" "$work/hour.vqr")"
