#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test; then builds the optimised configuration that users run
# (what scripts/run.sh builds) in a folder of its own and runs every test on
# it too; then the fuzz targets and benchmarks briefly, once. The two suites
# run one after the other: some tests share the ident port and timing
# windows that a loaded machine stretches.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${BREVANT_TEST_BUILD:-build-test}
optimised=${BREVANT_TEST_OPT_BUILD:-build-test-opt}

export QT_QPA_PLATFORM=offscreen
# The web engine refuses to run as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

# A failing suite does not keep the other from running; the command fails
# at the end.
failed=()

echo "== sanitizer build ($build)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBREVANT_SANITIZE=ON
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" || failed+=("sanitizer suite")

echo "== optimised build ($optimised)"
# The benchmarks run once, on the sanitizer build, below.
cmake -S . -B "$optimised" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANT_SANITIZE=OFF \
  -DBREVANT_TESTS=ON -DBREVANT_BENCH=OFF
cmake --build "$optimised" -j "$(nproc)"
ctest --test-dir "$optimised" --output-on-failure -j "$(nproc)" || failed+=("optimised suite")

bash scripts/fuzz.sh smoke
bash scripts/bench.sh smoke "$build"

if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
