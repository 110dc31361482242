#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Korvane need,
# and only those that are missing. Safe to run again.
# With the argument "screenshots" also what the screenshot scripts need besides: a browser that
# renders HTML pages headless (large, and no test needs it).
# Usage: scripts/install-deps.sh [screenshots]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev libgl-dev
  qtkeychain-qt6-dev # the mail password in the desktop's secret store
  libssl-dev openssl # TLS, and the test network's certificates
  libsqlite3-dev sqlite3 # the watch history, and the report benchmark's peer
  libgtest-dev libgmock-dev
  libclang-rt-14-dev # LLVM's FuzzedDataProvider.h, for replaying the fuzz corpora
  clang-format clang-tidy
  xvfb xauth xdotool imagemagick
  nginx python3-aiosmtpd netcat-openbsd iproute2 util-linux
  wget time # the folder verification benchmark's peer, and peak memory for the benchmarks
  fonts-dejavu-core
  locales # the time stamp test's locales, made below
)
if [ "${1:-}" = screenshots ]; then
  packages+=(chromium)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#missing[@]} -eq 0 ]; then
  echo "All required packages are installed."
else
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The time stamp's names come from the user's locale: one locale whose names Latin-1 writes
# (German "Mär") and one whose names it cannot (Russian), for the tests.
for name in de_DE ru_RU; do
  locale -a | grep -qx "${name}.utf8" || $SUDO localedef -i "$name" -f UTF-8 "${name}.UTF-8"
done
