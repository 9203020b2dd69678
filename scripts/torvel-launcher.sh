#!/usr/bin/env bash
# Starts Torvel: the bundled private MariaDB server (initialised on first use, bound to
# 127.0.0.1, private to this account), on first use TORVEL.INI pointing at it and the database,
# then the program in the program folder. Set TORVEL_EXTERNAL_DB=1 to leave the bundled server
# alone and use the server that TORVEL.INI names (see README). With --demo, a new database
# receives a demonstration company and the simulated terminals a day of rounds to download.
# --help and --version are answered by the program at once, starting nothing.
#
# A second start while Torvel is open reuses the running server, and its program hands over to
# the open window and ends. The server is stopped when the last launcher using it ends, and
# only if a launcher started it: every launcher holds a shared lock on DIR/.em-uso while it
# runs (its children do not inherit it), and one that can turn it into an exclusive lock at
# its end is the last.
#
# When Torvel cannot start, the reason goes to standard error and, when that is no terminal
# (started from the desktop's menu), to a window as well.
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

for a in "$@"; do
  case "$a" in
    --help|-h|--version|-V) exec "$TORVEL_PROGRAM" "$a" ;;
  esac
done
demo=0
args=()
for a in "$@"; do
  if [ "$a" = "--demo" ]; then demo=1; else args+=("$a"); fi
done

say() { echo "torvel: $*" >&2; }

# fail MESSAGE: says why Torvel does not start, where someone will read it, and ends.
fail() {
  local text=$1
  printf '%s\n' "$text" >&2
  if [ ! -t 2 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    printf '%s\n' "$text" | "$TORVEL_PROGRAM" --startup-error 9>&- 2>/dev/null ||
      zenity --error --title="Torvel - Controle de Rondas" --text="$text" 2>/dev/null ||
      printf '%s\n' "$text" | xmessage -center -file - 2>/dev/null || true
  fi
  exit 1
}

home=${TORVEL_HOME:-$HOME/.local/share/torvel}
export TORVEL_HOME=$home
mkdir -p "$home" || fail "Não foi possível criar a pasta do Torvel: $home"

ctl=$TORVEL_CTL
[ -f "$home/TORVEL.TXT" ] || cp "$TORVEL_SHARE/TORVEL.TXT" "$home/TORVEL.TXT"
# The Vigia Bastão simulator lives apart from where the real program is installed, and runs
# only when the simulators are chosen (TORVEL.INI, COM/SIMULADORES; --demo sets it). A copy an
# older launcher put in the program folder's own place is taken away. The copy is renamed into
# place, as an open Torvel may be running the one there.
if [ -f "$home/.mvigia-simulador" ]; then rm -f "$home/mvigia" "$home/.mvigia-simulador"; fi
mkdir -p "$home/simuladores"
cp "$TORVEL_TOOLS/mvigia" "$home/simuladores/mvigia.novo"
mv -f "$home/simuladores/mvigia.novo" "$home/simuladores/mvigia"

bundled=0
if [ -z "${TORVEL_EXTERNAL_DB:-}" ]; then
  ini_bundled=$("$ctl" ini-get CONFIG BANCOINTERNO 2>/dev/null || true)
  ini_host=$("$ctl" ini-get BANCO HostName 2>/dev/null || true)
  # The bundled server serves a new installation, and one that chose it before.
  if [ "$ini_bundled" = "1" ] || [ -z "$ini_host" ]; then bundled=1; fi
fi

if [ "$bundled" = 1 ]; then
  dbdir="$home/mariadb"
  db=torvel
  [ "$ini_bundled" != "1" ] || db=$("$ctl" ini-get BANCO Database)
  # The name goes into the program account's rights and into SQL run as the server's
  # administrator: only a plain identifier, the same names "create-database" accepts.
  if ! (LC_ALL=C; [[ $db =~ ^[A-Za-z0-9_]{1,64}$ ]]); then
    fail "Nome de banco de dados inválido no TORVEL.INI (seção BANCO, chave Database):\
 \"$db\". Use só letras sem acento, dígitos e sublinhado, até 64 caracteres."
  fi
  (umask 077; mkdir -p "$dbdir")
  exec 9>>"$dbdir/.em-uso"
  flock -s 9
  was_running=0
  if "$TORVEL_SCRIPTS/mariadb.sh" status "$dbdir"; then
    was_running=1
    say "usando o banco de dados já iniciado em $dbdir."
  else
    say "iniciando o banco de dados em $dbdir..."
  fi
  errors=$(mktemp)
  if ! port=$("$TORVEL_SCRIPTS/mariadb.sh" start "$dbdir" "$db" 2>"$errors" 9>&-); then
    why=$(sed 's/^mariadb.sh: //' "$errors"); rm -f "$errors"
    fail "O Torvel não pôde ser aberto.

$why"
  fi
  sed 's/^mariadb.sh: /torvel: /' "$errors" >&2; rm -f "$errors"
  # The mark tells the last launcher out that a launcher started this server, so stopping it
  # is ours to do; a server started another way is left running.
  [ "$was_running" = 1 ] || touch "$dbdir/.iniciado-pelo-torvel"
  finish() {
    # The day's copy is let finish before the server may be stopped under it.
    [ -z "${copy_pid:-}" ] || wait "$copy_pid" 2>/dev/null || true
    # Last one out: no other launcher holds its shared lock.
    if flock -x -n 9 && [ -f "$dbdir/.iniciado-pelo-torvel" ]; then
      "$TORVEL_SCRIPTS/mariadb.sh" stop "$dbdir" 9>&-
      rm -f "$dbdir/.iniciado-pelo-torvel"
    fi
  }
  trap finish EXIT
  "$ctl" ini-set BANCO HostName 127.0.0.1
  "$ctl" ini-set BANCO port "$port"
  "$ctl" ini-set BANCO User torvel
  # On standard input: a program's arguments can be read by every account on the machine.
  "$ctl" ini-set BANCO Password --stdin <"$dbdir/password"
  if [ "$ini_bundled" != "1" ]; then
    "$ctl" ini-set BANCO Database "$db"
    "$ctl" ini-set CONFIG CNFBD 1
    "$ctl" ini-set CONFIG BANCOINTERNO 1
  fi
  if ! printf 'use `%s`\n' "$db" | "$TORVEL_SCRIPTS/mariadb.sh" sql "$dbdir" >/dev/null 2>&1; then
    say "criando o banco de dados $db..."
    if ! created=$("$ctl" create-database "$db" 2>&1 9>&-); then
      fail "O Torvel não pôde ser aberto: não foi possível criar o banco de dados $db.

$created"
    fi
  fi
fi

if [ "$demo" = 1 ]; then
  say "instalando a empresa de demonstração..."
  "$ctl" demo 9>&- || true
fi

# The first start of each day copies the bundled server's database, in the background so the
# login never waits for it; a failure is kept in the copies folder and shown by the program.
if [ "$bundled" = 1 ]; then
  nice -n 10 "$ctl" backup --automatic >"$dbdir/copia-automatica.log" 2>&1 9>&- &
  copy_pid=$!
fi

cd "$home"
status=0
say "abrindo o Torvel."
"$TORVEL_PROGRAM" ${args[@]+"${args[@]}"} 9>&- || status=$?
exit $status
