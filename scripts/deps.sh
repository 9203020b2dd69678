#!/usr/bin/env bash
# Installs the Debian packages Torvel needs, only those missing, so a warm machine pays nothing.
# Works as root or through sudo; with neither it says what to install and fails.
set -euo pipefail
pkgs=(cmake g++ make ccache pkg-config qt6-base-dev libqt6sql6-mysql libqt6sql6-sqlite qt6-serialport-dev
      libgl-dev libsqlite3-dev libmariadb-dev zlib1g-dev mariadb-server mariadb-client galera-4 rsync libxlsxwriter-dev poppler-utils unzip xvfb xauth
      qt6-translations-l10n xdg-utils openbox imagemagick xdotool dpkg-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Instalando pacotes: ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then sudo=""; elif command -v sudo >/dev/null; then sudo="sudo"; else
  echo "Instale como root: apt-get install ${missing[*]}" >&2; exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
