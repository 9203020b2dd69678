#!/usr/bin/env bash
# Screenshots of the desktop program as users see it: builds, starts a throwaway MariaDB and a
# virtual screen with a window manager (titles, frames and focus as on a desktop), installs the
# demonstration company in a temporary installation, and photographs the login, the main
# window, the settings dialog with each tab, a registration window, its search list and the
# help window, then a collection from the simulated Lumet (the collection dialog, the review
# window, the consistency preview), the day's board with a cycle's timeline, and a spreadsheet (the route touch-time sheet, drawn by
# LibreOffice from the .xlsx Torvel wrote), into build/artifacts/screenshots/ (or
# $TORVEL_BUILD_DIR/artifacts/screenshots). The windows are driven from the keyboard, as a user
# without a mouse would (the tile is clicked, as its place in the tab order depends on what had
# the focus before). With --readme the README's pictures are copied to docs/images/.
# Nothing outside the temporary folder is touched; everything started here is stopped at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
out="$build/artifacts/screenshots"
readme=0
[ "${1:-}" = "--readme" ] && readme=1

"$root/scripts/deps.sh"
# LibreOffice draws the spreadsheet; only this script needs it.
if ! command -v soffice >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then DEBIAN_FRONTEND=noninteractive apt-get install -y -q libreoffice-calc-nogui >/dev/null
  else sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -q libreoffice-calc-nogui >/dev/null; fi
fi
"$root/scripts/build.sh" --target torvel torvelctl >/dev/null

work=$(mktemp -d /tmp/torvel-screens.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  "$root/scripts/mariadb.sh" stop "$work/mariadb" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private installation: every folder the program uses lives in the temporary folder.
export TORVEL_HOME="$work/home" TORVEL_WINDIR="$work/windir" TORVEL_BACKUP_DIR="$work/coleta"
export TORVEL_DOCUMENTS="$work/documentos" XDG_CONFIG_HOME="$work/config"
mkdir -p "$TORVEL_HOME" "$TORVEL_WINDIR" "$TORVEL_BACKUP_DIR" "$TORVEL_DOCUMENTS" "$out"
cp "$root/docs/TORVEL.TXT" "$TORVEL_HOME/TORVEL.TXT"
ctl="$build/src/cli/torvelctl"

port=$("$root/scripts/mariadb.sh" start "$work/mariadb")
"$ctl" ini-set BANCO HostName 127.0.0.1
"$ctl" ini-set BANCO port "$port"
"$ctl" ini-set BANCO User torvel
"$ctl" ini-set BANCO Password --stdin <"$work/mariadb/password"
"$ctl" ini-set BANCO Database torvel
"$ctl" ini-set CONFIG CNFBD 1
"$ctl" create-database torvel >/dev/null 2>&1
"$ctl" demo >/dev/null

# A virtual screen on a display nobody uses, with openbox as the window manager.
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "Nenhum display livre para o Xvfb." >&2; exit 1; }
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 1 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.2; done
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 1

shot() {  # shot NAME: the whole screen, as the user sees it
  sleep 0.8
  import -window root "$out/$1.png"
  echo "$out/$1.png"
}
wait_window() {  # wait_window TITLE-PATTERN: waits until a window with that title is mapped
  for _ in $(seq 1 100); do
    if xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; then
      xdotool search --onlyvisible --name "$1" | tail -1
      return 0
    fi
    sleep 0.2
  done
  echo "Janela \"$1\" não apareceu." >&2
  return 1
}
keys() {  # keys WINDOW KEY...: focuses the window and types the keys
  local w=$1; shift
  xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
  xdotool key --clearmodifiers --delay 120 "$@"
}

cd "$TORVEL_HOME"
"$build/src/app/torvel" >"$work/torvel.log" 2>&1 &
pids+=($!)

login=$(wait_window "Controle de Rotas")
shot 01-login
keys "$login" Return Return        # a new database has no users: empty login and password

main=$(wait_window "Torvel - Controle de Rondas")
shot 02-janela-principal

