#!/usr/bin/env bash
# A long unattended listen: `quorbel-cli listen --reconnect` records FRAMES mixed frames (beacons,
# sensor frames, texts, digipeated messages, SSDV packets) that quorbel-kiss-replay sends as fast
# as it can in random chunks, in three parts: after each of the first two the server is killed
# and started again on the same port, and the listener connects again by itself. Run as root, the
# application folder is a tmpfs of its own that another file fills up for a few seconds in the
# middle of the second part (not root: that part is skipped). The third part runs on into an extra
# flood, in the middle of which the listener gets SIGTERM.
# Prints the frames sent, decoded and recorded, the frames the full disk refused, half frames and
# frames lost or doubled in the capture read back, the listener's memory (VmRSS, sampled every
# second) as a curve, and the time from SIGTERM to its exit. Exit status 1 when the capture read
# back is not exactly the frames decoded less those the listener reported as not recorded.
# Usage: [KEEP=1] bench/live_soak.sh [BUILD_DIR] [FRAMES]   (default: build-bench, 2000000)
#        KEEP=1 keeps the work folder (captures, the listener's output, the RSS samples).
set -euo pipefail
export LC_NUMERIC=C
cd "$(dirname "$0")/.."
build=${1:-build-bench}
frames=${2:-2000000}
extra=100000  # frames of the flood after the counted ones, cut short by SIGTERM
bin=$build/bin
for program in quorbel-cli quorbel-cli-live quorbel-kiss-replay quorbel-samplegen; do
    [[ -x $bin/$program ]] || { echo "build $program first (cmake --build --preset bench)"; exit 1; }
done
(( frames >= 300 )) || { echo "FRAMES must be at least 300"; exit 2; }

work=$(mktemp -d)
app=$work/station
mkdir "$app"
server=
listener=
sampler=
mounted=
cleanup() {
    for pid in $sampler $server $listener; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [[ -n $mounted && -z ${KEEP:-} ]] && umount "$app" 2>/dev/null
    if [[ -n ${KEEP:-} ]]; then echo "soak: kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# Three parts of mixed frames: 40 % beacons, 30 % sensor frames, 10 % each texts, digipeated
# messages and SSDV packets; each part its own seed and time, the last with the extra flood.
make_part() {  # OUTPUT COUNT SEED
    local n=$2
    "$bin/quorbel-samplegen" --beacons $((n * 4 / 10)) --sensors $((n * 3 / 10)) \
        --texts $((n / 10)) --digis $((n / 10)) --ssdv $((n - n * 4 / 10 - n * 3 / 10 - 2 * (n / 10))) \
        --unknown 0 --seed "$3" --start $((1700000000 + $3 * 1000000)) "$1" >/dev/null
}
part=$((frames / 3))
counts=("$part" "$part" $((frames - 2 * part)))
make_part "$work/part1.kss" "${counts[0]}" 1
make_part "$work/part2.kss" "${counts[1]}" 2
make_part "$work/part3.kss" $((counts[2] + extra)) 3
sent_bytes=$(cat "$work"/part*.kss | wc -c)

if [[ $(id -u) -eq 0 ]]; then
    # Room for the capture (the frames and a stamp frame each) and the SSDV packet files, twice.
    size_mb=$(( (sent_bytes + (frames + extra) * 32) * 2 / 1048576 + 64 ))
    if mount -t tmpfs -o "size=${size_mb}m" tmpfs "$app"; then
        mounted=yes
    else
        echo "soak: no tmpfs could be mounted: the full-disk part is skipped"
    fi
else
    echo "soak: not root: the full-disk part (a tmpfs filled up) is skipped"
fi

lines() { wc -l <"$work/lines"; }

# A replay server on PORT (0: any free one, then kept in $port for the next ones).
start_server() {  # CAPTURE PORT SEED
    : >"$work/replay.out"
    "$bin/quorbel-kiss-replay" "$1" --port "$2" --rate 0 --chunk random --seed "$3" \
        >"$work/replay.out" 2>&1 &
    server=$!
    for _ in $(seq 100); do
        grep -q 'listening on' "$work/replay.out" && break
        sleep 0.1
    done
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/replay.out")
    [[ -n $port ]] || { echo "soak: the replay server did not start"; cat "$work/replay.out"; exit 1; }
}

# Waits until the listener has printed COUNT lines; fails when it stops making progress.
wait_for_lines() {  # COUNT [ACTION_AT_LINES ACTION]
    local last=-1 still=0 now
    while now=$(lines); (( now < $1 )); do
        if [[ -n ${2:-} ]] && (( now >= $2 )); then $3; set -- "$1"; fi
        if (( now == last )); then
            (( ++still > 600 )) && { echo "soak: the listener is stuck at $now of $1 frames"; exit 1; }
        else
            still=0
        fi
        last=$now
        sleep 0.1
    done
}

echo no >"$work/filled"
# Fills the tmpfs up to its last byte, holds it full for three seconds, then frees it; meanwhile
# the frames go on.
fill_disk() {
    [[ -n $mounted ]] || return 0
    (
        head -c $((size_mb * 1048576)) /dev/zero >"$app/filler" 2>/dev/null || true
        echo "yes, full at frame $(lines)" >"$work/filled"
        sleep 3
        rm -f "$app/filler"
        echo "$(cat "$work/filled"), freed at frame $(lines)" >"$work/filled"
    ) &
    filler=$!
}

start_server "$work/part1.kss" 0 1
: >"$work/lines"
start=$(date +%s.%N)
"$bin/quorbel-cli" --app-dir "$app" listen --reconnect --host 127.0.0.1 --port "$port" \
    >"$work/lines" 2>"$work/states" &
listener=$!
(
    while [[ -r /proc/$listener/status ]]; do
        rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$listener/status" 2>/dev/null) || break
        [[ -n $rss ]] && echo "$(date +%s.%N) $rss $(wc -l <"$work/lines")"
        sleep 1
    done
) >"$work/rss" &
sampler=$!

wait_for_lines "${counts[0]}"
kill "$server"; wait "$server" 2>/dev/null || true
start_server "$work/part2.kss" "$port" 2
wait_for_lines $((counts[0] + counts[1])) $((counts[0] + counts[1] / 3)) fill_disk
kill "$server"; wait "$server" 2>/dev/null || true
start_server "$work/part3.kss" "$port" 3
wait_for_lines "$frames"
counted=$(date +%s.%N)
[[ -n ${filler:-} ]] && wait "$filler"  # the disk has room again before the end
sleep 0.5  # into the extra flood
term=$(date +%s.%N)
kill -TERM "$listener"
term_utc=$(date -u -d "@$term" '+%F %T.%3N')
status=0
wait "$listener" || status=$?
ended=$(date +%s.%N)
listener=
kill "$sampler" 2>/dev/null || true
kill "$server"; wait "$server" 2>/dev/null || true
server=

decoded=$(lines)
# Each line begins with the frame's receive time, read from the clock as it was decoded.
after_term=$(tail -n 20000 "$work/lines" | awk -v t="$term_utc" '$1 " " $2 > t' | wc -l)
refused=$(sed -n 's/^quorbel-cli: \([0-9]*\) of [0-9]* decoded frames were not recorded.*/\1/p' \
    "$work/states")
refused=${refused:-0}
reconnects=$(grep -c 'Connected$' "$work/states" || true)
echo "soak: $frames frames in three parts + $extra extra, chunks of 1 to 256 bytes; exit status $status"
awk -v a="$start" -v b="$counted" -v n="$frames" 'BEGIN {
    printf "soak: %d frames decoded in %.1f s = %.0f frames/s (with the restarts and pauses)\n",
           n, b - a, n / (b - a) }'
