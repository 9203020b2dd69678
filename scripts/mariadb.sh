#!/usr/bin/env bash
# A private MariaDB server that lives in one folder: used by the launcher (the bundled default
# server), by the test run and by the benchmarks.
#   mariadb.sh start DIR   initialise on first use, start bound to 127.0.0.1 on a free port,
#                          create the user 'torvel'; prints the port
#   mariadb.sh stop DIR    stop the server started from DIR
#   mariadb.sh status DIR  exit 0 while it runs
#   mariadb.sh sql DIR [CLIENT OPTIONS]
#                          run the SQL read from standard input as the server's administrator
# DIR/port and DIR/password hold what a client needs (the account 'torvel'@'127.0.0.1').
#
# The server belongs to the account that starts it and to nobody else: DIR and the data folder
# are 0700, so the socket DIR/sock cannot be reached by another local account; the only
# administrator is the owner's own account, through unix_socket authentication on that socket
# (no account works without a password); 'torvel' gets what the program needs on *.* (it creates
# databases and tables) but neither FILE nor GRANT OPTION; files are read and written by the
# server only inside DIR/files. Every start applies these rules again, so a folder initialised
# by an older version of this script is brought in line as well.
# Secrets never go on a command line (any account can read the process list): SQL that holds
# one goes to the client on standard input.
set -euo pipefail

cmd=${1:?usage: mariadb.sh start|stop|status|sql DIR}
dir=${2:?usage: mariadb.sh start|stop|status|sql DIR}
umask 077
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
me=$(id -un)

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

client() {
  mariadb --no-defaults -S "$dir/sock" "$@"
}

# The administrator's login on the socket: the owner's own account (unix_socket), or, on a folder
# initialised by an older version of this script, root without a password until the lockdown
# below has run once.
admin=""
find_admin() {
  local u
  for u in "$me" root; do
    if client -u "$u" -e 'select 1' >/dev/null 2>&1; then admin=$u; return 0; fi
  done
  return 1
}

lock_down() {
  local accounts
  client -u "$admin" <<SQL
create user if not exists '$me'@'localhost' identified via unix_socket;
alter user '$me'@'localhost' identified via unix_socket;
grant all privileges on *.* to '$me'@'localhost' with grant option;
SQL
  if [ "$me" != root ]; then
    # Only the system's root may then use it, who can read the folder anyway.
    client -u "$me" -e "alter user if exists 'root'@'localhost' identified via unix_socket"
  fi
  admin=$me
  # Every other account that a client could use without a password: the old root accounts
  # over TCP, anonymous accounts.
  accounts=$(client -u "$admin" -N -B -e "
    select concat(quote(user), '@', quote(host)) from mysql.global_priv
     where not (user = '$me' and host = 'localhost')
       and ifnull(json_value(priv, '\$.account_locked'), '0') not in ('1', 'true')
       and ifnull(json_value(priv, '\$.is_role'), '0') not in ('1', 'true')
       and ifnull(json_value(priv, '\$.plugin'), 'mysql_native_password')
           in ('mysql_native_password', 'mysql_old_password', '')
       and ifnull(json_value(priv, '\$.authentication_string'), '') = ''")
  if [ -n "$accounts" ]; then
    client -u "$admin" -e "drop user $(echo "$accounts" | paste -sd, -)"
  fi
  # The program's account: what it needs on every database, nothing over the server itself.
  if [ ! -s "$dir/password" ] || ! client -u "$admin" -N -B \
      -e "select 1 from mysql.global_priv where user = 'torvel' and host = '127.0.0.1'" | grep -q 1; then
    local pw
    pw=$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 16)
    client -u "$admin" <<SQL
create or replace user 'torvel'@'127.0.0.1' identified by '$pw';
SQL
    echo "$pw" >"$dir/password.new" && mv -f "$dir/password.new" "$dir/password"
  fi
  client -u "$admin" <<'SQL'
revoke all privileges, grant option from 'torvel'@'127.0.0.1';
grant select, insert, update, delete, create, drop, index, alter, create temporary tables,
  lock tables, references, create view, show view, create routine, alter routine, execute,
  trigger, event, show databases on *.* to 'torvel'@'127.0.0.1';
SQL
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
  sql)
    find_admin || { echo "mariadb.sh: the server in $dir is not running" >&2; exit 1; }
    client -u "$admin" "${@:3}" ;;
  start)
    chmod 700 "$dir"
    if running; then cat "$dir/port"; exit 0; fi
    if [ ! -d "$dir/data/mysql" ]; then
      rm -rf "$dir/data"
      mariadb-install-db --no-defaults --datadir="$dir/data" \
        --auth-root-authentication-method=socket --auth-root-socket-user="$me" \
        --skip-test-db >"$dir/install.log" 2>&1 \
        || { cat "$dir/install.log" >&2; exit 1; }
    fi
    mkdir -p "$dir/files"
    chmod 700 "$dir/data" "$dir/files"
    # Keep the port of the last start while it is free, so saved settings stay valid.
    port=""
    if [ -f "$dir/port" ]; then
      old=$(cat "$dir/port")
      if [ -n "$old" ] && ! (exec 3<>"/dev/tcp/127.0.0.1/$old") 2>/dev/null; then port=$old; fi
    fi
    [ -n "$port" ] || port=$(free_port)
    echo "$port" >"$dir/port"
    # A year of rounds is millions of touches: the buffer pool holds the indexes the reports
    # read. TORVEL_DB_BUFFER_POOL sets another size (the tests use a small one).
    pool=${TORVEL_DB_BUFFER_POOL:-512M}
    mariadbd --no-defaults --user="$me" --datadir="$dir/data" --socket="$dir/sock" \
      --port="$port" --bind-address=127.0.0.1 --pid-file="$dir/pid" \
      --innodb-buffer-pool-size="$pool" --character-set-server=utf8mb4 \
      --collation-server=utf8mb4_general_ci --log-error="$dir/error.log" \
      --secure-file-priv="$dir/files" --local-infile=0 \
      --skip-log-bin >/dev/null 2>&1 &
    for _ in $(seq 1 300); do
      [ -S "$dir/sock" ] && find_admin && break
      sleep 0.1
    done
    if [ -z "$admin" ] && ! find_admin; then
      echo "MariaDB did not start, or refuses this account ($me) as its administrator;" \
           "see $dir/error.log" >&2
      tail -n 20 "$dir/error.log" >&2 || true
      exit 1
    fi
    lock_down
    echo "$port" ;;
  *)
    echo "usage: mariadb.sh start|stop|status|sql DIR" >&2; exit 2 ;;
esac
