#!/usr/bin/env bash
# Sets up and runs every test: installs what is missing, builds, and runs CTest. CTest's fixture
# starts a private MariaDB server for the run and stops it at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j2 --timeout 600 "$@"
