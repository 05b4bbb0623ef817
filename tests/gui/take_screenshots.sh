#!/usr/bin/env bash
# Takes the README's screenshots of the window under Xvfb: opens the sample capture and saves
# every page and the about window into docs/screenshots/; a capture of three passes shows the
# chart's UTC time axis; a year of passes imported into an archive shows the History page. The
# images page shows the picture of
# the sample pass that carries one (samples/picture-pass.kss), decoded by the program's run of
# the ssdv decoder, and a picture half received over the live client.
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
# The window finds the decoder beside itself or on the PATH.
export PATH="$(dirname "$ssdv"):$PATH"
folder=$(mktemp -d)
trap 'rm -rf "$folder"; [[ -n "${xvfb:-}" ]] && kill "$xvfb"' EXIT

printf 'TCP_SERVER = localhost\r\nTCP_PORT = 8100\r\n' > "$folder/conf.ini"

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1400x1000x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
mkdir -p docs/screenshots
DISPLAY=$display "$tool" samples/pass.kss samples/picture-pass.kss docs/screenshots "$folder"
# A full store: 5,000 beacons as bars.
samplegen=$(find "$build" -name quorbel-samplegen -type f | head -n1)
if [[ -n "$samplegen" ]]; then
    "$samplegen" --beacons 5000 --sensors 5000 "$folder/full.kss" >/dev/null
    DISPLAY=$display "$tool" --bars "$folder/full.kss" docs/screenshots/window-bars-5000.png
fi
# Three passes of one evening, about an orbit apart, read as one capture on the UTC time axis.
if [[ -n "$samplegen" ]]; then
    for pass in 0 1 2; do
        "$samplegen" --beacons 80 --sensors 40 --seed $((pass + 3)) \
            --start $((1700000000 + pass * 5820)) "$folder/pass$pass.kss" >/dev/null
    done
    cat "$folder"/pass0.kss "$folder"/pass1.kss "$folder"/pass2.kss > "$folder/passes.kss"
    DISPLAY=$display "$tool" --time-axis "$folder/passes.kss" docs/screenshots/window-time-axis.png
fi
# A year of passes, one every 90 minutes, imported into an archive: the History page over all of it.
cli=$(find "$build" -name quorbel-cli -type f -perm -u+x | head -n1)
if [[ -n "$samplegen" && -n "$cli" ]]; then
    "$samplegen" --passes 5840 --pass-minutes 90 --beacons 30 --sensors 10 --texts 0 --digis 0 \
        --ssdv 0 --unknown 0 --start 1735689600 "$folder/year.kss" >/dev/null
    mkdir "$folder/history"
    printf 'STATION = DL0QRB\r\n' > "$folder/history/conf.ini"
    "$cli" --app-dir "$folder/history" archive-import "$folder/year.kss" >/dev/null
    DISPLAY=$display "$tool" --history "$folder/history" docs/screenshots/window-history.png
fi
# The "TCP client" connected to a KISS server on 127.0.0.1 that sends the sample pass.
mkdir "$folder/live"
DISPLAY=$display "$tool" --live samples/pass.kss "$folder/live" docs/screenshots/window-live.png
# Half of the picture pass over the live client: the picture as far as it has arrived.
mkdir "$folder/receiving"
DISPLAY=$display "$tool" --receiving samples/picture-pass.kss "$folder/receiving" \
    docs/screenshots/window-images-receiving.png
ls -l docs/screenshots
