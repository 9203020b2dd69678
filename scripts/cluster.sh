#!/usr/bin/env bash
# A MariaDB Galera cluster of N nodes on this computer, every node in its own folder under DIR:
# for trying Torvel against a cluster, for the cluster's tests, and as the pattern of a real
# deployment (docs/SCALE.md says how a real one differs).
#   cluster.sh start DIR [N] [DATABASE]
#                          N nodes (3 unless told), on 127.0.0.1 only: node 1 starts the
#                          cluster, the others join it one at a time and each is waited for
#                          until it is Synced; prints one line per node, "node<i> 127.0.0.1
#                          <port>", and nothing else on standard output. Makes the program's
#                          account 'torvel'@'127.0.0.1' (password in DIR/password) with its
#                          rights on DATABASE only (default torvel; '*' gives them on every
#                          database, for throw-away clusters)
#   cluster.sh stop DIR    stops every node
#   cluster.sh status DIR  the cluster size each node sees (wsrep_cluster_size); exit 0 when
#                          every node runs
#   cluster.sh sql DIR I [CLIENT OPTIONS]
#                          runs the SQL read from standard input as the administrator on node I
# DIR/node<i>/ holds node i's data, socket (sock), pid, ports (client, group, IST and state
# transfer ports) and error.log.
#
# The same rules as the bundled server (scripts/mariadb.sh): DIR and every node's folders are
# 0700 and belong to the account that starts the cluster; the only administrator is that
# account, through unix_socket authentication on a node's socket; no anonymous account and no
# account reachable from another computer; secrets never on a command line.
#
# A new node receives the data by rsync. Run as root, rsync's daemon would drop to the account
# "nobody", which may not write into a 0700 folder of root's: the nodes then find, first on
# their PATH, a wrapper that keeps the daemon in the owner's account.
set -euo pipefail

usage="uso: cluster.sh start DIR [N] [BANCO] | stop DIR | status DIR | sql DIR I [OPÇÕES]"
cmd=${1:?$usage}
dir=${2:?$usage}
here=$(cd "$(dirname "$0")" && pwd)
umask 077
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
me=$(id -un)

say() { echo "cluster.sh: $*" >&2; }

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

provider() {
  local f
  for f in ${TORVEL_GALERA_PROVIDER:-} /usr/lib/galera/libgalera_smm.so /usr/lib/galera-4/libgalera_smm.so \
           /usr/lib64/galera-4/libgalera_smm.so /usr/lib64/galera/libgalera_smm.so; do
    [ -n "$f" ] && [ -f "$f" ] && { echo "$f"; return 0; }
  done
  return 1
}

nodes() {  # the node numbers made in DIR, in order
  local d
  for d in "$dir"/node*; do
    [ -d "$d" ] && echo "${d##*/node}"
  done | sort -n
}

node_pid() { [ -f "$dir/node$1/pid" ] && cat "$dir/node$1/pid"; }
running() { local p; p=$(node_pid "$1") && [ -n "$p" ] && kill -0 "$p" 2>/dev/null; }

mariadb_client=""
client() {  # client I [OPTIONS]: the administrator on node I's socket
  local i=$1; shift
  [ -n "$mariadb_client" ] || mariadb_client=$(find_program mariadb mysql) ||
    { say "O cliente do MariaDB (mariadb) não foi encontrado: instale mariadb-client."; exit 1; }
  "$mariadb_client" --no-defaults -S "$dir/node$i/sock" -u "$me" "$@"
}

# A port nobody listens on and that this start has not given to another node yet.
taken=" "
free_port() {
  local p
  for _ in $(seq 1 400); do
    p=$(( 20000 + RANDOM % 30000 ))
    case "$taken" in *" $p "*) continue ;; esac
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      taken="$taken$p "; echo "$p"; return 0
    fi
  done
  return 1
}

state() {  # the node's wsrep state ("Synced", "Joining" ...), empty when it does not answer
  client "$1" -N -B -e "show status like 'wsrep_local_state_comment'" 2>/dev/null | cut -f2
}

stop_node() {
  local i=$1 pid
  pid=$(node_pid "$i") || return 0
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/node$i/pid"
}

last_words() {
  echo "Veja o registro $1. As últimas mensagens de erro:" >&2
  { grep -F ERROR "$1" 2>/dev/null || tail -n 10 "$1" 2>/dev/null; } | tail -n 8 >&2
}

