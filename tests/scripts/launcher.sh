#!/usr/bin/env bash
# The launcher as an ordinary account runs it: a PATH without /usr/sbin (where Debian puts the
# database server), a new home folder, no terminal. It must bring up the bundled server and the
# program; a second start must leave both running; the server stops when the program ends;
# --help and --version start nothing; a server that cannot start is explained, in a window
# when there is no terminal.
#   launcher.sh BUILD_DIR SOURCE_DIR
# The launcher runs from a copy laid out as the package installs it, so the account needs no
# access to the build. As root the test makes a throw-away account; otherwise it runs as the
# account running it.
set -uo pipefail
build=$1
source=$2
user=tvlauncher
normal_path=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games

for f in "$build/src/app/torvel" "$build/src/cli/torvelctl" "$build/tools/mvigia"; do
  [ -x "$f" ] || { echo "missing $f: build first"; exit 1; }
done
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null && command -v useradd >/dev/null \
    || { echo "needs setpriv and useradd to act as an ordinary account"; exit 77; }
  id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /bin/bash "$user" \
    || { echo "could not create the account $user"; exit 1; }
  made_user=1
else
  user=$(id -un)
  made_user=0
fi

failures=0
ok() { echo "ok   $1"; }
bad() { echo "FAIL $1"; failures=$((failures + 1)); }

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}" $(pgrep -f "^$prefix/lib/torvel/torvel"); do kill "$p" 2>/dev/null; done
  for h in "$work"/home*; do
    [ -f "$h/.local/share/torvel/mariadb/pid" ] && kill "$(cat "$h/.local/share/torvel/mariadb/pid")" 2>/dev/null
  done
  sleep 1
  [ -n "${KEEP:-}" ] || rm -rf "$work"
  [ "$made_user" = 1 ] && userdel "$user" 2>/dev/null
}
trap cleanup EXIT

# The installed layout: bin/torvel (the launcher), bin/torvelctl, lib/torvel, share/torvel.
prefix=$work/prefix
mkdir -p "$prefix/bin" "$prefix/lib/torvel" "$prefix/share/torvel"
cp "$source/scripts/torvel-launcher.sh" "$prefix/bin/torvel"
cp "$build/src/cli/torvelctl" "$prefix/bin/"
cp "$build/src/app/torvel" "$build/tools/mvigia" "$prefix/lib/torvel/"
cp "$source/scripts/mariadb.sh" "$source/docs/TORVEL.TXT" "$prefix/share/torvel/"
chmod -R a+rX "$prefix"

new_home() {  # new_home NAME: a fresh home folder of the account
  mkdir -p "$work/$1"
  [ "$made_user" = 1 ] && chown "$user:" "$work/$1"
  echo "$work/$1"
}

# as_user HOME COMMAND...: the command as the account, with only what a desktop session gives
# it (and the offscreen display).
as_user() {
  local home=$1; shift
  local env=(env -i PATH=$normal_path HOME="$home" USER="$user" LOGNAME="$user" LANG=C.UTF-8
             QT_QPA_PLATFORM=offscreen TORVEL_DB_BUFFER_POOL=64M TORVEL_REPORT_LOGIN=1
             ${EXTRA_ENV[@]+"${EXTRA_ENV[@]}"})
  if [ "$made_user" = 1 ]; then
    (cd "$home" && setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups \
       "${env[@]}" "$@")
  else
    (cd "$home" && "${env[@]}" "$@")
  fi
}
EXTRA_ENV=()

wait_for() {  # wait_for SECONDS COMMAND...: true as soon as the command succeeds
  local limit=$1; shift
  local end=$((SECONDS + limit))
  while [ $SECONDS -lt $end ]; do "$@" && return 0; sleep 0.5; done
  return 1
}

server_pid() { cat "$1/.local/share/torvel/mariadb/pid" 2>/dev/null; }
answers() { as_user "$1" "$prefix/bin/torvelctl" ping >/dev/null 2>&1; }
alive() { kill -0 "$1" 2>/dev/null; }

# --help and --version answer at once, with no display and without starting anything.
home=$(new_home home-help)
EXTRA_ENV=(QT_QPA_PLATFORM=)
help=$(as_user "$home" timeout 20 "$prefix/bin/torvel" --help 2>&1) && grep -q "Uso: torvel" <<<"$help" \
  && ok "torvel --help answers" || bad "torvel --help: $help"
EXTRA_ENV=()
version=$(as_user "$home" timeout 20 "$prefix/bin/torvel" --version 2>&1)
[[ $version =~ ^torvel\ [0-9]+\.[0-9]+\.[0-9]+$ ]] && ok "torvel --version: $version" \
  || bad "torvel --version: $version"
