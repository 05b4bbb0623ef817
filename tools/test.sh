#!/usr/bin/env bash
# Checks the layout of the code, builds everything with warnings as errors and runs every test,
# then builds and runs them all again under the address and undefined-behaviour sanitizers, and
# last runs every fuzz target for 30 seconds on its committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
bash tools/check-format.sh
for preset in ci asan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
    ctest --preset "$preset" -j"$(nproc)"
done
bash tools/fuzz.sh 30