case "$cmd" in
  sql)
    i=${3:?$usage}
    [ -d "$dir/node$i" ] || { say "O nó $i não existe em $dir."; exit 2; }
    running "$i" || { say "O nó $i em $dir não está funcionando."; exit 1; }
    client "$i" "${@:4}" ;;
  status)
    all=0
    for i in $(nodes); do
      if running "$i"; then
        size=$(client "$i" -N -B -e "show status like 'wsrep_cluster_size'" 2>/dev/null | cut -f2)
        echo "node$i ${size:-?} $(state "$i")"
      else
        echo "node$i parado"; all=1
      fi
    done
    exit $all ;;
  stop)
    exec 8>>"$dir/.lock"; flock 8
    # Node 1 last: the last node to leave is the one that may start the cluster again.
    for i in $(nodes | sort -rn); do stop_node "$i"; done ;;
  start)
    n=${3:-3}
    database=${4:-torvel}
    (LC_ALL=C; [[ $n =~ ^[1-9][0-9]?$ ]]) || { say "Número de nós inválido: \"$n\""; exit 2; }
    if [ "$database" != '*' ] && ! (LC_ALL=C; [[ $database =~ ^[A-Za-z0-9_]{1,64}$ ]]); then
      say "Nome de banco de dados inválido: \"$database\""; exit 2
    fi
    chmod 700 "$dir"
    exec 8>>"$dir/.lock"; flock 8
    if ! provider >/dev/null || ! find_program mariadbd mysqld >/dev/null || ! command -v rsync >/dev/null; then
      "$here/deps.sh" >&2 || true
    fi
    galera=$(provider) || { say "O Galera (libgalera_smm.so) não foi encontrado: instale galera-4."; exit 1; }
    server=$(find_program mariadbd mysqld) || { say "O servidor do MariaDB não foi encontrado: instale mariadb-server."; exit 1; }
    install_db=$(find_program mariadb-install-db mysql_install_db) || { say "mariadb-install-db não foi encontrado."; exit 1; }
    command -v rsync >/dev/null || { say "O rsync não foi encontrado: instale rsync."; exit 1; }

    # The ports stay those of the first start, so saved host lists stay valid.
    for i in $(seq 1 "$n"); do
      d=$dir/node$i
      mkdir -p "$d/data" "$d/files"
      chmod 700 "$d" "$d/data" "$d/files"
      [ -s "$d/ports" ] && taken="$taken$(cat "$d/ports") "
    done
    for i in $(seq 1 "$n"); do
      d=$dir/node$i
      if [ ! -s "$d/ports" ]; then
        echo "$(free_port) $(free_port) $(free_port) $(free_port)" >"$d/ports"
      fi
    done
    members=""
    for i in $(seq 1 "$n"); do
      read -r _ g _ _ <"$dir/node$i/ports"
      members="${members:+$members,}127.0.0.1:$g"
    done

    path_prefix=""
    base_options=()
    if [ "$(id -u)" -eq 0 ]; then
      mkdir -p "$dir/bin"
      real_rsync=$(command -v rsync)
      cat >"$dir/bin/rsync" <<EOF
#!/bin/sh
# The state transfer's rsync daemon stays in this account instead of dropping to "nobody".
case " \$* " in
  *" --daemon "*) exec "$real_rsync" "\$@" --dparam=uid=$(id -u) --dparam=gid=$(id -g) ;;
