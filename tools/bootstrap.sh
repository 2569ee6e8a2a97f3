#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the peer tools need.
# Idempotent: packages already present are skipped, and apt is not touched when nothing is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libidn-dev libqpdf-dev
  clang libclang-rt-14-dev
  qt6-base-dev xvfb xauth
  qpdf poppler-utils mupdf-tools python3-pikepdf
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
