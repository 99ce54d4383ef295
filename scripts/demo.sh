#!/usr/bin/env bash
# The main job on an embedded default: no printer, no scale and no point-of-sale suite
# needed. Installs what is missing, builds, and prints sample labels into a PDF folder
# (out/demo/pdf in this checkout), then says where they are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh
scripts/build.sh build >/dev/null

demo=$root/out/demo
pdf=$demo/pdf
rm -rf "$demo"
mkdir -p "$pdf" "$demo/config/Corvel" "$demo/runtime" "$demo/station" "$demo/suite"
chmod 700 "$demo/runtime"
# A private settings store, so the demo never touches this user's own settings; both
# programs print into the PDF folder.
export XDG_CONFIG_HOME=$demo/config XDG_RUNTIME_DIR=$demo/runtime
printf '[Zebra]\nPdfFolder=%s\n[Printer]\nPdfFolder=%s\n' "$pdf" "$pdf" > "$demo/config/Corvel/Corvel.ini"
export QT_QPA_PLATFORM=offscreen CORVEL_PRINT_DIALOG=accept
corvel=$root/build/tools/corvel

echo "Sample barcode symbols"
"$corvel" barcode 4006381333931 --pdf "$pdf/sample-ean13.pdf"
"$corvel" barcode 9638507 --ean8 --pdf "$pdf/sample-ean8.pdf"
"$corvel" barcode 1230000045 --upce --pdf "$pdf/sample-upce.pdf"

echo
echo "A sample weighed label (price-embedded EAN-13) from the station's label code"
"$corvel" label --code 1234 --description "Leg Ham" --price 12.99 --tare 0.015 \
  --weight "1.235 KG" --shelf-life 3 --check-digit --store1 "Corner Deli" \
  --store2 "12 High Street" --pdf-folder "$pdf"

echo
echo "Sample roll labels (Z) and a list page of 20 items (P20) from the request writer"
"$corvel" request --data "$demo/suite" --type Z --pdf-folder "$pdf" samples/roll-labels.csv
"$corvel" request --data "$demo/suite" --type P20 --pdf-folder "$pdf" samples/list-page.csv

echo
echo "A sample sheet of 44 labels and shelf cards in the three card layouts"
scripts/render-samples.sh --build build --pdf "$pdf" --no-png >/dev/null

echo
echo "Sample labels are in $pdf (one PDF file per label, page, sheet or card;"
echo "the names sort in printing order):"
for f in "$pdf"/*.pdf; do
  printf '  %s  (%s page(s))\n' "$(basename "$f")" "$(pdfinfo "$f" 2>/dev/null | awk '/^Pages:/ {print $2}')"
done
