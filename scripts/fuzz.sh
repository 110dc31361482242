#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a set time on its committed seed corpus, growing
# it in a folder of its own. Prints executions, corpus size and the crashes found per target.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET (default 60)] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
"$root/scripts/install-deps.sh"
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    { apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$p"; }
done
build=${KORVANE_FUZZ_BUILD_DIR:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DKORVANE_FUZZ=ON -DKORVANE_SANITIZE=ON -DKORVANE_WERROR=OFF -DKORVANE_BUILD_TESTS=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reply_header form_encode comparison settings_load link_scan
                                     mail_lines body_compare cookie_scan record_index
                                     smtp_transcript address)
ninja -C "$build" $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null
work=${KORVANE_FUZZ_WORK_DIR:-$build/runs}
status=0
for target in "${targets[@]}"; do
  corpus="$work/$target/corpus"
  mkdir -p "$corpus" "$work/$target/crashes"
  log="$work/$target/fuzz.log"
  # An input that runs for half a minute counts as a hang and is kept like a crash.
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
      -artifact_prefix="$work/$target/crashes/" "$corpus" "$root/fuzz/corpus/$target" \
      >"$log" 2>&1; then
    result=clean
  else
    result="FAILED (see $log)"
    status=1
  fi
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  printf '%-14s %s, %s executions, corpus %s files, crashes %s\n' "$target" "$result" "$runs" \
    "$(ls "$corpus" | wc -l)" "$(ls "$work/$target/crashes" | wc -l)"
done
exit "$status"
