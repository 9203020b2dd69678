#!/usr/bin/env bash
# A private MariaDB server that lives in one folder: used by the launcher (the bundled default
# server), by the test run and by the benchmarks.
#   mariadb.sh start DIR [DATABASE]
#                          initialise on first use, start bound to 127.0.0.1 on a free port,
#                          create the user 'torvel' with its rights on DATABASE only (default
#                          torvel; '*' gives them on every database, for the throw-away servers
#                          of the tests and benchmarks); prints the port
#   mariadb.sh stop DIR    stop the server started from DIR
#   mariadb.sh status DIR  exit 0 while it runs
#   mariadb.sh sql DIR [CLIENT OPTIONS]
#                          run the SQL read from standard input as the server's administrator
# DIR/port and DIR/password hold what a client needs (the account 'torvel'@'127.0.0.1').
# The server writes what it has to say into DIR/error.log, the first initialisation into
# DIR/install.log; a start that fails says so in Portuguese and names the log.
#
# The server belongs to the account that starts it and to nobody else: DIR and the data folder
# are 0700, so the socket DIR/sock cannot be reached by another local account; the only
# administrator is the owner's own account, through unix_socket authentication on that socket
# (no account works without a password); 'torvel' gets what the program needs on its database
# (it may create that database and its tables) and nothing on the server itself, so it can
# never write the server's own account tables; files are read and written by the server only
# inside DIR/files. Every start applies these rules again, and takes away whatever the tables
# say beyond them (accounts, roles, rights, routines and plugins nobody here made), reporting
# each on standard error and in DIR/error.log: a folder initialised by an older version of this
# script, or tampered with through the wide rights older versions gave 'torvel', is brought in
# line as well.
# Secrets never go on a command line (any account can read the process list): SQL that holds
# one goes to the client on standard input.
#
# Debian installs the server in /usr/sbin, which an ordinary account's PATH lacks: the programs
# are looked for on the PATH and in the folders distributions use. TORVEL_MARIADB_PATH (folders
# separated by ":") replaces that search, for a server installed elsewhere.
set -euo pipefail

usage="uso: mariadb.sh start DIR [BANCO] | stop DIR | status DIR | sql DIR [OPÇÕES]"
cmd=${1:?$usage}
dir=${2:?$usage}
umask 077
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
me=$(id -un)

say() { echo "mariadb.sh: $*" >&2; }

running() {
  [ -f "$dir/pid" ] && kill -0 "$(cat "$dir/pid")" 2>/dev/null
}

# find_program NAME...: the first of the names found, as a full path.
find_program() {
  local name d folders
  if [ -n "${TORVEL_MARIADB_PATH:-}" ]; then folders=$TORVEL_MARIADB_PATH; else
    folders=$PATH:/usr/sbin:/usr/bin:/usr/local/sbin:/usr/local/bin:/usr/libexec:/usr/libexec/mariadb:/sbin:/bin
  fi
  for name in "$@"; do
    local IFS=:
    for d in $folders; do
      if [ -n "$d" ] && [ -f "$d/$name" ] && [ -x "$d/$name" ]; then echo "$d/$name"; return 0; fi
    done
  done
  return 1
}

need_program() {  # need_program WHAT NAME...: the path, or a message saying what to install
  local what=$1; shift
  if ! find_program "$@"; then
    say "O $what do MariaDB ($1) não foi encontrado neste computador. Instale o pacote" \
        "mariadb-server (sudo apt-get install mariadb-server) e inicie o Torvel de novo."
    return 1
  fi
}

