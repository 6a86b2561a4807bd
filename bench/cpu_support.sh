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

# cpu_and_wall CMD...: "CPU WALL" seconds, each the best of three runs.
cpu_and_wall() {
  local best_cpu="" best_wall="" t cpu wall
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S %R'; time "$@" >/dev/null 2>&1; } 2>&1 | tail -1)
    cpu=$(awk '{ print $1 + $2 }' <<<"$t")
    wall=$(awk '{ print $3 }' <<<"$t")
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then best_cpu=$cpu; fi
    if [ -z "$best_wall" ] || awk -v a="$wall" -v b="$best_wall" 'BEGIN { exit !(a < b) }'; then best_wall=$wall; fi
  done
  echo "$best_cpu $best_wall"
}
