#!/usr/bin/env bash
# fuzz.sh [smoke|full] — builds the libFuzzer targets with clang-14 and runs each.
#
# Every target first runs the inputs kept in fuzz/regressions/<name>/ (name
# without "fuzz_"), each once; any failure there fails the script. Then:
#   smoke: a short run per target (BREVANT_FUZZ_SECONDS, default 10 s), so the
#          whole step stays within a few minutes in CI;
#   full:  an hour per target (or BREVANT_FUZZ_SECONDS); it goes on after a
#          crash, and every input that crashes, hangs or runs out of memory is
#          kept in fuzz/regressions/<name>/ to be committed as a regression input.
# Each target starts from its seeds (fuzz/seeds/<name>/) and the corpus it has
# built up in build-fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-full}
case "$mode" in smoke | full) ;; *) echo "usage: $0 [smoke|full]" >&2; exit 2 ;; esac
[ -f fuzz/CMakeLists.txt ] || { echo "no fuzz targets"; exit 0; }

CC=clang-14 CXX=clang++-14 cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"

seconds=${BREVANT_FUZZ_SECONDS:-3600}
[ "$mode" = smoke ] && seconds=${BREVANT_FUZZ_SECONDS:-10}
shopt -s nullglob
failed=()
for target in build-fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  short=${name#fuzz_}
  corpus=build-fuzz/corpus/$name
  regressions=fuzz/regressions/$short
  mkdir -p "$corpus"

  kept=("$regressions"/*)
  if [ ${#kept[@]} -gt 0 ]; then
    echo "replaying ${#kept[@]} regression input(s) of $name"
    mkdir -p build-fuzz/logs
    if ! "$target" -runs=1 "${kept[@]}" >"build-fuzz/logs/$name.regressions.log" 2>&1; then
      tail -n 30 "build-fuzz/logs/$name.regressions.log"
      echo "$name fails on a kept regression input"
      failed+=("$name")
      continue
    fi
  fi

  dirs=("$corpus")
  [ -d "fuzz/seeds/$short" ] && dirs+=("fuzz/seeds/$short")
  echo "fuzzing $name for ${seconds}s"
  if [ "$mode" = smoke ]; then
    mkdir -p build-fuzz/artifacts
    "$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/artifacts/$short-" "${dirs[@]}" 2>&1 | tail -n 15 ||
      failed+=("$name")
  else
    mkdir -p "$regressions"
    # Fork mode keeps fuzzing after a crash; each finding lands in regressions.
    "$target" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$regressions/" "${dirs[@]}" 2>&1 | tail -n 15 || true
    found=("$regressions"/*)
    if [ ${#found[@]} -gt ${#kept[@]} ]; then
      echo "$name: $((${#found[@]} - ${#kept[@]})) new input(s) kept in $regressions"
      failed+=("$name")
    fi
    rmdir "$regressions" 2>/dev/null || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
