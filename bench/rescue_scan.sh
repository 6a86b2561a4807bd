#!/bin/bash
# The rescue's scan speed on a 2 GB card image (random data with recordings
# planted at odd offsets) against reading the image with cat in the same run,
# and what PhotoRec recovers from the card tests' images beside the rescue.
#
# Usage: bench/rescue_scan.sh [BUILD]   (default build/; the image is made there)
set -euo pipefail
build=${1:-build}
rescue=$build/bin/calendo-rescue
image=$build/bench-card.img
work=$(mktemp -d "$build/rescue-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ ! -f "$image" ]; then
  head -c 2G /dev/urandom > "$image.part"
  for i in $(seq 0 99); do
    dd if=samples/memo-sp.vqr of="$image.part" bs=64K seek=$((i * 21000000 + i * 37)) oflag=seek_bytes \
       conv=notrunc status=none
  done
  mv "$image.part" "$image"
fi

# Alternate the two, three times each; the ratio is rescue time / cat time.
for round in 1 2 3; do
  start=$(date +%s.%N); cat "$image" > /dev/null; mid=$(date +%s.%N)
  "$rescue" --quiet "$image" -o "$work/out$round" > /dev/null; end=$(date +%s.%N)
  echo "round $round: cat $(echo "$mid - $start" | bc) s, rescue $(echo "$end - $mid" | bc) s," \
       "ratio $(echo "scale=2; ($end - $mid) / ($mid - $start)" | bc)," \
       "recordings $(ls "$work/out$round" | wc -l)"
done

# PhotoRec and the rescue on the card tests' images.
if command -v photorec > /dev/null; then
  RESCUE_TEST_KEEP="$work/cards" "$build/tests/rescue_tests" --gtest_brief=1 > /dev/null
  for dir in "$work"/cards/*/; do
    state=$(basename "$dir")
    (cd "$dir" && photorec /log /d photorec /cmd card.img search > /dev/null 2>&1 || true)
    "$rescue" --quiet "$dir/card.img" -o "$dir/rescued" > /dev/null || true
    count() { find "$@" -type f ! -name report.xml 2> /dev/null | xargs -r cksum | awk '{print $1" "$2}' | sort -u; }
    originals=$(count "$dir/originals")
    total=$(echo "$originals" | wc -l)
    photorec_exact=$(comm -12 <(echo "$originals") <(count "$dir"/photorec*) | wc -l)
    photorec_files=$(find "$dir" -path "*photorec*" -type f ! -name report.xml | wc -l)
    ours=$(comm -12 <(echo "$originals") <(count "$dir/rescued") | wc -l)
    echo "$state: $total recordings; PhotoRec $photorec_exact byte-exact ($photorec_files files);" \
         "calendo-rescue $ours byte-exact"
  done
fi
