#!/usr/bin/env bash
# Our tool against the scripting peer (a short Python decoder a user would write instead) on the
# same fresh inputs in one run: a 100,000-line SatNOGS export of full-length frames without
# duplicates, and a capture of 10,000 mixed frames with stamps. Whole processes, start to exit,
# alternating, RUNS times; prints each time and the ratio peer / ours (above 1: ours is faster).
# The machines are shared and noisy: the ratio within one run is the figure that counts. The peer
# runs under the interpreter a user's "python3" starts (PEER_PYTHON names another); its start-up
# time is shown too, since a version manager's shim in front of the interpreter adds to every
# run of the peer.
# Usage: [PEER_PYTHON=python3] bench/peer_ratio.sh [BUILD_DIR] [RUNS] [PEER]
#        (defaults: build-bench, 5, ../shared/bench/peer_decode.py)
set -euo pipefail
export LC_NUMERIC=C  # the shell's clock and bc read and write "." as the decimal mark
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-5}
peer=${3:-../shared/bench/peer_decode.py}
python=${PEER_PYTHON:-python3}
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
    start=$EPOCHREALTIME  # read by the shell itself: no clock process in the measured time
    "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    echo "$end - $start" | bc -l
}

echo "peer interpreter: $(command -v "$python") running $("$python" -c 'import sys; print(sys.executable)'), start-up $(seconds "$python" -c pass) s"

ratios_s=()
ratios_k=()
for ((run = 1; run <= runs; ++run)); do
    mkdir -p "$work/run"
    cp "$work/export.csv" "$work/run/export.csv"
    cp "$work/pass.kss" "$work/run/pass.kss"
    ours_s=$(seconds "$bin/quorbel-cli" --app-dir "$work/run" open-satnogs "$work/run/export.csv")
    peer_s=$(seconds "$python" "$peer" satnogs "$work/run/export.csv" "$work/run/peer.csv")
    ours_k=$(seconds "$bin/quorbel-cli" --app-dir "$work/run" open-kiss "$work/run/pass.kss" \
        write-tlm-csv)
    peer_k=$(seconds "$python" "$peer" kiss "$work/run/pass.kss" "$work/run/peer.csv")
    ratios_s+=("$(echo "$peer_s / $ours_s" | bc -l)")
    ratios_k+=("$(echo "$peer_k / $ours_k" | bc -l)")
    printf 'run %d: satnogs ours %.3f s, peer %.3f s, ratio %.1f; kiss ours %.3f s, peer %.3f s, ratio %.1f\n' \
        "$run" "$ours_s" "$peer_s" "${ratios_s[-1]}" "$ours_k" "$peer_k" "${ratios_k[-1]}"
    rm -rf "$work/run"
done
lowest() { printf '%s\n' "$@" | sort -g | head -n 1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf 'ratios over %d runs: satnogs lowest %.1f, median %.1f; kiss lowest %.1f, median %.1f\n' \
    "$runs" "$(lowest "${ratios_s[@]}")" "$(median "${ratios_s[@]}")" \
    "$(lowest "${ratios_k[@]}")" "$(median "${ratios_k[@]}")"
