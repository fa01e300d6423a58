#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test, then the fuzz targets and benchmarks briefly.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${BREVANT_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBREVANT_SANITIZE=ON
cmake --build "$build" -j "$(nproc)"

export QT_QPA_PLATFORM=offscreen
# The web engine refuses to run as root with its sandbox on.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

bash scripts/fuzz.sh smoke
bash scripts/bench.sh smoke "$build"
