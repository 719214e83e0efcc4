#!/usr/bin/env bash
# Configures and builds Vellumo into build/ (program folder: build/bin/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${VELLUMO_BUILD_DIR:-$root/build}"
source "$root/scripts/compiler-cache.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${compiler_cache[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
