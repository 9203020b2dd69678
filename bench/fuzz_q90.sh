#!/usr/bin/env bash
# Builds the Q90 protocol's libFuzzer target with clang (address and undefined-behaviour
# sanitizers) and runs it for a bounded time. Not part of CI or of the CMake build.
#   bench/fuzz_q90.sh [SECONDS (60)]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-60}}
out=${FUZZ_BUILD_DIR:-$root/build/fuzz}
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq && $sudo apt-get install -y -qq clang libclang-rt-14-dev
fi
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src" $(pkg-config --cflags Qt6Core) \
  "$root/bench/fuzz_q90.cpp" "$root/src/collection/terminals/Q90Protocol.cpp" \
  $(pkg-config --libs Qt6Core) -o "$out/fuzz_q90"
# Seeds: a status reply and a block reply with hour markers and touches, each after an echo.
printf '\x10\x01\x00\x00\x55\x55\x55\x55\xff\xff\xfe\x10\x02\x00\x00\x00\x00\x49\xff\x00\x10\x03\xd6\x5b\x10\x02\x00\x05\x35\x14\x16\x11\x08\xd3\x0f\xa0\x3f\x20\x3f\x20\x00\x34\x12\xcd\xab\x01\x00\x00\x10\x03\x00\x00' > "$out/corpus/status"
printf '\x20\x02\x00\x20\xa2\x16\x11\x08\x35\x56\x34\x12\x80\x10\x10\x26\x00\x10\x10\x10\x10\x03' > "$out/corpus/records"
"$out/fuzz_q90" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -print_final_stats=1 "$out/corpus"
