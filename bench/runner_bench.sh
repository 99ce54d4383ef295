#!/usr/bin/env bash
# Whole-process figures for the print runner, unattended into a PDF folder:
#   1. a 5000-item "P20" request (250 pages): wall time, peak memory, cost per label;
#   2. a "Z" request of one label, from start to exit;
#   3. start-up until the print dialog is on screen (Xvfb; skipped without it).
# Usage: bench/runner_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/run-env.sh "${1:-build}"

# Wall seconds and peak resident kilobytes of one command, from /usr/bin/time -v.
measure() {
  local log=$work/time.log
  /usr/bin/time -v "$@" >/dev/null 2>"$log" || { cat "$log" >&2; return 1; }
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log" |
    awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$log")
  echo "$wall $rss"
}

echo "== 5000-item P20 request to the PDF target"
mkdir -p "$work/p20/data" "$work/p20/pdf"
request_csv 5000 > "$work/p20.csv"
"$corvel" request --no-run --data "$work/p20/data" --type P20 --pdf-folder "$work/p20/pdf" \
  "$work/p20.csv" 2>/dev/null
read -r wall rss < <(measure "$sheetwise")
pdf=$(ls "$work/p20/pdf"/*.pdf)
pages=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
printf 'wall %.2f s, peak memory %d MB, %s pages, %.0f us per label, PDF %d kB\n' \
  "$wall" $((rss / 1024)) "$pages" "$(echo "$wall * 1000000 / 5000" | bc -l)" \
  $(($(stat -c %s "$pdf") / 1024))

echo "== Z request of one label, whole process"
mkdir -p "$work/z/data" "$work/z/pdf"
request_csv 1 > "$work/z.csv"
"$corvel" request --no-run --data "$work/z/data" --type Z --pdf-folder "$work/z/pdf" \
  "$work/z.csv" 2>/dev/null
best=
for run in 1 2 3 4 5; do
  read -r wall rss < <(measure "$sheetwise")
  if [[ -z $best ]] || (($(echo "$wall < $best" | bc -l))); then best=$wall; fi
done
printf 'best of 5: %.3f s, peak memory %d MB\n' "$best" $((rss / 1024))

echo "== start-up until the print dialog is shown (Xvfb)"
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
  for _ in $(seq 50); do DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
  for run in 1 2 3; do
    start=$(date +%s.%N)
    env -u QT_QPA_PLATFORM -u CORVEL_PRINT_DIALOG DISPLAY=$display "$sheetwise" 2>/dev/null &
    runner=$!
    DISPLAY=$display xdotool search --sync --onlyvisible --class sheetwise >/dev/null
    shown=$(date +%s.%N)
    kill "$runner" 2>/dev/null; wait "$runner" 2>/dev/null || true
    printf 'run %d: dialog shown after %.3f s\n' "$run" "$(echo "$shown - $start" | bc -l)"
  done
else
  echo "skipped: Xvfb or xdotool missing"
fi
