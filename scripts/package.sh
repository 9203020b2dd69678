#!/usr/bin/env bash
# Builds the Debian package in the build folder (build/torvel_<version>_<arch>.deb). With
# --install it then installs it on this machine (root or sudo) and runs the installed
# torvelctl, as CI does to prove the package works outside the checkout.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEL_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/torvel_*.deb | head -1)
echo "Pacote: $deb"
if [ "${1:-}" = "--install" ]; then
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
  /usr/bin/torvelctl --help >/dev/null
  echo "Instalado: $(dpkg-query -W -f='${Package} ${Version}' torvel); /usr/bin/torvelctl --help respondeu."
fi
