#!/bin/sh
# Whole-run benchmark: nodeweld.pl (extraction, engine, design-file server, file commit) on
# generated sheets of about 100k and 300k linear elements whose ends miss their partners by
# small offsets, against GRASS GIS's v.clean tool=snap on the same lines.
#
#   bench/pipeline_bench.sh [BUILD] [SIZES]
#     BUILD   build folder with bin/ (default build)
#     SIZES   numbers of linear elements (default "100000 300000")
#
# For each size: the sheet is generated with dgngen, mended with
#   perl -S nodeweld.pl -F sheet.dgn -e 3,4,11 -T 0.5
# and timed as a whole (wall clock; peak memory = the largest resident set of the driver,
# the helper, the engine and the server). The same lines are exported with ogr2ogr,
# imported into a scratch GRASS location with v.in.ogr, and v.clean tool=snap
# threshold=0.5 is timed alone. Both times, their ratio and the peak memory of each are
# printed. Also the extraction alone (dgnpoints: reading, selecting, sorting and writing
# the point file).
#
# Installs GRASS (Debian grass-core) and GNU time when they are missing; CI never runs this.
set -e
BUILD=${1:-build}
SIZES=${2:-"100000 300000"}
BIN=$(cd "$BUILD/bin" && pwd)
PATH="$BIN:$PATH"
export PATH

need=""
command -v grass >/dev/null 2>&1 || need="$need grass-core"
[ -x /usr/bin/time ] || need="$need time"
command -v ogr2ogr >/dev/null 2>&1 || need="$need gdal-bin"
if [ -n "$need" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  echo "installing:$need"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $need >/dev/null
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/nwbench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM

# Runs a command under GNU time; prints "seconds peak_kb" of it.
timed() {
  /usr/bin/time -f "%e %M" -o "$WORK/time.txt" "$@" >"$WORK/cmd.out" 2>"$WORK/cmd.err" || {
    echo "failed: $*" >&2
    tail -20 "$WORK/cmd.out" "$WORK/cmd.err" >&2
    exit 1
  }
  tail -1 "$WORK/time.txt"
}

# Extraction alone on a sheet of more than a million locations: read, select, sort, write.
dgngen -n 1000000 --seed 7 "$WORK/million.dgn" >/dev/null
set -- $(timed dgnpoints -o "$WORK/million.pts" "$WORK/million.dgn")
echo "extraction: $(sed -n 's/^records //p' "$WORK/cmd.out") records of a $(( $(stat -c %s "$WORK/million.dgn") / 1048576 )) MB sheet in $1 s, peak $(( $2 / 1024 )) MB"
rm -f "$WORK/million.dgn" "$WORK/million.pts" "$WORK/million.truth.json"
echo

printf '%-10s %-10s %-12s %-12s %-12s %-12s %-12s %-12s %-8s\n' \
  lines records extract_s nodeweld_s nodeweld_MB welded v.clean_s v.clean_MB ratio
for n in $SIZES; do
  # dgngen: about 80% of the graphic elements are linear edges of the network.
  total=$(( n * 10 / 8 ))
  dir="$WORK/$n"
  mkdir -p "$dir"
  dgngen -n "$total" --seed 42 "$dir/sheet.dgn" >/dev/null
  cp "$dir/sheet.dgn" "$dir/original.dgn"

  set -- $(timed dgnpoints -e 3,4,11 -o "$dir/points" "$dir/original.dgn")
  extract_s=$1
  records=$(sed -n 's/^records //p' "$WORK/cmd.out")
  lines=$(sed -n 's/^elements //p' "$WORK/cmd.out")

  cd "$dir"
  set -- $(timed perl -S nodeweld.pl -F sheet.dgn -e 3,4,11 -T 0.5)
  cd - >/dev/null
  nw_s=$1
  nw_mb=$(( $2 / 1024 ))
  welded=$(sed -n 's/^ *Modified \([0-9]*\) linear elements.*/\1/p' "$WORK/cmd.out")

  # The same lines for GRASS, in master units.
  ogr2ogr -f GPKG "$dir/lines.gpkg" "$dir/original.dgn" -where "Type IN (3,4,11)" -nln lines
  grass -c XY "$dir/grassdb/bench" -e
  grass "$dir/grassdb/bench/PERMANENT" --exec v.in.ogr input="$dir/lines.gpkg" layer=lines output=lines \
    -o --quiet >/dev/null 2>&1
  set -- $(timed grass "$dir/grassdb/bench/PERMANENT" --exec sh -c \
    '/usr/bin/time -f "%e %M" -o "$0" v.clean input=lines output=snapped tool=snap threshold=0.5 --quiet' \
    "$WORK/vclean.txt")
  set -- $(tail -1 "$WORK/vclean.txt")
  vc_s=$1
  vc_mb=$(( $2 / 1024 ))
  ratio=$(awk -v a="$nw_s" -v b="$vc_s" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf '%-10s %-10s %-12s %-12s %-12s %-12s %-12s %-12s %-8s\n' \
    "$lines" "$records" "$extract_s" "$nw_s" "$nw_mb" "$welded" "$vc_s" "$vc_mb" "$ratio"
  rm -rf "$dir"
done
echo "ratio = nodeweld run / v.clean (below 1: the whole nodeweld run is faster)"
