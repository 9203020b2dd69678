#!/usr/bin/env bash
# Configures and builds into build/ (or $TORVEL_BUILD_DIR) with two jobs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=${TORVEL_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build" -j2 "$@"
