#!/usr/bin/env bash
# Times Korvane's command A and one or more peer commands alternately (A B A B ...) and prints
# each one's median wall time and the median of the per-round ratios A/B with the lowest and the
# highest; alternating makes a drift in the machine's speed affect both alike. With several
# peers, each round's ratio is against the fastest peer of that round. Only the command itself
# lies between two clock readings: bash's own clock variable is read without starting a process.
# Usage: bench/compare.sh [--name NAME --goal GOAL] RUNS "COMMAND A" "PEER" ["PEER"...]
# With a NAME and KORVANE_BENCH_TABLE naming a file, the result is added to that file as a row
# of bench/run_all.sh's table.
set -euo pipefail
name="" goal=""
while [ "${1:-}" = --name ] || [ "${1:-}" = --goal ]; do
  [ "$1" = --name ] && name=$2 || goal=$2
  shift 2
done
runs=$1 a=$2
shift 2
peers=("$@")
timed() { # prints the microseconds that one command took
  local t0 t1
  t0=${EPOCHREALTIME/[.,]/}
  { eval "$1" || true; } >/dev/null
  t1=${EPOCHREALTIME/[.,]/}
  echo $((t1 - t0))
}
# Warm-up: the files are in the page cache for every command.
for command in "$a" "${peers[@]}"; do { eval "$command" || true; } >/dev/null; done
ratios=() as=()
declare -A bs
for _ in $(seq 1 "$runs"); do
  ta=$(timed "$a") fastest=""
  as+=("$ta")
  for i in "${!peers[@]}"; do
    tb=$(timed "${peers[$i]}")
    bs[$i]+=" $tb"
    [ -n "$fastest" ] && [ "$fastest" -le "$tb" ] || fastest=$tb
  done
  ratios+=("$(awk -v x="$ta" -v y="$fastest" 'BEGIN { printf "%.4f", x / y }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { awk -v n="$(median "$@")" 'BEGIN { printf "%.3f", n / 1e6 }'; }
printf 'A: %s\n   median %s s\n' "$a" "$(seconds "${as[@]}")"
for i in "${!peers[@]}"; do
  printf 'B: %s\n   median %s s\n' "${peers[$i]}" "$(seconds ${bs[$i]})"
done
sorted=($(printf '%s\n' "${ratios[@]}" | sort -g))
middle=$(median "${ratios[@]}")
printf 'ratio A/B (median of %d rounds): %s, min %s, max %s%s\n' "$runs" "$middle" "${sorted[0]}" \
  "${sorted[-1]}" "${goal:+; goal: $goal}"
if [ -n "$name" ] && [ -n "${KORVANE_BENCH_TABLE:-}" ]; then
  printf '%s\t%s\t%s\t%s\t%s\n' "$name" "$middle" "${sorted[0]}" "${sorted[-1]}" "${goal:--}" \
    >>"$KORVANE_BENCH_TABLE"
fi
