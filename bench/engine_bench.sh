#!/bin/sh
# The engine on sheets of 10k, 100k and 1M point records (a third of them to
# be mended): time of each phase, requests, requests per second, peak memory.
#
#   bench/engine_bench.sh [BUILD_DIR]      (default: build)
#
# Phase times come from the engine itself (NW_PHASE_TIMES); grouping,
# solutions and flags are one walk and are timed together; the requests
# are counted by the exchange.
set -e
BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
for records in 10000 100000 1000000; do
    "$BIN/engine_sheet" "$records" sheet.dgn >/dev/null
    "$BIN/dgnpoints" -o sort_pts.77777 sheet.dgn >points.txt
    n=$(grep -c . sort_pts.77777)
    echo "== $n point records"
    VKR_segpid=77777 VKR_segdim=2 VKR_maxverts=$n MS_EXE="$BIN/" NW_PHASE_TIMES=1 \
        /usr/bin/time -f "whole run: wall %e s, engine cpu %U+%S s, engine peak %M KB" \
        "$BIN/nodeweld" -F sheet.dgn -T 0.003 >run.txt 2>times.txt || { cat run.txt; exit 1; }
    grep -E "Modified" run.txt | sed 's/^ */  /'
    sed 's/^/  /' times.txt
    awk -v n="$n" '/^peak memory/ { printf "  engine bytes per record: %.1f\n", $3 * 1024 / n }
        /^phase/ { wall += $4 } /^requests/ { req = $2 }
        END { if (wall > 0) printf "  requests per second: %.0f\n", req / wall }' times.txt
done
