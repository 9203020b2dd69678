#!/usr/bin/env bash
# CTest fixture: the private test server, unless the run points at another one.
set -euo pipefail
[ -n "${TORVEL_TEST_DB_PORT:-}" ] && exit 0
here=$(cd "$(dirname "$0")" && pwd)
# The tests hold a few thousand rows: a small buffer pool starts faster and leaves memory free.
export TORVEL_DB_BUFFER_POOL=${TORVEL_DB_BUFFER_POOL:-64M}
# Every test makes databases of its own: the program's account may on this throw-away server.
if [ "$1" = start ]; then exec "$here/mariadb.sh" start "$2" '*'; fi
exec "$here/mariadb.sh" "$1" "$2"
