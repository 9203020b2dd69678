#!/usr/bin/env bash
# Sets up and runs Torvel from a source checkout: installs what is missing, builds, then runs
# the same launcher the installed package runs (scripts/torvel-launcher.sh), pointed at the
# build. See that script for what happens at start-up; --demo and TORVEL_EXTERNAL_DB work the
# same way.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}

say() { echo "torvel: $*" >&2; }
say "verificando os pacotes necessários..."
"$root/scripts/deps.sh"
say "compilando (a primeira vez leva alguns minutos)..."
"$root/scripts/build.sh" --target torvel torvelctl mvigia torvel-carregar-terminal torvel-q90sim >/dev/null

export TORVEL_PROGRAM="$build/src/app/torvel" TORVEL_CTL="$build/src/cli/torvelctl"
export TORVEL_TOOLS="$build/tools" TORVEL_SHARE="$root/docs" TORVEL_SCRIPTS="$root/scripts"
exec "$root/scripts/torvel-launcher.sh" "$@"
