#!/usr/bin/env bash
# Installs the Debian packages the build needs (when run as root and any is
# missing), then configures and builds everything into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t packages < <(grep -v '^\s*#' tools/packages.txt | grep -v '^\s*$')
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
  else
    echo "missing packages (run as root to install): ${missing[*]}" >&2
    exit 1
  fi
fi

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@"
cmake --build "$BUILD_DIR" -j"$(nproc)"