mariadb_client=""
client() {
  [ -n "$mariadb_client" ] || mariadb_client=$(need_program cliente mariadb mysql) || exit 1
  "$mariadb_client" --no-defaults -S "$dir/sock" "$@"
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

# last_words LOG WHOSE: where the log is, and its errors (or its last lines when it names none).
last_words() {
  local errors
  echo "Veja o registro $2 em $1. As últimas mensagens de erro:" >&2
  errors=$(grep -F ERROR "$1" 2>/dev/null | tail -n 6)
  [ -n "$errors" ] || errors=$(tail -n 10 "$1" 2>/dev/null)
  printf '%s\n' "$errors" >&2
}

# What the lock-down took away: on standard error, and in the server's log, where it is kept.
report() {
  # A folder initialised just now holds only what the installation made.
  [ "$fresh" = 0 ] || return 0
  say "$*"
  echo "$(date '+%Y-%m-%d %H:%M:%S') torvel: $*" >>"$dir/error.log"
}

# The administrator's login on the socket: the owner's own account (unix_socket), or, on a folder
# initialised by an older version of this script, root without a password until the lockdown
# below has run once.
admin=""
fresh=0
find_admin() {
  local u
  for u in "$me" root; do
    if client -u "$u" -e 'select 1' >/dev/null 2>&1; then admin=$u; return 0; fi
  done
  return 1
}

# The accounts this script makes: the owner's (the administrator), root (only through the
# socket, which only this account reaches), the server's own locked mariadb.sys, and the
# program's.
ours="('$me', 'localhost'), ('root', 'localhost'), ('mariadb.sys', 'localhost'), ('torvel', '127.0.0.1')"

# The program's rights: data and structure, on its database only.
program_rights="select, insert, update, delete, create, drop, index, alter, create temporary tables,
  lock tables, references, create view, show view, create routine, alter routine, execute,
  trigger, event"

lock_down() {
  local database=$1 found
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
  client -u "$admin" -e "alter user if exists 'mariadb.sys'@'localhost' account lock"

  # Every account or role this script did not make: the old password-less root accounts over
  # TCP, anonymous accounts, and anything written straight into the account tables.
  found=$(client -u "$admin" -N -B -e "
    select concat(quote(user), '@', quote(host)) from mysql.global_priv
     where (user, host) not in ($ours)")
  if [ -n "$found" ]; then
    report "contas removidas do servidor: $(echo "$found" | paste -sd' ')"
    client -u "$admin" -e "drop user $(echo "$found" | paste -sd, -)"
  fi
  # Rights written for accounts that do not exist (a right is matched by user and client host,
  # so one written for 'torvel'@'%' would reach the program's account), and any proxying by the
  # program's account.
  found=$(client -u "$admin" -N -B -e "
    select concat(t, ': ', u, '@', h) from (
      select 'db' t, user u, host h from mysql.db
      union all select 'tables_priv', user, host from mysql.tables_priv
      union all select 'columns_priv', user, host from mysql.columns_priv
      union all select 'procs_priv', user, host from mysql.procs_priv
      union all select 'proxies_priv', user, host from mysql.proxies_priv
      union all select 'roles_mapping', user, host from mysql.roles_mapping) r
     where (u, h) not in (select user, host from mysql.global_priv)
        or (t = 'proxies_priv' and u = 'torvel')")
  if [ -n "$found" ]; then
    report "permissões sem conta removidas: $(echo "$found" | sort -u | paste -sd' ')"
    client -u "$admin" <<'SQL'
delete from mysql.db where (user, host) not in (select user, host from mysql.global_priv);
delete from mysql.tables_priv where (user, host) not in (select user, host from mysql.global_priv);
delete from mysql.columns_priv where (user, host) not in (select user, host from mysql.global_priv);
delete from mysql.procs_priv where (user, host) not in (select user, host from mysql.global_priv);
delete from mysql.proxies_priv
 where (user, host) not in (select user, host from mysql.global_priv) or user = 'torvel';
delete from mysql.roles_mapping where (user, host) not in (select user, host from mysql.global_priv);
flush privileges;
SQL
  fi
  # A routine or event runs with its definer's rights: one written into the tables in the
  # name of the administrator would hand them to whoever may run it.
  found=$(client -u "$admin" -N -B -e "
    select concat(if(type = 'PROCEDURE', 'procedure', 'function'), ' \`', replace(db, '\`', '\`\`'),
                  '\`.\`', replace(name, '\`', '\`\`'), '\`')
      from mysql.proc where definer not in ('torvel@127.0.0.1', 'mariadb.sys@localhost')
    union all
    select concat('event \`', replace(db, '\`', '\`\`'), '\`.\`', replace(name, '\`', '\`\`'), '\`')
      from mysql.event where definer not in ('torvel@127.0.0.1', 'mariadb.sys@localhost')")
  if [ -n "$found" ]; then
    report "rotinas removidas (definidas em nome de outra conta): $(echo "$found" | paste -sd' ')"
    echo "$found" | sed 's/^/drop /; s/$/;/' | client -u "$admin"
  fi
  # This server loads no plugin of its own choosing.
  found=$(client -u "$admin" -N -B -e "select name from mysql.plugin")
  if [ -n "$found" ]; then
    report "plugins removidos: $(echo "$found" | paste -sd' ')"
    echo "$found" | sed 's/`/``/g; s/^/uninstall plugin if exists `/; s/$/`;/' | client -u "$admin"
    client -u "$admin" -e "delete from mysql.plugin"
  fi

  # The program's account.
  if [ ! -s "$dir/password" ] || ! client -u "$admin" -N -B \
      -e "select 1 from mysql.global_priv where user = 'torvel' and host = '127.0.0.1'" | grep -q 1; then
    local pw
    pw=$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 16)
    client -u "$admin" <<SQL
create or replace user 'torvel'@'127.0.0.1' identified by '$pw';
SQL
    echo "$pw" >"$dir/password.new" && mv -f "$dir/password.new" "$dir/password"
  fi
  if [ "$database" = '*' ]; then
    client -u "$admin" <<SQL
revoke all privileges, grant option from 'torvel'@'127.0.0.1';
grant $program_rights, show databases on *.* to 'torvel'@'127.0.0.1';
SQL
  else
    found=$(client -u "$admin" -N -B -e "
      select 1 from mysql.global_priv
       where user = 'torvel' and host = '127.0.0.1' and json_value(priv, '\$.access') <> '0'")
    [ -z "$found" ] || report "permissões do usuário torvel sobre o servidor inteiro retiradas"
    client -u "$admin" <<SQL
revoke all privileges, grant option from 'torvel'@'127.0.0.1';
grant $program_rights on \`$database\`.* to 'torvel'@'127.0.0.1';
SQL
  fi
}

case "$cmd" in
  status)
    running ;;
  stop)
    exec 8>>"$dir/.lock"; flock 8
    if running; then
      pid=$(cat "$dir/pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/pid" ;;
  sql)
    find_admin || { say "O servidor em $dir não está funcionando."; exit 1; }
    client -u "$admin" "${@:3}" ;;
  start)
    database=${3:-torvel}
    # The name goes into the grants: a plain identifier only (the names the program accepts
    # for a database), or '*'.
    if [ "$database" != '*' ] && ! (LC_ALL=C; [[ $database =~ ^[A-Za-z0-9_]{1,64}$ ]]); then
      say "Nome de banco de dados inválido: \"$database\""; exit 2
    fi
    chmod 700 "$dir"
    # Two starts at once (two launchers) would start two servers on one data folder.
    exec 8>>"$dir/.lock"; flock 8
    if running; then cat "$dir/port"; exit 0; fi
    server=$(need_program servidor mariadbd mysqld) || exit 1
    fresh=0
    if [ ! -d "$dir/data/mysql" ]; then
      fresh=1
      install_db=$(need_program "programa de instalação" mariadb-install-db mysql_install_db) || exit 1
      rm -rf "$dir/data"
      if ! "$install_db" --no-defaults --datadir="$dir/data" \
          --auth-root-authentication-method=socket --auth-root-socket-user="$me" \
          --skip-test-db >"$dir/install.log" 2>&1 </dev/null 8>&-; then
        say "Não foi possível preparar o banco de dados em $dir/data."
        last_words "$dir/install.log" "da instalação"
        rm -rf "$dir/data"
        exit 1
      fi
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
    # Whatever the server says before its log is open (a bad option, a missing library) goes
    # into the same log.
    echo "$(date '+%Y-%m-%d %H:%M:%S') torvel: iniciando $server na porta $port" >>"$dir/error.log"
    "$server" --no-defaults --user="$me" --datadir="$dir/data" --socket="$dir/sock" \
      --port="$port" --bind-address=127.0.0.1 --pid-file="$dir/pid" \
      --innodb-buffer-pool-size="$pool" --character-set-server=utf8mb4 \
      --collation-server=utf8mb4_general_ci --log-error="$dir/error.log" \
      --secure-file-priv="$dir/files" --local-infile=0 \
      --skip-log-bin >>"$dir/error.log" 2>&1 </dev/null 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- &
    pid=$!
    for _ in $(seq 1 600); do
      [ -S "$dir/sock" ] && find_admin && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -z "$admin" ] && ! find_admin; then
      if kill -0 "$pid" 2>/dev/null; then
        say "O servidor de banco de dados (MariaDB) não respondeu em 60 segundos, ou não aceita" \
            "esta conta ($me) como administradora, e foi parado."
        kill "$pid" 2>/dev/null || true
      else
        say "O servidor de banco de dados (MariaDB) não iniciou."
      fi
      last_words "$dir/error.log" "do servidor"
      exit 1
    fi
    lock_down "$database"
    echo "$port" ;;
  *)
    echo "$usage" >&2; exit 2 ;;
esac
