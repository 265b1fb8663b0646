#!/bin/sh
# The main job on a generated sample: a road-network sheet whose line ends miss each other
# by a few units, mended by nodeweld.pl exactly as the front end runs it, with dangling ends
# flagged; then before/after pictures of what the run did.
#
#   scripts/demo.sh [BUILD]      (make demo runs it after building)
# Results go to BUILD/demo (or DEMO_OUT): the sheets, report.json and four SVG pictures.
set -e
BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
OUT=${DEMO_OUT:-$BUILD/demo}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
PATH="$BIN:$PATH"
export PATH

cd "$OUT"
rm -f sheet.dgn sheet-original.dgn sheet-original.truth.json report.json ./*.svg

echo "== 1. A sample sheet with digitising errors (dgngen)"
dgngen -n 400 --seed 2026 sheet-original.dgn
cp sheet-original.dgn sheet.dgn

echo
echo "== 2. Mend it: ends closer than 0.5 m are welded, dangling ends flagged on level 60"
echo "   perl -S nodeweld.pl -F sheet.dgn -e 3,4,11 -T 0.5 -D 60,1 --report report.json"
status=0
perl -S nodeweld.pl -F sheet.dgn -e 3,4,11 -T 0.5 -D 60,1 --report report.json || status=$?
if [ "$status" -ne 0 ]; then
  echo "demo: the run ended with status $status (see the README's exit codes)" >&2
  exit "$status"
fi

echo
echo "== 3. Pictures (dgnsvg)"
dgnsvg --before sheet-original.dgn --after sheet.dgn --tolerance 0.5 --flag dangle=60 \
  --out-before before.svg --out-after after.svg
dgnsvg --before sheet-original.dgn --after sheet.dgn --tolerance 0.5 --flag dangle=60 --zoom 1 \
  --out-before before-detail.svg --out-after after-detail.svg
echo "whole sheet, before:   $OUT/before.svg"
echo "whole sheet, after:    $OUT/after.svg"
echo "one junction, before:  $OUT/before-detail.svg"
echo "one junction, after:   $OUT/after-detail.svg"
echo "what changed (JSON):   $OUT/report.json"
echo "mended sheet:          $OUT/sheet.dgn (original kept as sheet-original.dgn)"
