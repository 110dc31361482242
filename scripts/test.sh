#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in a normal build with warnings as
# errors, once built with AddressSanitizer and UndefinedBehaviorSanitizer, the format check and
# clang-tidy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

# The build folders may be moved elsewhere, e.g. when several people build in one checkout.
build=${KORVANE_BUILD_DIR:-$root/build}
build_asan=${KORVANE_ASAN_BUILD_DIR:-$root/build-asan}

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
status=0

echo "== Format check"
if ! (cd "$root" && git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs -r clang-format --dry-run -Werror); then
  echo "Some sources are not clang-format clean."
  status=1
fi

echo "== Normal build"
"$root/scripts/build.sh" "$build" -DKORVANE_WERROR=ON
# Both runs happen inside the private network namespace where nginx serves the fixture sites.
(cd "$build" && "$root/scripts/netns-run.sh" ctest --output-on-failure -j 2) || status=1

echo "== clang-tidy"
"$root/scripts/tidy.sh" "$build" || status=1

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
BUILD_TYPE=Debug "$root/scripts/build.sh" "$build_asan" -DKORVANE_WERROR=ON -DKORVANE_SANITIZE=ON
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$build_asan" && "$root/scripts/netns-run.sh" ctest --output-on-failure -j 2) || status=1

if [ "$status" -eq 0 ]; then
  echo "All tests passed."
else
  echo "Some tests failed."
fi
exit "$status"
