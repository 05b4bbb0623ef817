#!/usr/bin/env bash
# Our tool against the scripting peer (a short Python decoder a user would write instead) on the
# same fresh inputs in one run: a 100,000-line SatNOGS export of full-length frames without
# duplicates, and a capture of 10,000 mixed frames with stamps. Whole processes, start to exit,
# alternating, RUNS times; prints each time and the ratio peer / ours (above 1: ours is faster).
# The machines are shared and noisy: the ratio within one run is the figure that counts.
# Usage: bench/peer_ratio.sh [BUILD_DIR] [RUNS] [PEER]
#        (defaults: build-bench, 5, ../shared/bench/peer_decode.py)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-5}
peer=${3:-../shared/bench/peer_decode.py}
bin=$build/bin
for program in quorbel-cli quorbel-samplegen satnogs-gen; do
    [[ -x $bin/$program ]] || { echo "build $program first (cmake --build --preset bench)"; exit 1; }
done
[[ -f $peer ]] || { echo "no peer script at $peer"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin/satnogs-gen" "$work/export.csv" 100000 200 1 --no-duplicates --full-length >/dev/null
"$bin/quorbel-samplegen" --beacons 5000 --sensors 4900 --texts 40 --digis 40 --ssdv 19 \
    "$work/pass.kss" >/dev/null
echo "inputs: $(wc -c <"$work/export.csv") bytes of export, $(wc -c <"$work/pass.kss") bytes of capture"

seconds() {  # runs the command quietly and prints its wall time in seconds
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

for ((run = 1; run <= runs; ++run)); do
    mkdir -p "$work/run"
    cp "$work/export.csv" "$work/run/export.csv"
    cp "$work/pass.kss" "$work/run/pass.kss"
    ours_s=$(seconds "$bin/quorbel-cli" --app-dir "$work/run" open-satnogs "$work/run/export.csv")
    peer_s=$(seconds python3 "$peer" satnogs "$work/run/export.csv" "$work/run/peer.csv")
    ours_k=$(seconds "$bin/quorbel-cli" --app-dir "$work/run" open-kiss "$work/run/pass.kss" \
        write-tlm-csv)
    peer_k=$(seconds python3 "$peer" kiss "$work/run/pass.kss" "$work/run/peer.csv")
    printf 'run %d: satnogs ours %.3f s, peer %.3f s, ratio %.1f; kiss ours %.3f s, peer %.3f s, ratio %.1f\n' \
        "$run" "$ours_s" "$peer_s" "$(echo "$peer_s / $ours_s" | bc -l)" \
        "$ours_k" "$peer_k" "$(echo "$peer_k / $ours_k" | bc -l)"
    rm -rf "$work/run"
done
