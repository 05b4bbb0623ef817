#!/usr/bin/env bash
# Takes the README's screenshots of the window under Xvfb: opens the sample capture and saves
# every page and the about window into docs/screenshots/. The images page shows a picture that
# went through the project's own SSDV codec (encoded into 118-byte packets and decoded again).
# Usage: tests/gui/take_screenshots.sh <build folder>
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
tool=$(find "$build" -name quorbel-gui-screenshots -type f | head -n1)
ssdv=$(find "$build" -name ssdv -type f -perm -u+x | head -n1)
if [[ -z "$tool" || -z "$ssdv" ]]; then
    echo "Build the targets quorbel-gui-screenshots and ssdv in $build first." >&2
    exit 1
fi
folder=$(mktemp -d)
trap 'rm -rf "$folder"; [[ -n "${xvfb:-}" ]] && kill "$xvfb"' EXIT

printf 'TCP_SERVER = localhost\r\nTCP_PORT = 8100\r\n' > "$folder/conf.ini"
QT_QPA_PLATFORM=offscreen "$tool" --about-picture "$folder/orbit.jpg"
"$ssdv" -e -l 118 -i 7 "$folder/orbit.jpg" "$folder/ssdv_007.bin"
"$ssdv" -d -l 118 "$folder/ssdv_007.bin" "$folder/ssdv_007.jpg"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1400x1000x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
mkdir -p docs/screenshots
DISPLAY=$display "$tool" samples/pass.kss docs/screenshots "$folder"
# A full store: 5,000 beacons as bars.
samplegen=$(find "$build" -name quorbel-samplegen -type f | head -n1)
if [[ -n "$samplegen" ]]; then
    "$samplegen" --beacons 5000 --sensors 5000 "$folder/full.kss" >/dev/null
    DISPLAY=$display "$tool" --bars "$folder/full.kss" docs/screenshots/window-bars-5000.png
fi
# The "TCP client" connected to a KISS server on 127.0.0.1 that sends the sample pass.
mkdir "$folder/live"
DISPLAY=$display "$tool" --live samples/pass.kss "$folder/live" docs/screenshots/window-live.png
ls -l docs/screenshots
