#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${VELLUMO_BUILD_DIR:-$root/build}"
cd "$build"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j "$(nproc)" --timeout 300