echo "soak: server restarted twice; connections made: $reconnects, attempts refused: $(grep -c ' Error$' "$work/states" || true)"
echo "soak: disk filled: $(cat "$work/filled")"
awk -v a="$term" -v b="$ended" -v d="$decoded" -v x="$after_term" -v all=$((frames + extra)) 'BEGIN {
    printf "soak: SIGTERM at frame %d (%s), exit %.3f s later; at most %d frames decoded after it\n",
           d - x, d < all ? "flood running" : "flood already over", b - a, x }'
awk 'NR == 1 { t0 = $1 } { t[NR] = $1 - t0; r[NR] = $2; f[NR] = $3
        if (NR == 1 || $2 < min) min = $2; if ($2 > max) max = $2 }
    END {
        if (NR == 0) { print "soak: no memory samples"; exit }
        printf "soak: RSS over %d samples: min %.1f MB, max %.1f MB\n", NR, min / 1024, max / 1024
        printf "soak: RSS curve (s, frames, MB):"
        for (k = 0; k <= 10; ++k) { i = int(1 + k * (NR - 1) / 10)
            printf " [%.0f %d %.1f]", t[i], f[i], r[i] / 1024 }
        printf "\n" }' "$work/rss"

# The capture read back against what was sent: every frame decoded and not refused must be there
# once, whole and in order.
python3 - "$app" "$decoded" "$refused" "$work"/part1.kss "$work"/part2.kss "$work"/part3.kss <<'EOF'
import bisect, glob, os, sys

app, decoded, refused, parts = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]

def pieces(data):
    # The pieces between FENDs and the bytes after the last one.
    cut = data.split(b"\xc0")
    return cut[1:-1], cut[-1]

sent = []
for path in parts:
    inner, _ = pieces(open(path, "rb").read())
    sent += [p for p in inner if p and p[0] != 0x09]
sent = sent[:decoded]  # the listener decodes the stream in order

recorded, unstamped, tail = [], 0, 0
for path in sorted(glob.glob(os.path.join(app, "*.kss"))):
    inner, rest = pieces(open(path, "rb").read())
    tail += len(rest)
    stamped = False
    for p in inner:
        if not p:
            continue
        if p[0] == 0x09:
            if stamped:
                unstamped += 1  # a stamp frame without its data frame
            stamped = True
            continue
        if not stamped:
            unstamped += 1
        stamped = False
        recorded.append(p)

# Walks the recorded frames along the sent ones: each is looked up at its next place in the sent
# stream; one that was not sent there is the start of a frame cut short (a half frame) when a
# frame still to come begins with it, and anything else (a frame recorded twice, or garbage)
# otherwise.
places = {}
for i, frame in enumerate(sent):
    places.setdefault(frame, []).append(i)
at, halves, foreign = 0, 0, 0
for frame in recorded:
    found = places.get(frame, [])
    k = bisect.bisect_left(found, at)
    if k < len(found):
        at = found[k] + 1
    elif any(s.startswith(frame) for s in sent[at:at + 200000]):
        halves += 1
    else:
        foreign += 1
matched = len(recorded) - halves - foreign
missing = decoded - matched
print(f"soak: capture read back: {len(recorded)} data frames recorded of {decoded} decoded; "
      f"{refused} reported not recorded by the listener")
print(f"soak: half frames: {halves}; other frames not sent so: {foreign}; "
      f"stamps without their frame: {unstamped}; bytes after the last FEND: {tail}")
print(f"soak: frames missing from the capture: {missing} "
      f"({missing - refused} more than the listener reported)")
ok = halves == 0 and foreign == 0 and tail == 0 and unstamped == 0 and missing == refused
print("soak: every frame decoded and not refused recorded exactly once and whole: "
      + ("yes" if ok else "NO"))
sys.exit(0 if ok else 1)
EOF
