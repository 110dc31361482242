#!/usr/bin/env bash
# The program as a user starts it: in a working folder, one instance only, and every setting
# written back to kv.cfg when the session ends (here by SIGTERM, as at a logout).
set -euo pipefail
program=$1
work=$(mktemp -d)
runtime=$(mktemp -d)
trap 'kill "${pid:-0}" 2>/dev/null || true; rm -rf "$work" "$runtime"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$runtime
cd "$work"

fail() { echo "FAIL: $*"; exit 1; }

# A kv.cfg of 100 bytes: its bytes are kept, the rest starts at zero.
head -c 100 /dev/urandom > kv.cfg
cp kv.cfg start.cfg

"$program" >program.log 2>&1 &
pid=$!
sleep 3
kill -0 "$pid" 2>/dev/null || fail "the program did not stay up: $(cat program.log)"

# A second start ends at once, silently, with exit code 0.
start=$(date +%s%N)
second_status=0
timeout 10 "$program" >second.log 2>&1 || second_status=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$second_status" -eq 0 ] || fail "second instance exited with $second_status"
[ "$elapsed_ms" -lt 5000 ] || fail "second instance took ${elapsed_ms} ms"
[ ! -s second.log ] || fail "second instance printed: $(cat second.log)"
kill -0 "$pid" 2>/dev/null || fail "the first instance ended"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with $status"

size=$(stat -c %s kv.cfg)
[ "$size" -eq 26686 ] || fail "kv.cfg is $size bytes"
cmp -n 100 kv.cfg start.cfg >/dev/null || fail "the first 100 bytes of kv.cfg changed"
year=$(od -An -t d4 -j 424 -N 4 kv.cfg | tr -d ' ')
[ "$year" -eq "$(date +%Y)" ] || fail "end year in kv.cfg is $year"
ls | grep -q 'kv.cfg.tmp' && fail "a temporary file was left behind"
echo "program process: 1 passed, 0 failed"