esac
exec "$real_rsync" "\$@"
EOF
      chmod 700 "$dir/bin/rsync"
      # The server puts its base folder's bin first on the transfer's PATH: the base folder
      # is DIR then, and every other folder the server reads from its base is given as is.
      base_options=(--basedir="$dir" --plugin-dir="$("$server" --no-defaults --verbose --help 2>/dev/null |
        awk '$1 == "plugin-dir" {print $2}')" --character-sets-dir="$("$server" --no-defaults --verbose --help \
        2>/dev/null | awk '$1 == "character-sets-dir" {print $2}')" --lc-messages-dir=/usr/share/mysql)
      path_prefix="$dir/bin:"
    fi

    start_node() {  # start_node I [--wsrep-new-cluster]
      local i=$1 d=$dir/node$1 p g ist sst
      read -r p g ist sst <"$d/ports"
      echo "$(date '+%Y-%m-%d %H:%M:%S') torvel: iniciando o nó $i na porta $p" >>"$d/error.log"
      PATH="$path_prefix$PATH" "$server" --no-defaults --user="$me" "${base_options[@]}" --datadir="$d/data" \
        --socket="$d/sock" --port="$p" --bind-address=127.0.0.1 --pid-file="$d/pid" \
        --innodb-buffer-pool-size="${TORVEL_DB_BUFFER_POOL:-128M}" --character-set-server=utf8mb4 \
        --collation-server=utf8mb4_general_ci --log-error="$d/error.log" \
        --secure-file-priv="$d/files" --local-infile=0 \
        --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
        --wsrep-on=ON --wsrep-provider="$galera" --wsrep-cluster-name=torvel \
        --wsrep-cluster-address="gcomm://$members" --wsrep-node-name="node$i" \
        --wsrep-node-address="127.0.0.1:$g" --wsrep-node-incoming-address="127.0.0.1:$p" \
        --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:$g;ist.recv_addr=127.0.0.1:$ist;gcache.size=128M" \
        --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:$sst" \
        "${@:2}" >>"$d/error.log" 2>&1 </dev/null 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&- &
      echo $! >"$d/pid"
    }

    wait_synced() {  # wait_synced I SECONDS
      local i=$1 s
      for _ in $(seq 1 $(( $2 * 5 ))); do
        running "$i" || break
        s=$(state "$i")
        [ "$s" = Synced ] && return 0
        sleep 0.2
      done
      if running "$i"; then
        say "O nó $i não ficou sincronizado em $2 segundos (estado: ${s:-sem resposta})."
      else
        say "O nó $i não iniciou."
      fi
      last_words "$dir/node$i/error.log"
      return 1
    }

    fail() { for j in $(seq "$n" -1 1); do stop_node "$j"; done; exit 1; }

    # Node 1 starts the cluster: from a new data folder, or from the last state it holds. While
    # other nodes run, the cluster is theirs and node 1 joins it like any other.
    cluster_up=0
    for i in $(seq 2 "$n"); do running "$i" && cluster_up=1; done
    if ! running 1 && [ "$cluster_up" = 1 ]; then
      start_node 1
    elif ! running 1; then
      if [ ! -d "$dir/node1/data/mysql" ]; then
        rm -rf "$dir/node1/data"; mkdir -p "$dir/node1/data"; chmod 700 "$dir/node1/data"
        if ! "$install_db" --no-defaults --datadir="$dir/node1/data" \
            --auth-root-authentication-method=socket --auth-root-socket-user="$me" \
            --skip-test-db >"$dir/node1/install.log" 2>&1 </dev/null 8>&-; then
          say "Não foi possível preparar o banco de dados em $dir/node1/data."
          last_words "$dir/node1/install.log"
          exit 1
        fi
      fi
      # Whatever the other nodes hold, this start takes node 1's state as the cluster's.
      [ -f "$dir/node1/data/grastate.dat" ] &&
        sed -i 's/^safe_to_bootstrap:.*/safe_to_bootstrap: 1/' "$dir/node1/data/grastate.dat"
      start_node 1 --wsrep-new-cluster
    fi
    wait_synced 1 120 || fail

    # The accounts: the owner's (administrator, through the socket only), root and mariadb.sys
    # on the socket, and the program's; every other account is dropped. Account statements
    # reach every node through the cluster.
    if [ "$me" != root ]; then
      client 1 -e "alter user if exists 'root'@'localhost' identified via unix_socket"
    fi
    client 1 -e "alter user if exists 'mariadb.sys'@'localhost' account lock"
    others=$(client 1 -N -B -e "
      select concat(quote(user), '@', quote(host)) from mysql.global_priv
       where (user, host) not in (('$me', 'localhost'), ('root', 'localhost'),
                                  ('mariadb.sys', 'localhost'), ('torvel', '127.0.0.1'))")
    [ -z "$others" ] || client 1 -e "drop user $(echo "$others" | paste -sd, -)"
    if [ ! -s "$dir/password" ] || ! client 1 -N -B \
        -e "select 1 from mysql.global_priv where user = 'torvel' and host = '127.0.0.1'" | grep -q 1; then
      pw=$(head -c 18 /dev/urandom | base64 | tr -dc 'A-Za-z0-9' | head -c 16)
      client 1 <<SQL
create or replace user 'torvel'@'127.0.0.1' identified by '$pw';
SQL
      echo "$pw" >"$dir/password.new" && mv -f "$dir/password.new" "$dir/password"
    fi
    rights="select, insert, update, delete, create, drop, index, alter, create temporary tables,
      lock tables, references, create view, show view, create routine, alter routine, execute,
      trigger, event"
    if [ "$database" = '*' ]; then
      client 1 -e "revoke all privileges, grant option from 'torvel'@'127.0.0.1';
                   grant $rights, show databases on *.* to 'torvel'@'127.0.0.1'"
    else
      client 1 -e "revoke all privileges, grant option from 'torvel'@'127.0.0.1';
                   grant $rights on \`$database\`.* to 'torvel'@'127.0.0.1'"
    fi

    # The others join one at a time: each receives the state from a node already in.
    for i in $(seq 2 "$n"); do
      running "$i" || start_node "$i"
      wait_synced "$i" 180 || fail
    done
    for i in $(seq 1 "$n"); do
      read -r p _ <"$dir/node$i/ports"
      echo "node$i 127.0.0.1 $p"
    done ;;
  *)
    echo "$usage" >&2; exit 2 ;;
esac
