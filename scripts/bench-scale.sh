#!/usr/bin/env bash
# The scale benchmarks: a private MariaDB server with a 4 GiB buffer pool (TORVEL_DB_BUFFER_POOL),
# a history of SIZE touches written by gen_history with the tv_ indexes off, then bench_scale
# three times on it: without the indexes; with them (built over the whole table, the time it
# takes printed) and the statistics the server gathers by default; with them and statistics
# sampled from 2,000 pages of desctot. The server is stopped and its folder removed at the end.
#
# Usage: scripts/bench-scale.sh SIZE        e.g. 100000 or 10000000
#   RUNS      runs per measurement with the indexes (median), 3 by default
#   RUNS_OFF  runs per measurement without them, RUNS by default (1 is plenty at 10,000,000:
#             every statement then reads the whole table)
#   EXPLAIN=1 prints the server's plan of every statement measured
set -euo pipefail
size=${1:?usage: bench-scale.sh SIZE}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
runs=${RUNS:-3}
runs_off=${RUNS_OFF:-$runs}

"$root/scripts/build.sh" --target gen_history bench_scale
dir=$(mktemp -d)
trap '"$root/scripts/mariadb.sh" stop "$dir/db"; rm -rf "$dir"' EXIT
export TORVEL_DB_BUFFER_POOL=${TORVEL_DB_BUFFER_POOL:-4G}
port=$("$root/scripts/mariadb.sh" start "$dir/db" '*')
# The programs read the password from the environment ("-" as their password argument).
TORVEL_DB_PASSWORD=$(cat "$dir/db/password")
export TORVEL_DB_PASSWORD
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

echo "machine: $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB RAM, $("$(command -v mariadbd || echo /usr/sbin/mariadbd)" --version | sed 's/^.*Ver //; s/ for .*//'), buffer pool $TORVEL_DB_BUFFER_POOL"
start=$(date +%s)
"$build/bench/gen_history" 127.0.0.1 "$port" torvel - torvel_scale "$size" --without-indexes
explain=()
[ "${EXPLAIN:-0}" = 1 ] && explain=(--explain)
bench=("$build/bench/bench_scale" 127.0.0.1 "$port" torvel - torvel_scale)
"${bench[@]}" "$runs_off" --indexes off "${explain[@]}"
"${bench[@]}" "$runs" --indexes on "${explain[@]}"
"${bench[@]}" "$runs" --stats-sample-pages 2000 "${explain[@]}"
echo "total $(( $(date +%s) - start )) s"
