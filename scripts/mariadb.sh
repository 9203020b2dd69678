#!/usr/bin/env bash
# A private MariaDB server that lives in one folder: used by the launcher (the bundled default
# server), by the test run and by the benchmarks.
#   mariadb.sh start DIR   initialise on first use, start bound to 127.0.0.1 on a free port,
#                          create the user 'torvel'; prints the port
#   mariadb.sh stop DIR    stop the server started from DIR
#   mariadb.sh status DIR  exit 0 while it runs
# DIR/port and DIR/password hold what a client needs; DIR/sock is the socket for root.
set -euo pipefail

cmd=${1:?usage: mariadb.sh start|stop|status DIR}
dir=${2:?usage: mariadb.sh start|stop|status DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

running() {
  [ -f "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null
}

free_port() {
  local p
  for _ in $(seq 1 200); do
    p=$(( 20000 + RANDOM % 30000 ))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"; return 0
    fi
  done
  return 1
}

case "$cmd" in
  status)
    running ;;
  stop)
    if running; then
      pid=$(cat "$dir/pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/pid" ;;
  start)
    if running; then cat "$dir/port"; exit 0; fi
    umask 077
    fresh=0
    if [ ! -d "$dir/data/mysql" ]; then
      rm -rf "$dir/data"
      mariadb-install-db --no-defaults --datadir="$dir/data" \
        --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 \
        || { cat "$dir/install.log" >&2; exit 1; }
      fresh=1
    fi
    # Keep the port of the last start while it is free, so saved settings stay valid.
    port=""
    if [ -f "$dir/port" ]; then
      old=$(cat "$dir/port")
      if [ -n "$old" ] && ! (exec 3<>"/dev/tcp/127.0.0.1/$old") 2>/dev/null; then port=$old; fi
    fi
    [ -n "$port" ] || port=$(free_port)
    echo "$port" >"$dir/port"
    mariadbd --no-defaults --user="$(id -un)" --datadir="$dir/data" --socket="$dir/sock" \
      --port="$port" --bind-address=127.0.0.1 --pid-file="$dir/pid" \
      --innodb-buffer-pool-size=64M --character-set-server=utf8mb4 \
      --collation-server=utf8mb4_general_ci --log-error="$dir/error.log" \
      --skip-log-bin --innodb-flush-log-at-trx-commit=2 >/dev/null 2>&1 &
    for _ in $(seq 1 300); do
      [ -S "$dir/sock" ] && mariadb --no-defaults -S "$dir/sock" -uroot -e 'select 1' >/dev/null 2>&1 && break
      sleep 0.1
    done
    if ! mariadb --no-defaults -S "$dir/sock" -uroot -e 'select 1' >/dev/null 2>&1; then
      echo "MariaDB did not start; see $dir/error.log" >&2
      tail -n 20 "$dir/error.log" >&2 || true
      exit 1
    fi
    if [ "$fresh" = 1 ] || [ ! -f "$dir/password" ]; then
      pw=$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 16)
      mariadb --no-defaults -S "$dir/sock" -uroot -e \
        "create or replace user 'torvel'@'127.0.0.1' identified by '$pw'; grant all on *.* to 'torvel'@'127.0.0.1' with grant option; flush privileges"
      echo "$pw" >"$dir/password"
    fi
    echo "$port" ;;
  *)
    echo "usage: mariadb.sh start|stop|status DIR" >&2; exit 2 ;;
esac
