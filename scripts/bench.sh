#!/usr/bin/env bash
# bench.sh [smoke|full] [build-dir] — runs every benchmark in bench/.
# smoke: each benchmark once on small input (CI); full: an optimised build.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-full}
build=${2:-}
if [ "$mode" = full ] || [ -z "$build" ]; then
  build=build-bench
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANT_TESTS=OFF >/dev/null
  cmake --build "$build" -j "$(nproc)"
fi
export QT_QPA_PLATFORM=offscreen
shopt -s nullglob
for b in "$build"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  if [ "$mode" = smoke ]; then
    BREVANT_BENCH_SMOKE=1 "$b" --benchmark_min_time=0.01
  else
    "$b"
  fi
done
