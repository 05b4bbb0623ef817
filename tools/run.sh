#!/usr/bin/env bash
# Builds the program and starts the window (or, with arguments, the command-line tool).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default -DQUORBEL_BUILD_TESTS=OFF >/dev/null
# Build messages go to standard error, so the tool's own output can be piped.
cmake --build --preset default -j"$(nproc)" --target quorbel-decoder quorbel-cli quorbel-cli-live ssdv quorbel-samplegen \
    quorbel-kiss-replay >&2
if [[ $# -gt 0 ]]; then
    exec build/bin/quorbel-cli "$@"
fi
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display found. Use the command-line tool instead, for example:"
    echo "  build/bin/quorbel-cli open-kiss samples/pass.kss dump-state"
    exit 1
fi
exec build/bin/quorbel-decoder
