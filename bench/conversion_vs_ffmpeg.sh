#!/usr/bin/env bash
# An hour of SP recording converted to 16-bit WAV by the player's conversion
# calls (conversion_bench) and, on the same codes, by ffmpeg's G.726 decoder,
# side by side in one run. Both figures are CPU time (user + system) of one
# whole conversion, the best of three. Target: ours at least 1.5 times faster.
# Then calendo-convert, which decodes one file on every core, against the
# same ffmpeg run as whole processes, CPU and wall time (best of three each).
# Target: at least 3 times less CPU time and 5 times less wall time.
#
# Usage: bench/conversion_vs_ffmpeg.sh [BUILD_DIR]   (default: build)
# Skips the ffmpeg side when /usr/bin/ffmpeg (or ffmpeg on PATH) is missing.
set -euo pipefail

build=${1:-build}
bench="$build/bench/conversion_bench"
[[ -x $bench ]] || { echo "no $bench: build the benchmarks first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ours=$("$bench" --benchmark_format=json 2>/dev/null |
  python3 -c 'import json,sys; print(json.load(sys.stdin)["benchmarks"][0]["s_per_hour"])')
printf 'calendo conversion: %.3f s CPU per hour of SP\n' "$ours"

ffmpeg=$(command -v ffmpeg || true)
if [[ -z $ffmpeg ]]; then
  echo "ffmpeg: not installed, comparison skipped"
  exit 0
fi

"$bench" --write_codes="$work/codes.raw"
best=""
for _ in 1 2 3; do
  TIMEFORMAT='%U %S'
  t=$({ time "$ffmpeg" -nostdin -loglevel error -y -f g726le -code_size 3 -ar 8000 \
    -i "$work/codes.raw" "$work/out.wav" >/dev/null 2>&1; } 2>&1)
  cpu=$(awk '{print $1 + $2}' <<<"$t")
  if [[ -z $best ]] || awk -v a="$cpu" -v b="$best" 'BEGIN{exit !(a < b)}'; then best=$cpu; fi
done
printf 'ffmpeg g726le:      %.3f s CPU for the same codes\n' "$best"
awk -v o="$ours" -v f="$best" 'BEGIN{
  r = f / o
  printf "ours is %.2f times as fast as ffmpeg (target 1.5): %s\n", r, (r >= 1.5 ? "met" : "NOT met")
}'

convert="$build/bin/calendo-convert"
[[ -x $convert ]] || { echo "no $convert: whole-job comparison skipped"; exit 0; }
here=$(cd "$(dirname "$0")" && pwd)
. "$here/cpu_support.sh"
make_sp_hour "$here/../samples/memo-sp.vqr" "$work/hour.vqr"
read -r conv_cpu conv_wall < <(cpu_and_wall "$convert" --bits 16 --force -q -o "$work" "$work/hour.vqr")
read -r ff_cpu ff_wall < <(cpu_and_wall "$ffmpeg" -nostdin -loglevel error -y -f g726le -code_size 3 \
  -ar 11025 -i "$work/codes.raw" "$work/ffmpeg.wav")
printf '%-40s %8s %8s\n' "hour of SP to 16-bit WAV" "CPU s" "wall s"
printf '%-40s %8s %8s\n' "calendo-convert --bits 16" "$conv_cpu" "$conv_wall"
printf '%-40s %8s %8s\n' "ffmpeg -f g726le -code_size 3" "$ff_cpu" "$ff_wall"
awk -v oc="$conv_cpu" -v ow="$conv_wall" -v fc="$ff_cpu" -v fw="$ff_wall" 'BEGIN{
  c = fc / oc; w = fw / ow
  printf "calendo-convert: %.2f times less CPU (target 3): %s; %.2f times less wall time (target 5): %s\n",
    c, (c >= 3 ? "met" : "NOT met"), w, (w >= 5 ? "met" : "NOT met")
}'