keys "$main" alt+o g               # C&onfigurações > Configurações &Gerais
settings=$(wait_window "Configurações Gerais")
shot 03-configuracoes-gerais
keys "$settings" ctrl+Tab
shot 04-configuracoes-ds9
keys "$settings" ctrl+Tab
shot 05-configuracoes-banco
keys "$settings" Escape

keys "$main" alt+c l               # &Cadastros > &Locais
locais=$(wait_window "Locais")
shot 06-cadastro-locais
# "Localiza" has no access key: click along the row of buttons at the bottom until the list
# opens (the row's layout follows the window's width).
# Positions are taken inside the window (--window): under openbox the position xdotool reports
# for a window counts its frame twice.
eval "$(xdotool getwindowgeometry --shell "$locais")"
lista=""
for frac in 745 700 790 650 830; do
  xdotool mousemove --window "$locais" $((WIDTH * frac / 1000)) $((HEIGHT - 24)) click 1
  sleep 0.5
  if xdotool search --onlyvisible --name "Lista de Locais" >/dev/null 2>&1; then
    lista=$(xdotool search --onlyvisible --name "Lista de Locais" | tail -1); break
  fi
done
if [ -n "$lista" ]; then
  shot 07-lista-de-locais
  keys "$lista" Escape
else
  echo "A lista de locais não abriu; sem a captura 07." >&2
fi
keys "$locais" Escape

keys "$main" alt+j t               # A&juda > &TORVEL
help=$(wait_window "Ajuda - TORVEL")
xdotool type --delay 60 "coletor"
keys "$help" Return
shot 08-ajuda
keys "$help" Escape

# The collection dialog from the "Comunicação" tile, the second of the first row.
xdotool windowactivate --sync "$main"
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" $((WIDTH * 3 / 8)) $((HEIGHT * 3 / 20)) click 1   # its icon
com=$(wait_window "^Comunicação$")
keys "$com" Down                   # the Lumet, whose simulator the demonstration loaded
shot 09-comunicacao
keys "$com" Tab Tab Tab space      # "Coletar"
review=$(wait_window "Dados da última coleta")
shot 10-revisao
keys "$review" Tab space           # "Consistir": the grid gives up Tab to the buttons
info=$(wait_window "Informação")
keys "$info" Return                # "Existem inconsistências"
preview=$(wait_window "Visualização - Consistência")
shot 11-consistencia
keys "$preview" Escape
keys "$review" Escape
keys "$com" Escape

# The day's board (today, built as it opens) and the timeline of its first cycle, then the
# timelines as torvelctl draws them.
keys "$main" alt+r d               # &Relatórios > Painel do &dia
painel=$(wait_window "^Painel do dia$")
sleep 1
shot 13-painel-do-dia
keys "$painel" Escape
"$ctl" board --day "$(date +%d/%m/%Y)" --png "$out" >/dev/null || true

# A spreadsheet: the route touch-time sheet of the night round, as LibreOffice draws it.
"$ctl" report route-times --collector LUMET1 --route 1 --from "$(date -d yesterday +%d/%m/%Y)" --to "$(date +%d/%m/%Y)" \
  --xlsx "$work/roteiro.xlsx" >/dev/null
mkdir -p "$work/lo"
HOME="$work/lo" soffice --headless --convert-to pdf --outdir "$work/lo" "$work/roteiro.xlsx" >/dev/null 2>&1
pdftoppm -png -r 100 -f 1 -l 1 "$work/lo/roteiro.pdf" "$work/lo/roteiro"
convert "$work/lo/roteiro-1.png" -trim -bordercolor white -border 24 "$out/12-planilha.png"
echo "$out/12-planilha.png"

if [ "$readme" = 1 ]; then
  mkdir -p "$root/docs/images"
  for name in 02-janela-principal 09-comunicacao 10-revisao 11-consistencia 12-planilha 13-painel-do-dia; do
    cp "$out/$name.png" "$root/docs/images/$name.png"
  done
  echo "Imagens do README em $root/docs/images"
fi
echo "Capturas em $out"
