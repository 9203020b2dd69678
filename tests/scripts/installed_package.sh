#!/usr/bin/env bash
# The installed package (CI builds and installs it) as an ordinary account uses it: the
# commands answer --version, the manuals and the package's documents are in place, the
# installed launcher brings up the bundled server and the program from the desktop's PATH and
# stops the server when the program ends. Then the package is removed, which must leave the
# account's data alone, and installed again from the same .deb.
#   installed_package.sh BUILD_DIR
# Skipped (77) where the package is not installed or the test is not root.
set -uo pipefail
build=$1
user=tvpackage
normal_path=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games

dpkg-query -W -f='${Status}' torvel 2>/dev/null | grep -q 'install ok installed' \
  || { echo "the torvel package is not installed; skipped"; exit 77; }
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && command -v useradd >/dev/null \
  || { echo "needs root, setpriv and useradd; skipped"; exit 77; }

failures=0
ok() { echo "ok   $1"; }
bad() { echo "FAIL $1"; failures=$((failures + 1)); }

id "$user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /bin/bash "$user" \
  || { echo "could not create the account $user"; exit 1; }
work=$(mktemp -d)
chmod 755 "$work"
home=$work/home
mkdir -p "$home" && chown "$user:" "$home"
data=$home/.local/share/torvel
cleanup() {
  local p
  for p in $(pgrep -u "$user" -f '^/usr/lib/torvel/torvel'); do kill "$p" 2>/dev/null; done
  [ -f "$data/mariadb/pid" ] && kill "$(cat "$data/mariadb/pid")" 2>/dev/null
  sleep 1
  rm -rf "$work"
  userdel "$user" 2>/dev/null
}
trap cleanup EXIT

as_user() {
  (cd "$home" && setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups \
     env -i PATH=$normal_path HOME="$home" USER="$user" LOGNAME="$user" LANG=C.UTF-8 \
     QT_QPA_PLATFORM=offscreen TORVEL_DB_BUFFER_POOL=64M TORVEL_REPORT_LOGIN=1 "$@")
}
wait_for() {
  local end=$((SECONDS + $1)); shift
  while [ $SECONDS -lt $end ]; do "$@" && return 0; sleep 0.5; done
  return 1
}

version=$(dpkg-query -W -f='${Version}' torvel)
[ "$(as_user torvel --version 2>&1)" = "torvel $version" ] && ok "torvel --version: $version" \
  || bad "torvel --version: $(as_user torvel --version 2>&1)"
[ "$(as_user torvelctl --version 2>&1)" = "torvelctl $version" ] && ok "torvelctl --version" \
  || bad "torvelctl --version: $(as_user torvelctl --version 2>&1)"
for f in /usr/share/man/man1/torvel.1.gz /usr/share/man/man1/torvelctl.1.gz \
         /usr/share/doc/torvel/copyright /usr/share/doc/torvel/changelog.gz; do
  [ -s "$f" ] && ok "installed: $f" || bad "missing: $f"
done
zcat /usr/share/man/man1/torvel.1.gz | grep -q "TORVEL_EXTERNAL_DB" \
  && ok "the manual holds the --help text" || bad "the manual lacks the --help text"

# The installed launcher, as the desktop's menu runs it.
as_user torvel >"$work/run.out" 2>"$work/run.err" </dev/null &
launcher=$!
wait_for 60 grep -q login-shown "$work/run.out" && ok "the installed launcher reaches the login" \
  || bad "the installed launcher did not reach the login: $(cat "$work/run.err")"
server=$(cat "$data/mariadb/pid" 2>/dev/null)
as_user torvelctl ping >/dev/null 2>&1 && ok "the bundled server answers" \
  || bad "the bundled server does not answer"
program=$(pgrep -u "$user" -f '^/usr/lib/torvel/torvel' | head -1)
[ -n "$program" ] && kill -TERM "$program"
wait_for 30 bash -c "! kill -0 $launcher 2>/dev/null" && ok "the launcher ends with its program" \
  || bad "the launcher did not end"
[ -n "$server" ] && wait_for 15 bash -c "! kill -0 $server 2>/dev/null" \
  && ok "the server stops with the program" || bad "the server still runs"

# Removing the package keeps the account's data; the same .deb goes back in.
deb=""
for d in "$build"/torvel_*.deb; do
  [ -f "$d" ] && [ "$(dpkg-deb -f "$d" Version)" = "$version" ] && deb=$d
done
if [ -z "$deb" ]; then
  echo "no .deb of version $version in $build: removal not checked"
else
  if dpkg -r torvel >"$work/remove.log" 2>&1; then ok "the package is removed"; else
    bad "removal failed: $(cat "$work/remove.log")"
  fi
  left=$(ls -d /usr/bin/torvel /usr/bin/torvelctl /usr/lib/torvel /usr/share/torvel \
              /usr/share/man/man1/torvel.1.gz 2>/dev/null)
  [ -z "$left" ] && ok "nothing of the package is left" || bad "left behind: $left"
  [ -s "$data/TORVEL.INI" ] && [ -d "$data/mariadb/data/mysql" ] \
    && ok "the account's data is kept" || bad "the account's data is gone"
  if dpkg -i "$deb" >"$work/install.log" 2>&1; then ok "the package is installed again"; else
    bad "reinstall failed: $(cat "$work/install.log")"
  fi
fi

echo "$failures failure(s)"
[ "$failures" = 0 ]
