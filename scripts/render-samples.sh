#!/usr/bin/env bash
# Prints a sample sheet of 44 barcode labels and sample shelf cards in the three card
# layouts through the real programs (`corvel request` standing in for the point-of-sale
# suite, `sheetwise` unattended into a PDF folder), then renders the sheet and the first
# layout-1 card to docs/sheet.png and docs/shelf-card.png for the README.
#
#   scripts/render-samples.sh [--build DIR] [--pdf DIR] [--no-png]
#
# --build DIR  the build folder with runner/sheetwise and tools/corvel (default: build)
# --pdf DIR    keep the sample PDFs in DIR (default: a temporary folder)
# --no-png     only print the PDFs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
pdf=
png=yes
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(realpath "$2"); shift 2 ;;
    --pdf) pdf=$2; shift 2 ;;
    --no-png) png=; shift ;;
    *) sed -n '2,11p' "$0" >&2; exit 2 ;;
  esac
done
for program in runner/sheetwise tools/corvel; do
  [ -x "$build/$program" ] || { echo "build $program first (scripts/build.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "$pdf" ] || pdf=$work/pdf
mkdir -p "$pdf" "$work/config" "$work/runtime" "$work/data"
pdf=$(realpath "$pdf")
chmod 700 "$work/runtime"
# A private settings store: the samples never touch this user's own settings.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=offscreen CORVEL_PRINT_DIALOG=accept

request() {  # JSON on standard input
  cat > "$work/request.json"
  "$build/tools/corvel" request --data "$work/data" --pdf-folder "$pdf" "$work/request.json" \
    >/dev/null
}

# The newest PDF in the folder (names sort in printing order).
newest() { ls -1 "$pdf"/*.pdf | tail -n 1; }

# 44 grocery items with their EAN-13 codes, a few EAN-8 and UPC-E codes among them.
awk 'BEGIN {
  split("Apples,Pears,Plums,Bananas,Lemons,Limes,Oranges,Grapes,Kiwifruit,Mangoes,Carrots", fruit, ",")
  printf "{\"barcodetype\": \"44\", \"settings\": {\"Quorrel\": {\"EAN8\": \"True\", \"UPCE\": \"True\"}},\n"
  printf " \"barcodes\": [\n"
  for (i = 1; i <= 44; i++) {
    if (i % 9 == 0) code = sprintf("96385%02d", i)
    else if (i % 13 == 0) code = sprintf("12%d0000%03d", i % 10, 10 + i)
    else {
      d = sprintf("940123%06d", 4000 + i); s = 0
      for (k = 1; k <= 12; k++) s += substr(d, k, 1) * (k % 2 ? 1 : 3)
      code = d (10 - s % 10) % 10
    }
    printf "%s  {\"code\": \"%s\", \"description\": \"%s %dkg\", \"price\": \"$%d.%02d\"}",
           (i > 1 ? ",\n" : ""), code, fruit[(i - 1) % 11 + 1], 1 + int((i - 1) / 11), 1 + i % 7, (i * 37) % 100
  }
  printf "\n]}\n"
}' | request
sheet=$(newest)

for layout in S1 S2 S3; do
  request <<EOF
{"barcodetype": "$layout", "shelf": [
  {"texts": ["Corner Grocer", "Fresh today", "Granny Smith Apples", "3.49", "Crisp and sweet",
             "Product of New Zealand", "", "Special"], "byWeight": true},
  {"texts": ["Corner Grocer", "", "Baguette", "0.75", "Baked this morning"], "byWeight": false}
]}
EOF
  [ "$layout" = S1 ] && card=$(ls -1 "$pdf"/*.pdf | tail -n 2 | head -n 1)
done

echo "Sample PDFs in $pdf:"
ls -1 "$pdf"
if [ -n "$png" ]; then
  mkdir -p docs
  pdftoppm -r 50 -png -singlefile "$sheet" docs/sheet
  pdftoppm -r 50 -png -singlefile "$card" docs/shelf-card
  echo "Rendered docs/sheet.png and docs/shelf-card.png"
fi
