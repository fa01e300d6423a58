#!/usr/bin/env bash
# Builds Brevant (optimised) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBREVANT_TESTS=OFF -DBREVANT_BENCH=OFF
cmake --build build -j "$(nproc)"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
exec build/bin/brevant "$@"
