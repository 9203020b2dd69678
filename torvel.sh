#!/usr/bin/env bash
# Sets up and runs Torvel: installs what is missing, builds, starts the bundled private
# MariaDB server (initialised on first use, bound to 127.0.0.1), on first use writes
# TORVEL.INI pointing at it and creates the database, then opens the program in the program
# folder. The bundled server stops when the program exits.
# Set TORVEL_EXTERNAL_DB=1 to leave the bundled server alone and use the server that
# TORVEL.INI names (see README). With --demo, a new database receives a demonstration company
# and the simulated terminals a day of rounds to download.
set -euo pipefail
demo=0
args=()
for a in "$@"; do
  if [ "$a" = "--demo" ]; then demo=1; else args+=("$a"); fi
done
root=$(cd "$(dirname "$0")" && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
home=${TORVEL_HOME:-$HOME/.local/share/torvel}
export TORVEL_HOME=$home
mkdir -p "$home"

say() { echo "torvel: $*" >&2; }
say "verificando os pacotes necessários..."
"$root/scripts/deps.sh"
say "compilando (a primeira vez leva alguns minutos)..."
"$root/scripts/build.sh" --target torvel torvelctl mvigia torvel-carregar-terminal >/dev/null

ctl="$build/src/cli/torvelctl"
[ -f "$home/TORVEL.TXT" ] || cp "$root/docs/TORVEL.TXT" "$home/TORVEL.TXT"
# The Vigia Bastão simulator lives apart from where the real program is installed, and runs
# only when the simulators are chosen (TORVEL.INI, COM/SIMULADORES; --demo sets it). A copy an
# older launcher put in the program folder's own place is taken away.
if [ -f "$home/.mvigia-simulador" ]; then rm -f "$home/mvigia" "$home/.mvigia-simulador"; fi
mkdir -p "$home/simuladores"
cp "$build/tools/mvigia" "$home/simuladores/mvigia"

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
  port=$("$root/scripts/mariadb.sh" start "$dbdir")
  trap '"$root/scripts/mariadb.sh" stop "$dbdir"' EXIT
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
  if ! printf 'use `%s`\n' "$db" | "$root/scripts/mariadb.sh" sql "$dbdir" >/dev/null 2>&1; then
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
"$build/src/app/torvel" ${args[@]+"${args[@]}"} || status=$?
exit $status
