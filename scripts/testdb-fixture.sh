#!/usr/bin/env bash
# CTest fixture: the private test server, unless the run points at another one.
set -euo pipefail
[ -n "${TORVEL_TEST_DB_PORT:-}" ] && exit 0
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/mariadb.sh" "$1" "$2"
