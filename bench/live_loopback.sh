#!/usr/bin/env bash
# The live path through a real loopback socket: quorbel-kiss-replay serves a capture of 100,000
# frames as fast as it can, cut at random places, and quorbel-cli listen decodes and records them.
# Prints frames per second, the frames received and recorded, and the listener's peak memory.
# Usage: bench/live_loopback.sh [BUILD_DIR] [FRAMES]   (default: build-bench, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
frames=${2:-100000}
bin=$build/bin
for program in quorbel-cli quorbel-cli-live quorbel-kiss-replay quorbel-samplegen; do
    [[ -x $bin/$program ]] || { echo "build $program first (cmake --build --preset bench)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"; kill "${server:-}" 2>/dev/null || true' EXIT
"$bin/quorbel-samplegen" --beacons $((frames / 2)) --sensors $((frames - frames / 2)) --texts 0 \
    --digis 0 --ssdv 0 --unknown 0 "$work/stream.kss" >/dev/null
"$bin/quorbel-kiss-replay" "$work/stream.kss" --port 0 --once --rate 0 --chunk random \
    --max-seconds 600 >"$work/replay.out" &
server=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/replay.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/replay.out")
mkdir "$work/station"
listen=("$bin/quorbel-cli" --app-dir "$work/station" listen --seconds 600 --host 127.0.0.1
        --port "$port")
echo 0 >"$work/peak"
start=$(date +%s.%N)
if [[ -x /usr/bin/time ]]; then  # Debian's package "time" gives the peak memory
    /usr/bin/time -f '%M' -o "$work/peak" "${listen[@]}" >"$work/lines" 2>"$work/states"
else
    "${listen[@]}" >"$work/lines" 2>"$work/states"
fi
end=$(date +%s.%N)
received=$(wc -l <"$work/lines")
recorded=$(LC_ALL=C grep -o -a $'\xC0\x09' "$work/station/"*.kss | wc -l)
awk -v n="$received" -v a="$start" -v b="$end" -v r="$recorded" -v m="$(cat "$work/peak")" 'BEGIN {
    printf "loopback: %d frames received, %d recorded, in %.2f s = %.0f frames/s; peak memory %.0f MB\n",
           n, r, b - a, n / (b - a), m / 1024 }'
