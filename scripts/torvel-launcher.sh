#!/usr/bin/env bash
# Starts Torvel: the bundled private MariaDB server (initialised on first use, bound to
# 127.0.0.1, private to this account), on first use TORVEL.INI pointing at it and the database,
# then the program in the program folder. The bundled server stops when the program exits.
# Set TORVEL_EXTERNAL_DB=1 to leave the bundled server alone and use the server that
# TORVEL.INI names (see README). With --demo, a new database receives a demonstration company
# and the simulated terminals a day of rounds to download.
#
# Installed as `torvel` by the package, it finds everything from its own place
# (<prefix>/bin/torvel: the program and the simulators in <prefix>/lib/torvel, the help text and
# the database helper in <prefix>/share/torvel); ./torvel.sh runs it pointed at a build.
set -euo pipefail
here=$(cd "$(dirname "$(readlink -f "$0")")" && pwd)
prefix=$(cd "$here/.." && pwd)
: "${TORVEL_PROGRAM:=$prefix/lib/torvel/torvel}"
: "${TORVEL_CTL:=$here/torvelctl}"
: "${TORVEL_TOOLS:=$prefix/lib/torvel}"
: "${TORVEL_SHARE:=$prefix/share/torvel}"
: "${TORVEL_SCRIPTS:=$prefix/share/torvel}"
demo=0
args=()
for a in "$@"; do
  if [ "$a" = "--demo" ]; then demo=1; else args+=("$a"); fi
done
home=${TORVEL_HOME:-$HOME/.local/share/torvel}
export TORVEL_HOME=$home
mkdir -p "$home"

say() { echo "torvel: $*" >&2; }
ctl=$TORVEL_CTL
[ -f "$home/TORVEL.TXT" ] || cp "$TORVEL_SHARE/TORVEL.TXT" "$home/TORVEL.TXT"
# The Vigia Bastão simulator lives apart from where the real program is installed, and runs
# only when the simulators are chosen (TORVEL.INI, COM/SIMULADORES; --demo sets it). A copy an
# older launcher put in the program folder's own place is taken away.
if [ -f "$home/.mvigia-simulador" ]; then rm -f "$home/mvigia" "$home/.mvigia-simulador"; fi
mkdir -p "$home/simuladores"
cp "$TORVEL_TOOLS/mvigia" "$home/simuladores/mvigia"

bundled=0
if [ -z "${TORVEL_EXTERNAL_DB:-}" ]; then
  ini_bundled=$("$ctl" ini-get CONFIG BANCOINTERNO 2>/dev/null || true)
  ini_host=$("$ctl" ini-get BANCO HostName 2>/dev/null || true)
  # The bundled server serves a new installation, and one that chose it before.
  if [ "$ini_bundled" = "1" ] || [ -z "$ini_host" ]; then bundled=1; fi
fi

if [ "$bundled" = 1 ]; then
  dbdir="$home/mariadb"
  say "iniciando o banco de dados em $dbdir..."
  port=$("$TORVEL_SCRIPTS/mariadb.sh" start "$dbdir")
  trap '"$TORVEL_SCRIPTS/mariadb.sh" stop "$dbdir"' EXIT
  "$ctl" ini-set BANCO HostName 127.0.0.1
  "$ctl" ini-set BANCO port "$port"
  "$ctl" ini-set BANCO User torvel
  # On standard input: a program's arguments can be read by every account on the machine.
  "$ctl" ini-set BANCO Password --stdin <"$dbdir/password"
  if [ "$ini_bundled" != "1" ]; then
    "$ctl" ini-set BANCO Database torvel
    "$ctl" ini-set CONFIG CNFBD 1
    "$ctl" ini-set CONFIG BANCOINTERNO 1
  fi
  db=$("$ctl" ini-get BANCO Database)
  # The name goes into SQL run as the server's administrator: only a plain identifier, the same
  # names "create-database" accepts.
  if ! (LC_ALL=C; [[ $db =~ ^[A-Za-z0-9_]{1,64}$ ]]); then
    echo "Nome de banco de dados inválido no TORVEL.INI (seção BANCO, chave Database):" \
         "\"$db\". Use só letras sem acento, dígitos e sublinhado, até 64 caracteres." >&2
    exit 1
  fi
  if ! printf 'use `%s`\n' "$db" | "$TORVEL_SCRIPTS/mariadb.sh" sql "$dbdir" >/dev/null 2>&1; then
    say "criando o banco de dados $db..."
    "$ctl" create-database "$db" >/dev/null
  fi
fi

if [ "$demo" = 1 ]; then
  say "instalando a empresa de demonstração..."
  "$ctl" demo || true
fi

cd "$home"
status=0
say "abrindo o Torvel."
"$TORVEL_PROGRAM" ${args[@]+"${args[@]}"} || status=$?
exit $status
