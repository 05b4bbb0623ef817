#!/usr/bin/env bash
# Takes docs/screenshots/window-installed.png: the window as the package installs it, started
# from /usr/bin under Xvfb with a fresh home folder and turned to its "Info" page, which names the
# user's data folder it made. Needs the package installed
# (sudo apt-get install ./build-package/quorbel-decoder_*.deb after tools/check-package.sh),
# Xvfb, xdotool and ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../.."
[[ -x /usr/bin/quorbel-decoder ]] || { echo "Install the package first." >&2; exit 1; }
home=$(mktemp -d /tmp/home.XXXXXX)
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1400x1000x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill ${app:-} "$xvfb" 2>/dev/null; rm -rf "$home"' EXIT
sleep 1
export DISPLAY=$display
env -u XDG_DATA_HOME HOME="$home" /usr/bin/quorbel-decoder &
app=$!
window=$(xdotool search --sync --name '^QUORBEL Telemetry Decoder$' | head -n1)
sleep 2
# A click on the fifth tab, "Info" (its place on this screen of 1400 x 1000 with Qt's default
# fonts: 377, 38 inside the window).
xdotool mousemove --window "$window" 377 38
xdotool click 1
sleep 1
mkdir -p docs/screenshots
import -window "$window" docs/screenshots/window-installed.png
ls -l docs/screenshots/window-installed.png
