#!/usr/bin/env bash
# The installed torvelctl (from the Debian package CI builds and installs) works on its own:
# it answers --help, creates a database on the test server and installs the demonstration
# company in it, from a folder that is no checkout. Skipped (77) where the package is not
# installed.
set -euo pipefail
ctl=/usr/bin/torvelctl
[ -x "$ctl" ] || { echo "torvelctl is not installed; skipped"; exit 77; }
dir=$1
root=$2
port=${TORVEL_TEST_DB_PORT:-$(cat "$dir/port")}
export TORVEL_DB_PASSWORD=${TORVEL_TEST_DB_PASSWORD:-$(cat "$dir/password")}
work=$(mktemp -d)
db=tv_installed_$$
trap '"$root/scripts/mariadb.sh" sql "$dir" -e "drop database if exists $db" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export TORVEL_HOME="$work/home" TORVEL_WINDIR="$work/windir" TORVEL_BACKUP_DIR="$work/coleta"
export TORVEL_DOCUMENTS="$work/docs" XDG_CONFIG_HOME="$work/config"
mkdir -p "$TORVEL_HOME" "$TORVEL_WINDIR" "$TORVEL_BACKUP_DIR" "$TORVEL_DOCUMENTS"
cd "$work"
conn=(--host 127.0.0.1 --port "$port" --user torvel --database "$db")
help=$("$ctl" --help)
grep -q "create-database" <<<"$help"
"$ctl" create-database "$db" --host 127.0.0.1 --port "$port" --user torvel
"$ctl" demo "${conn[@]}"
# The demonstration company is there: its collectors list through the installed program.
rows=$("$ctl" listing collectors --tsv "${conn[@]}" | wc -l)
[ "$rows" -ge 4 ] || { echo "expected the demonstration's collectors, got $rows lines" >&2; exit 1; }
echo "installed torvelctl: create-database and demo on $db, $rows collectors"
