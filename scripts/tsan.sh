#!/usr/bin/env bash
# Builds the core test suite with ThreadSanitizer and runs it inside the test network: every
# threaded path (log appends while painting, settings read while stored, database walks beside
# the menu, busy flags, reply-file holds, watches) under the race detector. The widget tests are
# left out: Qt itself is not built with ThreadSanitizer here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${KORVANE_TSAN_BUILD_DIR:-$root/build-tsan}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" >/dev/null
ninja -C "$build" korvane_core_tests
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} "$root/scripts/netns-run.sh" "$build/tests/korvane_core_tests"
