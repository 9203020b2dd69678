#!/usr/bin/env bash
# Builds and runs the benchmarks against a private MariaDB server started for the run. Each
# benchmark prints its figures with a baseline measured in the same run and the ratio.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
dir=$(mktemp -d)
trap '"$root/scripts/mariadb.sh" stop "$dir/db"; rm -rf "$dir"' EXIT
port=$("$root/scripts/mariadb.sh" start "$dir/db" '*')
pw=$(cat "$dir/db/password")
ctl="$build/src/cli/torvelctl"
TORVEL_DB_PASSWORD=$pw "$ctl" create-database torvel_bench --host 127.0.0.1 --port "$port" \
  --user torvel >/dev/null 2>&1
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
# The benchmarks read the password from the environment ("-" as their password argument).
export TORVEL_DB_PASSWORD=$pw
"$build/bench/bench_startup" "$build/src/app/torvel" "$ctl" 127.0.0.1 "$port" torvel - torvel_bench "${RUNS:-15}"
"$build/bench/bench_wan" "$ctl" 127.0.0.1 "$port" torvel - "${WAN_DELAY_MS:-10}" "$build/src/app/torvel"
"$build/bench/bench_ingest" 127.0.0.1 "$port" torvel - torvel_bench "${INGEST_RUNS:-5}"
"$build/bench/bench_consistency" 127.0.0.1 "$port" torvel - torvel_bench "${CONSISTENCY_RUNS:-3}"
"$build/bench/bench_listings" 127.0.0.1 "$port" torvel - torvel_bench "${LISTINGS_RUNS:-3}"
"$build/bench/bench_distances" 127.0.0.1 "$port" torvel - torvel_bench "${DISTANCES_RUNS:-3}"
"$build/bench/bench_routetimes" 127.0.0.1 "$port" torvel - torvel_bench "${ROUTETIMES_RUNS:-3}"
"$build/bench/bench_programmable" 127.0.0.1 "$port" torvel - torvel_bench "${PROGRAMMABLE_RUNS:-3}"
"$build/bench/bench_registrylistings" 127.0.0.1 "$port" torvel - torvel_bench "${LISTINGS_RUNS:-3}"
"$build/bench/bench_exchange" 127.0.0.1 "$port" torvel - torvel_bench "${EXCHANGE_LINES:-200000}" "${EXCHANGE_RUNS:-3}"
# The Q90 serial download at 1200 baud against the simulator (about 95 s for 2000 records).
"$build/bench/bench_q90" "${Q90_RECORDS:-2000}" 1200
