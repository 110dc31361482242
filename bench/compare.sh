#!/usr/bin/env bash
# Times two commands alternately (A B A B ...) and prints each one's median wall time and the
# median of the per-pair ratios A/B with their spread (lowest and highest); alternating makes a
# drift in the machine's speed affect both alike.
# Usage: bench/compare.sh RUNS "COMMAND A" "COMMAND B"
set -euo pipefail
runs=$1 a=$2 b=$3
now() { date +%s%N; }
ratios=() as=() bs=()
{ eval "$a" || true; } >/dev/null; { eval "$b" || true; } >/dev/null # warm-up: the file is in the page cache for both
for _ in $(seq 1 "$runs"); do
  t0=$(now); { eval "$a" || true; } >/dev/null; t1=$(now); { eval "$b" || true; } >/dev/null; t2=$(now)
  as+=($((t1 - t0))) bs+=($((t2 - t1)))
  ratios+=("$(awk -v x=$((t1 - t0)) -v y=$((t2 - t1)) 'BEGIN { printf "%.4f", x / y }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf 'A: %s\n   median %.3f s\n' "$a" "$(awk -v n="$(median "${as[@]}")" 'BEGIN { print n / 1e9 }')"
printf 'B: %s\n   median %.3f s\n' "$b" "$(awk -v n="$(median "${bs[@]}")" 'BEGIN { print n / 1e9 }')"
sorted=($(printf '%s\n' "${ratios[@]}" | sort -g))
printf 'ratio A/B (median of %d pairs): %s, spread %s to %s\n' "$runs" "$(median "${ratios[@]}")" \
  "${sorted[0]}" "${sorted[-1]}"
