#!/usr/bin/env bash
# fuzz.sh [smoke|full] — builds the libFuzzer targets with clang-14 and runs each.
# smoke: a bounded run per target (CI); full: an hour per target.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-full}
[ -f fuzz/CMakeLists.txt ] || { echo "no fuzz targets"; exit 0; }

CC=clang-14 CXX=clang++-14 cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"

seconds=3600
[ "$mode" = smoke ] && seconds=${BREVANT_FUZZ_SECONDS:-30}
shopt -s nullglob
for target in build-fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/${name#fuzz_}" ] && seeds=("fuzz/seeds/${name#fuzz_}")
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}" 2>&1 | tail -n 15
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$name failed"; exit 1; }
done
