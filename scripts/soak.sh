#!/usr/bin/env bash
# Load and soak figures, as a table: every runner job at the largest request it takes
# (5000 barcode records, 500 for roll labels and shelf cards), one process each into a
# PDF folder, with exit status, documents, pages, wall time and peak memory; then the
# station's start-up on 5000 products and CYCLES scale cycles against the simulator with
# Autoprint (tests/faults/soak_test.cpp), with peak memory at each checkpoint.
# Usage: scripts/soak.sh [BUILD_DIR] [CYCLES]   (defaults: build, 100000; about 7 ms a
# cycle on 2 cores). Exits non-zero when a run fails, a label is missing or a runner job
# peaks above 200 MB.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/run-env.sh "${1:-build}"
cycles=${2:-100000}
faults=$build/tests/faults_tests
[[ -x $faults ]] || { echo "build $faults first" >&2; exit 1; }

failed=0
printf '| %-34s | %7s | %4s | %9s | %5s | %6s | %8s |\n' load records exit documents pages "wall s" "peak MB"
printf '|%s|\n' "------------------------------------|---------|------|-----------|-------|--------|---------"
# type, records, expected documents, extra settings. The built-in sheets print one
# sheet; type 99 goes on until a sheet ends on the last request (1000 sheets of 65).
while read -r type records documents extra; do
  dir=$work/$type
  mkdir -p "$dir/data" "$dir/pdf"
  request_csv "$records" shelf >"$dir/request.csv"
  sets=()
  [[ $extra != - ]] && sets=(--set "$extra")
  "$corvel" request --no-run --data "$dir/data" --type "$type" --pdf-folder "$dir/pdf" \
    "${sets[@]}" "$dir/request.csv" 2>/dev/null
  sum_before=$(cat "$dir/data/Barprint" "$dir/data/ShelfPrint" | sha256sum)
  status=0
  /usr/bin/time -f '%e %M' -o "$dir/time" "$sheetwise" >/dev/null 2>"$dir/err" || status=$?
  read -r wall rss <"$dir/time"
  made=$(find "$dir/pdf" -name '*.pdf' | wc -l)
  pages=0
  for pdf in "$dir/pdf"/*.pdf; do
    pages=$((pages + $(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')))
  done
  same=$(cat "$dir/data/Barprint" "$dir/data/ShelfPrint" | sha256sum)
  printf '| %-34s | %7d | %4d | %9d | %5d | %6.2f | %8d |\n' "$type ${extra/-/}" "$records" \
    "$status" "$made" "$pages" "$wall" $((rss / 1024))
  if [[ $status != 0 || $made != "$documents" || $same != "$sum_before" || $rss -gt 204800 ]]; then
    failed=1
    echo "  FAILED: expected $documents documents, status 0, request unchanged, peak under" \
      "200 MB; $(cat "$dir/err")"
  fi
done <<'LOADS'
Z 500 500 -
P 5000 1 -
P20 5000 1 -
44 5000 1 -
65 5000 1 -
84 5000 1 -
99 5000 1000 Quorrel/OnePage=False
S1 500 500 -
S2 500 500 -
S3 500 500 -
LOADS

echo
echo "station: start-up on 5000 products, then $cycles scale cycles (Autoprint, PDF folder)"
/usr/bin/time -f '%e %M' -o "$work/soak.time" \
  env CORVEL_SOAK_CYCLES="$cycles" "$faults" --gtest_filter='Soak.*' >"$work/soak.log" 2>&1 ||
  { failed=1; cat "$work/soak.log"; }
grep '^\[ SOAK \]' "$work/soak.log" | sed 's/^\[ SOAK \] /  /'
read -r wall rss <"$work/soak.time"
printf '  whole process: %.0f s, peak %d MB\n' "$wall" $((rss / 1024))
exit $failed
