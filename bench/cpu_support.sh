# Shared by the shell benchmarks (sourced, not run).

# make_sp_hour SAMPLE OUT: an hour of SP in the vqr file OUT, the pages of
# the vqr file SAMPLE repeated (a page is 1360 samples at 11025 Hz, so 29185
# pages make 3600 s).
make_sp_hour() {
  local sample=$1 out=$2 pages
  pages=$(mktemp)
  head -c 92 "$sample" >"$out"
  tail -c +93 "$sample" >"$pages"
  local per_copy=$(( $(stat -c %s "$pages") / 528 ))
  local copies=$(( (29185 + per_copy - 1) / per_copy ))
  for _ in $(seq "$copies"); do cat "$pages"; done >>"$out"
  rm -f "$pages"
}

# cpu CMD...: user + system seconds of the best of three runs.
cpu() {
  local best="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}
