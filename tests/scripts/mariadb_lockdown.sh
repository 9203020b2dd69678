#!/usr/bin/env bash
# The bundled server belongs to the account that started it. Starts a throw-away server with
# scripts/mariadb.sh and checks, from another local account, that nothing of it can be reached
# or read; then that the program's account can do its work on its own database and no more;
# then that a folder left in the old, open state is locked down by the next start; then that an
# account, a right and a routine planted through the wide rights older versions gave the
# program's account are gone after the next start, and that the program (torvelctl, given as
# the first argument) still creates its database, installs the demonstration and stores a
# download.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
server=${TORVEL_MARIADB_SH:-$root/scripts/mariadb.sh}
ctl=${1:-}

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
  # Its rights are on its own database; on the server as a whole only USAGE (logging in).
  if [ "$(grep -c ' ON \*\.\* ' <<<"$grants")" = 1 ] && grep -q '^GRANT USAGE ON \*\.\* ' <<<"$grants" \
      && grep -q ' ON `torvel`\.\* ' <<<"$grants"; then
    ok "$when: torvel's rights are on its database only"
  else
    bad "$when: torvel's rights reach beyond its database: $grants"
  fi
  local priv
  priv=$(torvel_sql -e 'select @@secure_file_priv' 2>&1)
  [ "$priv" = "$dir/files/" ] && ok "$when: secure_file_priv is the private folder" \
    || bad "$when: secure_file_priv is '$priv'"
  [ "$(torvel_sql -e 'select @@innodb_flush_log_at_trx_commit' 2>&1)" = 1 ] \
    && ok "$when: every commit reaches the disk" || bad "$when: relaxed log flushing"
  expect "$when: torvel creates its database, a table, writes and drops it" torvel_sql -e "
    create database if not exists torvel; create table torvel.t (a int primary key);
    insert into torvel.t values (1); update torvel.t set a = 2;
    select a from torvel.t; delete from torvel.t; drop database torvel"
  refused "$when: torvel cannot create another database" torvel_sql -e "create database other"
  refused "$when: torvel cannot write the server's account tables" torvel_sql -e "
    insert into mysql.global_priv values ('%', 'outro', '{\"access\": 549755813887}')"
  refused "$when: torvel cannot read the server's account tables" \
    torvel_sql -e "select * from mysql.global_priv"
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

# What the program's account could do with the rights older versions gave it (INSERT and
# UPDATE on *.*): write an account with every privilege straight into the account table, a
# right for 'torvel' from any host on the server's own database, and a routine that runs with
# the administrator's rights. None of it is live before the next start.
echo "grant insert, update on *.* to 'torvel'@'127.0.0.1'" | "$server" sql "$dir"
# The account has a password (intruso), so only an account check, not the password-less one,
# takes it away.
expect "planted: an account with every privilege, through the account table" torvel_sql -e "
  insert into mysql.global_priv values ('%', 'intruso',
    '{\"access\": 549755813887, \"plugin\": \"mysql_native_password\",
      \"authentication_string\": \"*E9E5B49B786FE3D6B2994F695C5BBE5ED5362AFA\"}');
  insert into mysql.db (host, db, user, select_priv, insert_priv, update_priv)
    values ('%', 'mysql', 'torvel', 'Y', 'Y', 'Y')"
"$server" sql "$dir" <<'SQL'
create database if not exists torvel;
create definer = 'root'@'localhost' procedure torvel.porta() sql security definer select 1;
SQL
"$server" stop "$dir"
port=$("$server" start "$dir" 2>"$base/start.err") || { echo "FAIL the planted folder did not start"; exit 1; }
accounts=$(echo "select concat(user, '@', host) from mysql.global_priv order by 1" | "$server" sql "$dir" -N)
grep -q intruso <<<"$accounts" && bad "planted account survives: $accounts" \
  || ok "the planted account is dropped at the next start"
refused "the planted account cannot log in" \
  env MYSQL_PWD=intruso mariadb --no-defaults -h 127.0.0.1 -P "$port" -u intruso -e 'select 1'
[ "$(echo "select count(*) from mysql.db where user = 'torvel' and host <> '127.0.0.1'" \
     | "$server" sql "$dir" -N)" = 0 ] && ok "the planted right is taken away" \
  || bad "a right for torvel from another host survives"
[ "$(echo "select count(*) from mysql.proc where name = 'porta'" | "$server" sql "$dir" -N)" = 0 ] \
  && ok "the routine in the administrator's name is dropped" || bad "the planted routine survives"
if grep -q "intruso" "$base/start.err" && grep -q "intruso" "$dir/error.log" \
    && grep -q "porta" "$base/start.err"; then
  ok "what was taken away is reported on standard error and in the server's log"
else
  bad "not reported: $(cat "$base/start.err")"
fi
check_locked "planted folder"
[ "$(torvel_sql -e "select count(*) from information_schema.schema_privileges
                     where grantee like '%torvel%' and table_schema <> 'torvel'")" = 0 ] \
  && ok "planted folder: torvel holds no right on another database" \
  || bad "planted folder: torvel holds rights on another database"

# The program still does its work on the locked-down server: creates its database, installs
# the demonstration company and stores a download.
if [ -n "$ctl" ]; then
  work=$base/program
  mkdir -p "$work/home" "$work/windir" "$work/coleta" "$work/docs"
  export TORVEL_HOME=$work/home TORVEL_WINDIR=$work/windir TORVEL_BACKUP_DIR=$work/coleta
  export TORVEL_DOCUMENTS=$work/docs TORVEL_DB_PASSWORD=$(cat "$dir/password")
  conn=(--host 127.0.0.1 --port "$port" --user torvel --database torvel)
  expect "torvelctl creates the program's database" "$ctl" create-database torvel "${conn[@]}"
  expect "torvelctl optimizes it" "$ctl" optimize-database "${conn[@]}"
  expect "torvelctl installs the demonstration company" "$ctl" demo "${conn[@]}"
  printf '%s\r\n' "H 20261209180000 00 LUMET9    " " 20261209080005 00       1B2C3D LUMET9" \
    " 20261209080900 00       0A0B0C LUMET9" "T 000" >"$work/dump.tmd"
  expect "torvelctl stores a download" \
    "$ctl" ingest --model lumet --file "$work/dump.tmd" "${conn[@]}"
  [ "$(torvel_sql -e "select count(*) from torvel.desctot where coletor = 'LUMET9'")" = 2 ] \
    && ok "the download's touches are stored" || bad "the download's touches are not stored"
  refused "torvelctl cannot create another database" \
    "$ctl" create-database outro "${conn[@]}"
fi

echo "$failures failure(s)"
[ "$failures" = 0 ]
