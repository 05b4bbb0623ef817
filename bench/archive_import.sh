#!/usr/bin/env bash
# The mission archive timed: archive-import of a 1,000,000-line SatNOGS export of full-length
# frames against the scripting peer (Python and sqlite3, one transaction) on the same file, with
# the floor of reading those bytes once; a query of one field over every record into 2,000
# buckets; the archive's size over the frames' own bytes; and the reads of a 100,000-line export
# and a 10,000-frame capture without an archive, into a fresh one and into one that already holds
# their frames. Whole processes, start to exit. The peer runs under the interpreter itself, not a
# version manager's shim in front of it (PEER_PYTHON names another interpreter).
# Usage: bench/archive_import.sh [BUILD_DIR] [LINES] [PEER]
#        (defaults: build-bench, 1000000, ../shared/bench/peer_archive.py)
set -euo pipefail
export LC_NUMERIC=C  # the shell's clock and bc read and write "." as the decimal mark
cd "$(dirname "$0")/.."
build=${1:-build-bench}
lines=${2:-1000000}
peer=${3:-../shared/bench/peer_archive.py}
python=${PEER_PYTHON:-$(python3 -c 'import sys; print(sys.executable)')}
bin=$build/bin
for program in quorbel-cli quorbel-samplegen satnogs-gen; do
    [[ -x $bin/$program ]] || { echo "build $program first (cmake --build --preset bench)"; exit 1; }
done
[[ -f $peer ]] || { echo "no peer script at $peer"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # runs the command quietly and prints its wall time in seconds
    local start end
    start=$EPOCHREALTIME  # read by the shell itself: no clock process in the measured time
    "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    echo "$end - $start" | bc -l
}
cli() { "$bin/quorbel-cli" --app-dir "$work/app" "$@"; }
mkdir -p "$work/app"

"$bin/satnogs-gen" "$work/export.csv" "$lines" --full-length >/dev/null
echo "export: $lines lines, $(wc -c <"$work/export.csv") bytes"
# The frames' own bytes: the hexadecimal text of each line after its time, two characters a byte.
frame_bytes=$(awk '{ sub(/\r$/, ""); if (length($0) > 20) n += int((length($0) - 19) / 2) } END { print n }' \
    "$work/export.csv")

floor=$(seconds cat "$work/export.csv")
ours=$(seconds cli --archive "$work/ours.sqlite" archive-import "$work/export.csv")
peer_time=$(seconds "$python" "$peer" import satnogs "$work/export.csv" "$work/peer.sqlite")
printf 'import: ours %.3f s, peer %.3f s, ratio %.1f (target at least 5); floor (cat) %.3f s\n' \
    "$ours" "$peer_time" "$(echo "$peer_time / $ours" | bc -l)" "$floor"
cli --archive "$work/ours.sqlite" archive-import "$work/export.csv" | sed 's/^/  again: /'

cli --archive "$work/ours.sqlite" archive-query 1 --buckets 2000 >/dev/null  # warms the cache
query=$(seconds cli --archive "$work/ours.sqlite" archive-query 1 --buckets 2000)
rows=$(cli --archive "$work/ours.sqlite" archive-query 1 --buckets 2000 | wc -l)
printf 'query of field 1 into 2,000 buckets, warm: %.3f s (target under 0.1), %d rows\n' "$query" \
    "$((rows - 1))"

size=$(stat -c %s "$work/ours.sqlite")
printf 'archive size: %d bytes over %d bytes of frames: %.2fx (target at most 3)\n' "$size" \
    "$frame_bytes" "$(echo "$size / $frame_bytes" | bc -l)"

# The reads, each on fresh copies of its input.
"$bin/satnogs-gen" "$work/small.csv" 100000 200 1 --no-duplicates --full-length >/dev/null
"$bin/quorbel-samplegen" --beacons 5000 --sensors 4900 --texts 40 --digis 40 --ssdv 19 \
    "$work/pass.kss" >/dev/null
read_time() {  # command, input, archive setting
    rm -f "$work/app/"*.bin "$work/app/"*-cleaned.csv "$work/app/"*-stations.txt
    cp "$work/$2" "$work/app/$2"
    seconds cli --archive "$3" "$1" "$work/app/$2"
}
for pair in "open-satnogs small.csv" "open-kiss pass.kss"; do
    set -- $pair
    off=$(read_time "$1" "$2" off)
    rm -f "$work/reads.sqlite"*
    fresh=$(read_time "$1" "$2" "$work/reads.sqlite")
    held=$(read_time "$1" "$2" "$work/reads.sqlite")
    printf '%s %s: archive off %.3f s, fresh archive %.3f s, archive holding its frames %.3f s\n' \
        "$1" "$2" "$off" "$fresh" "$held"
done
