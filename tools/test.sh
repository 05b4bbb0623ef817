#!/usr/bin/env bash
# Checks the layout of the code, builds everything with warnings as errors (the benchmarks too, so
# they keep compiling) and runs every test, then builds and runs them all again under the address
# and undefined-behaviour sanitizers, runs every fuzz target for 30 seconds on its committed
# corpus, and last builds, installs and removes the Debian package (tools/check-package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --with-bench --with-fuzz --with-server
bash tools/check-format.sh
for preset in ci asan; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
    ctest --preset "$preset" -j"$(nproc)"
done
bash tools/fuzz.sh 30
bash tools/check-package.sh
