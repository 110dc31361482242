#!/usr/bin/env bash
# Mutation testing: puts one small fault at a time into the core (src/ without gui/ and app/),
# rebuilds, runs the suite in the test network and counts the faults the suite catches.
#
#   scripts/mutants.sh [-n N] [-s SEED] [-b BUILD_DIR] [--list FILE] [--keep-going] [--count]
#
#   -n N          mutants to sample from all mutation sites (60)
#   -s SEED       seed of the sample (1); the same seed on the same code gives the same sample
#   -b BUILD_DIR  build folder of its own, configured without -Werror (build-mutants)
#   --list FILE   write the sample to FILE, or replay FILE if it exists (mutants whose line has
#                 changed since are reported stale)
#   --keep-going  run the whole suite for every mutant instead of stopping at the first failure
#   --count       only count the mutation sites per operator and per folder; builds nothing
#
# It is a measurement: the exit status is 0 whether or not mutants survive, and non-zero only
# when the run itself failed (the unmutated suite fails, the test network does not start...).
# The work is done by scripts/mutants.py; this wrapper makes sure that a mutated file is put
# back whatever happens to that program, and checks that src/ is as it was.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

state=$(mktemp -d /tmp/korvane-mutants.XXXXXX)
src_before=$(git -C "$root" diff HEAD -- src | sha256sum)
helper=""

restore() {
  local status=$?
  trap - EXIT INT TERM
  if [ -n "$helper" ] && kill -0 "$helper" 2>/dev/null; then
    kill -TERM "$helper" 2>/dev/null || true
    wait "$helper" 2>/dev/null || true
  fi
  # The helper records the mutated file here before changing it and removes the record once it
  # has put it back; a record left over means it was stopped in between.
  if [ -f "$state/path" ]; then
    cp "$state/original" "$(cat "$state/path")"
    echo "mutants: restored $(cat "$state/path")" >&2
  fi
  rm -rf "$state"
  if [ "$(git -C "$root" diff HEAD -- src | sha256sum)" != "$src_before" ]; then
    echo "mutants: src/ differs from before the run; see git diff -- src" >&2
    status=1
  fi
  exit "$status"
}
trap restore EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# In the background so that a signal reaches this shell at once (a trap waits for a foreground
# command to finish); restore() then stops the helper, which restores the file itself.
/usr/bin/python3 "$root/scripts/mutants.py" --state "$state" "$@" &
helper=$!
wait "$helper"
