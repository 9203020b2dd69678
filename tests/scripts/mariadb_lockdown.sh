#!/usr/bin/env bash
# The bundled server belongs to the account that started it. Starts a throw-away server with
# scripts/mariadb.sh and checks, from another local account, that nothing of it can be reached
# or read; then that the program's account can do its work and no more; then that a folder left
# in the old, open state is locked down by the next start.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
server=${TORVEL_MARIADB_SH:-$root/scripts/mariadb.sh}

if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then
  echo "needs root and setpriv to act as another account"; exit 77
fi
as_other() {
  setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups "$@"
}

failures=0
ok() { echo "ok   $1"; }
bad() { echo "FAIL $1"; failures=$((failures + 1)); }
expect() {  # expect DESCRIPTION COMMAND...: the command must succeed
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then ok "$what"; else bad "$what"; fi
}
refused() {  # refused DESCRIPTION COMMAND...: the command must fail
  local what=$1; shift
  if "$@" >/dev/null 2>&1; then bad "$what"; else ok "$what"; fi
}

# A parent others may pass through, as a home folder usually is.
base=$(mktemp -d)
chmod 755 "$base"
dir=$base/db
trap '"$server" stop "$dir" >/dev/null 2>&1; rm -rf "$base"' EXIT

torvel_sql() {  # the program's account over TCP; the password through the environment
  MYSQL_PWD=$(cat "$dir/password") mariadb --no-defaults -h 127.0.0.1 -P "$port" -u torvel \
    -N -B "$@"
}

check_locked() {
  local when=$1 grants
  [ "$(stat -c %a "$dir")" = 700 ] && ok "$when: server folder is 0700" \
    || bad "$when: server folder is $(stat -c %a "$dir")"
  [ "$(stat -c %a "$dir/data")" = 700 ] && ok "$when: data folder is 0700" \
    || bad "$when: data folder is $(stat -c %a "$dir/data")"
  refused "$when: another account cannot list the data folder" as_other ls "$dir/data"
  refused "$when: another account cannot read the password" as_other cat "$dir/password"
  refused "$when: another account cannot use the socket as root" \
    as_other mariadb --no-defaults -S "$dir/sock" -u root -e 'select 1'
  refused "$when: another account cannot use the socket as itself" \
    as_other mariadb --no-defaults -S "$dir/sock" -e 'select 1'
  refused "$when: root without a password over 127.0.0.1 is refused" \
    as_other mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root -e 'select 1'
  refused "$when: root without a password over 127.0.0.1 is refused, even for the owner" \
    mariadb --no-defaults -h 127.0.0.1 -P "$port" -u root -e 'select 1'
  refused "$when: torvel without its password is refused" \
    mariadb --no-defaults -h 127.0.0.1 -P "$port" -u torvel -e 'select 1'
  local open
  open=$(echo "select count(*) from mysql.global_priv
                where ifnull(json_value(priv, '\$.account_locked'), '0') not in ('1', 'true')
                  and ifnull(json_value(priv, '\$.plugin'), 'mysql_native_password')
                      in ('mysql_native_password', 'mysql_old_password', '')
                  and ifnull(json_value(priv, '\$.authentication_string'), '') = ''" \
         | "$server" sql "$dir" -N 2>&1)
  [ "$open" = 0 ] && ok "$when: no account without a password" \
    || bad "$when: accounts without a password: $open"
  grants=$(torvel_sql -e 'show grants' 2>&1)
  if [ -z "$grants" ] || grep -qiE 'FILE|GRANT OPTION|ALL PRIVILEGES|SUPER|CREATE USER' <<<"$grants"; then
    bad "$when: torvel's grants are limited: $grants"
  else
    ok "$when: torvel has neither FILE nor GRANT OPTION"
  fi
  local priv
  priv=$(torvel_sql -e 'select @@secure_file_priv' 2>&1)
  [ "$priv" = "$dir/files/" ] && ok "$when: secure_file_priv is the private folder" \
    || bad "$when: secure_file_priv is '$priv'"
  [ "$(torvel_sql -e 'select @@innodb_flush_log_at_trx_commit' 2>&1)" = 1 ] \
    && ok "$when: every commit reaches the disk" || bad "$when: relaxed log flushing"
  expect "$when: torvel creates a database, a table, writes and drops it" torvel_sql -e "
    create database lockdown_check; create table lockdown_check.t (a int primary key);
    insert into lockdown_check.t values (1); update lockdown_check.t set a = 2;
    select a from lockdown_check.t; delete from lockdown_check.t; drop database lockdown_check"
  refused "$when: torvel cannot write files on the server" \
    torvel_sql -e "select 1 into outfile '$dir/files/x.txt'"
  expect "$when: the owner administers the server through the socket" \
    bash -c "echo 'select count(*) from mysql.user' | '$server' sql '$dir'"
}

port=$("$server" start "$dir") || { echo "FAIL the server did not start"; exit 1; }
check_locked "fresh"

# The state an older version of this script left: root without a password, also over TCP, an
# anonymous account, torvel with every privilege and GRANT OPTION, open folders.
"$server" sql "$dir" <<'SQL'
alter user 'root'@'localhost' identified via mysql_native_password using '';
create user 'root'@'127.0.0.1';
grant all privileges on *.* to 'root'@'127.0.0.1' with grant option;
create user ''@'localhost';
grant all privileges on *.* to 'torvel'@'127.0.0.1' with grant option;
SQL
"$server" stop "$dir"
chmod 755 "$dir" "$dir/data"
password=$(cat "$dir/password")
port=$("$server" start "$dir") || { echo "FAIL the old folder did not start"; exit 1; }
check_locked "old folder"
[ "$(cat "$dir/password")" = "$password" ] && ok "old folder: torvel keeps its password" \
  || bad "old folder: torvel's password changed"
port=$("$server" start "$dir")  # already running: nothing changes
expect "a second start leaves the running server as it is" torvel_sql -e 'select 1'

echo "$failures failure(s)"
[ "$failures" = 0 ]