version=$(as_user "$home" timeout 20 "$prefix/bin/torvelctl" --version 2>&1)
[[ $version =~ ^torvelctl\ [0-9]+\.[0-9]+\.[0-9]+$ ]] && ok "torvelctl --version: $version" \
  || bad "torvelctl --version: $version"
[ ! -e "$home/.local/share/torvel" ] && ok "--help and --version start nothing" \
  || bad "--help or --version made the program folder"

# First start: the server is found outside the PATH, set up, and the program reaches its login.
home=$(new_home home)
started=$SECONDS
as_user "$home" "$prefix/bin/torvel" >"$work/first.out" 2>"$work/first.err" </dev/null &
first=$!
pids+=("$first")
if wait_for 60 grep -q login-shown "$work/first.out"; then
  ok "the first start reaches the login in $((SECONDS - started)) s"
else
  bad "the first start did not reach the login in 60 s: $(cat "$work/first.err")"
fi
server=$(server_pid "$home")
answers "$home" && ok "the bundled server answers the program's account" \
  || bad "the bundled server does not answer"
[ "$(stat -c %a "$home/.local/share/torvel/mariadb")" = 700 ] \
  && ok "the server's folder is private" || bad "the server's folder is not 0700"

# Second start while the first runs: its program hands over and ends, nothing else stops.
as_user "$home" timeout 60 "$prefix/bin/torvel" >"$work/second.out" 2>"$work/second.err" </dev/null
status=$?
[ "$status" = 0 ] && ok "the second start ends at once" \
  || bad "the second start ended with $status: $(cat "$work/second.err")"
sleep 2
alive "$first" && ok "the first program is still running" || bad "the first program ended"
[ -n "$server" ] && [ "$(server_pid "$home")" = "$server" ] && alive "$server" \
  && answers "$home" && ok "the first start's server is still running and answering" \
  || bad "the second start stopped or replaced the server"

# The program ends (as at logout): its launcher stops the server it started.
program=$(pgrep -f "^$prefix/lib/torvel/torvel" | head -1)
if [ -n "$program" ]; then
  kill -TERM "$program"
  wait_for 30 bash -c "! kill -0 $first 2>/dev/null" && ok "the launcher ends with its program" \
    || bad "the launcher did not end with its program"
  [ -n "$server" ] && wait_for 15 bash -c "! kill -0 $server 2>/dev/null" \
    && ok "the server stops when the program that started it ends" \
    || bad "the server still runs after its program ended"
else
  bad "the program's process was not found"
fi

# A server that cannot start: the reason and the log's path, at once; the server's own words
# are in the log.
home=$(new_home home-broken)
as_user "$home" mkdir -p "$home/.local/share/torvel/mariadb/data/mysql"
as_user "$home" sh -c "echo lixo > '$home/.local/share/torvel/mariadb/data/ibdata1'"
started=$SECONDS
as_user "$home" timeout 60 "$prefix/bin/torvel" >/dev/null 2>"$work/broken.err" </dev/null
status=$?
log=$home/.local/share/torvel/mariadb/error.log
if [ "$status" != 0 ] && [ $((SECONDS - started)) -lt 30 ] && grep -qF "$log" "$work/broken.err"; then
  ok "a server that cannot start is reported at once, naming its log"
else
  bad "broken server: status $status after $((SECONDS - started)) s: $(cat "$work/broken.err")"
fi
grep -q "\[ERROR\]" "$log" 2>/dev/null && ok "the server's own words are in its log" \
  || bad "the server's log holds no error: $(tail -5 "$log" 2>/dev/null)"

# Without a terminal, on a desktop, the same reason is shown in a window: the program is asked
# to show it (a stand-in program records the request).
cat >"$work/stand-in" <<EOF
#!/bin/sh
{ echo "args: \$*"; cat; } > "$home/shown"
EOF
chmod 755 "$work/stand-in"
EXTRA_ENV=(DISPLAY=:99 TORVEL_PROGRAM="$work/stand-in")
as_user "$home" timeout 60 "$prefix/bin/torvel" >/dev/null 2>&1 </dev/null
EXTRA_ENV=()
if grep -q "args: --startup-error" "$home/shown" 2>/dev/null && grep -qF "$log" "$home/shown"; then
  ok "without a terminal the reason is shown in a window"
else
  bad "no window for the reason: $(cat "$home/shown" 2>/dev/null)"
fi

echo "$failures failure(s)"
[ "$failures" = 0 ]
