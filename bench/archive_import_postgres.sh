#!/usr/bin/env bash
# The PostgreSQL archive timed: archive-import of a 1,000,000-line SatNOGS export of full-length
# frames into a fresh database of a PostgreSQL 15 server of the script's own (initdb into a
# temporary folder, a free port of 127.0.0.1, run as user nobody when the script runs as root;
# the server's default durability: fsync and synchronous_commit on), beside the import of the same
# file into an SQLite archive and the floor of reading those bytes once. Then the same file again
# into the database (every reception already stored: nothing added) and the load average.
# Whole processes, start to exit.
# Usage: bench/archive_import_postgres.sh [BUILD_DIR] [LINES]  (defaults: build-bench, 1000000)
set -euo pipefail
export LC_NUMERIC=C  # the shell's clock and bc read and write "." as the decimal mark
cd "$(dirname "$0")/.."
build=${1:-build-bench}
lines=${2:-1000000}
bin=$build/bin
pg=${PG_BIN:-/usr/lib/postgresql/15/bin}
for program in quorbel-cli satnogs-gen; do
    [[ -x $bin/$program ]] || { echo "build $program first (cmake --build --preset bench)"; exit 1; }
done
[[ -x $pg/initdb ]] || { echo "no PostgreSQL 15 server at $pg (tools/install-deps.sh --with-server)"; exit 1; }

work=$(mktemp -d /tmp/quorbel-pgbench-XXXXXX)
chmod 755 "$work"
as_server() {  # the server refuses to run as root
    if [[ $(id -u) == 0 ]]; then runuser -u nobody -- "$@"; else "$@"; fi
}
stop_server() {
    [[ -f $work/pg/postmaster.pid ]] && as_server "$pg/pg_ctl" -D "$work/pg" -m fast -w stop >/dev/null 2>&1
    rm -rf "$work"
}
trap stop_server EXIT

mkdir -p "$work/pg" "$work/app"
[[ $(id -u) == 0 ]] && chown nobody "$work/pg"
as_server "$pg/initdb" -D "$work/pg" -U quorbel --auth=trust -E UTF8 --locale=C >/dev/null
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
as_server "$pg/pg_ctl" -D "$work/pg" -l "$work/pg/server.log" -w -t 60 \
    -o "-h 127.0.0.1 -p $port -k $work/pg ${PG_OPTIONS:-}" start >/dev/null
url="postgresql://quorbel@127.0.0.1:$port/postgres"

seconds() {  # runs the command, its output into $work/out.txt, and prints its wall time in seconds
    local start end
    start=$EPOCHREALTIME  # read by the shell itself: no clock process in the measured time
    "$@" >"$work/out.txt" 2>&1
    end=$EPOCHREALTIME
    echo "$end - $start" | bc -l
}
cli() { "$bin/quorbel-cli" --app-dir "$work/app" "$@"; }

"$bin/satnogs-gen" "$work/export.csv" "$lines" --full-length >/dev/null
echo "export: $lines lines, $(wc -c <"$work/export.csv") bytes; load before: $(cut -d' ' -f1-3 /proc/loadavg)"

floor=$(seconds cat "$work/export.csv")
sqlite=$(seconds cli --archive "$work/ours.sqlite" archive-import "$work/export.csv")
# CPU seconds of the server's processes that ended (the import's backend) and of this script's
# own children (the client), from the kernel's counts of waited-for children.
tick=$(getconf CLK_TCK)
server_cpu() { awk '{ print $16 + $17 }' "/proc/$(head -1 "$work/pg/postmaster.pid")/stat"; }
client_cpu() { awk '{ print $16 + $17 }' /proc/$$/stat; }
server_before=$(server_cpu)
client_before=$(client_cpu)
postgres=$(seconds cli --archive "$url" archive-import "$work/export.csv")
sleep 1  # the server reaps the ended backend
server_used=$(echo "($(server_cpu) - $server_before) / $tick" | bc -l)
client_used=$(echo "($(client_cpu) - $client_before) / $tick" | bc -l)
frames=$(awk '/^frames read:/ { print $3 }' "$work/out.txt")
again=$(seconds cli --archive "$url" archive-import "$work/export.csv")
printf 'import into PostgreSQL: %.3f s, %.0f lines/s, %.0f frames/s (%d frames; target at least 100,000)\n' \
    "$postgres" "$(echo "$lines / $postgres" | bc -l)" "$(echo "$frames / $postgres" | bc -l)" "$frames"
printf '  CPU: server %.1f s (%.1f us a frame), client %.1f s (%.1f us a frame)\n' "$server_used" \
    "$(echo "$server_used * 1000000 / $frames" | bc -l)" "$client_used" \
    "$(echo "$client_used * 1000000 / $frames" | bc -l)"
printf 'import into SQLite:     %.3f s, %.0f frames/s; PostgreSQL takes %.2fx its time\n' \
    "$sqlite" "$(echo "$frames / $sqlite" | bc -l)" "$(echo "$postgres / $sqlite" | bc -l)"
printf 'the same file again into PostgreSQL (nothing new): %.3f s, %.0f frames/s\n' "$again" \
    "$(echo "$frames / $again" | bc -l)"
printf 'floor (cat): %.3f s; load after: %s\n' "$floor" "$(cut -d' ' -f1-3 /proc/loadavg)"
