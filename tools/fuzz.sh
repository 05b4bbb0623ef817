#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for SECONDS (default 60) on a copy of its committed corpus, then prints per target the
# executions and their rate. Exits non-zero when a target finds a crash, a hang, a leak or a
# broken check; the input that caused it is kept in build-fuzz/findings/ and named in the output.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]
#
# QUORBEL_FUZZ_WORK names a folder whose corpora are kept between runs (the committed corpus is
# added to them); without it every run starts from a fresh copy, and nothing new is ever written
# into fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "usage: tools/fuzz.sh [SECONDS] [TARGET...]" >&2
    exit 2
fi
shift $(($# > 0 ? 1 : 0))
bash tools/install-deps.sh --with-fuzz

all_targets=(fuzz_capture fuzz_live fuzz_frames fuzz_satnogs fuzz_stations fuzz_conf
             fuzz_ssdv_packets fuzz_ssdv_table fuzz_ssdv_decode fuzz_ssdv_encode)
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=("${all_targets[@]}")
fi

# Per target: the longest input, the dictionary, and whether leaks are checked.
max_len() {
    case "$1" in
        fuzz_frames) echo 600 ;;
        fuzz_conf) echo 1024 ;;
        fuzz_ssdv_packets) echo 300 ;;
        fuzz_ssdv_table) echo 200 ;;
        fuzz_ssdv_decode) echo 1200 ;;
        fuzz_ssdv_encode) echo 8192 ;;
        *) echo 4096 ;;
    esac
}
dictionary() {
    case "$1" in
        fuzz_capture | fuzz_live | fuzz_frames) echo kiss ;;
        fuzz_satnogs | fuzz_stations) echo satnogs ;;
        fuzz_conf) echo conf ;;
        fuzz_ssdv_packets | fuzz_ssdv_decode) echo ssdv ;;
        fuzz_ssdv_encode) echo jpeg ;;
        fuzz_ssdv_table) echo ssdv_table ;;
    esac
}

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

# A small quarantine keeps freed memory poisoned for use-after-free checks while letting the
# allocator reuse pages instead of faulting in fresh ones for every input, which took most of the
# time of the targets that open files. Leaks are checked in every target.
export ASAN_OPTIONS="quarantine_size_mb=16:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}"

findings="$root/build-fuzz/findings"
mkdir -p "$findings"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorbel-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

failed=()
summary=()
for target in "${targets[@]}"; do
    binary="$root/build-fuzz/bin/$target"
    if [[ ! -x "$binary" ]]; then
        echo "no such fuzz target: $target" >&2
        exit 2
    fi
    if [[ -n "${QUORBEL_FUZZ_WORK:-}" ]]; then
        corpus="$QUORBEL_FUZZ_WORK/$target"
    else
        corpus="$scratch/$target"
    fi
    mkdir -p "$corpus"
    if [[ -d "fuzz/corpus/$target" ]]; then
        cp -n fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    fi
    log="$scratch/$target.log"
    echo "== $target: $seconds s on $(find "$corpus" -type f | wc -l) inputs"
    status=0
    "$binary" "$corpus" \
        -max_total_time="$seconds" -max_len="$(max_len "$target")" \
        -dict="fuzz/dict/$(dictionary "$target").dict" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" >"$log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    line=$(printf '%-18s %12s executions %8s per second' "$target" "${executions:-?}" "${rate:-?}")
    if ((status != 0)); then
        tail -n 60 "$log"
        cp "$log" "$findings/$target.log"
        artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
        line+="  FINDING (exit $status): ${artifact:-see $findings/$target.log}"
        failed+=("$target")
    fi
    echo "$line"
    summary+=("$line")
done

echo
echo "Fuzzing summary ($seconds s per target):"
printf '  %s\n' "${summary[@]}"
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if ((${#failed[@]} > 0)); then
    echo "Findings in: ${failed[*]} (inputs and logs in $findings)" >&2
    exit 1
fi
