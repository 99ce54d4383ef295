#!/usr/bin/env bash
# Sheet labels at volume: N barcode requests printed on type-99 sheets of 40 labels
# (4 columns x 10 rows, "OnePage" False, so every request is printed once) into a PDF
# folder, side by side with the tools a shop would otherwise use for the same job:
# GNU barcode's table mode to PostScript plus ps2pdf, and gLabels' batch merge on a
# 44-up A4 template. Reports wall time, peak memory and cost per label.
#
#   bench/sheet_bench.sh [BUILD_DIR] [N...]      (default: build 1000 5000)
#
# The peers are used only when installed (Debian: barcode, ghostscript, glabels).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1000 5000)
for program in runner/sheetwise tools/corvel; do
  [ -x "$build/$program" ] || { echo "build $program first (in $build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
export QT_QPA_PLATFORM=offscreen CORVEL_PRINT_DIALOG=accept

# N distinct EAN-13 numbers: 12 data digits, then the check digit.
codes() {
  awk -v n="$1" 'BEGIN {
    for (i = 1; i <= n; i++) {
      d = sprintf("400638%06d", 200000 + i); s = 0
      for (k = 1; k <= 12; k++) s += substr(d, k, 1) * (k % 2 ? 1 : 3)
      print d (10 - s % 10) % 10
    }
  }'
}

# Runs a command under /usr/bin/time; prints "seconds peak-kB".
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || {
    echo "failed: $*" >&2; cat "$work/err" >&2; return 1; }
  cat "$work/time"
}

report() {  # tool n seconds kB
  awk -v tool="$1" -v n="$2" -v s="$3" -v kb="$4" 'BEGIN {
    printf "%-28s %6d %9.2f %9.1f %12.3f\n", tool, n, s, kb / 1024, s * 1000 / n }'
}

run_ours() {
  local n=$1 dir=$work/ours-$1
  mkdir -p "$dir/data" "$dir/pdf"
  {
    printf '{"path": "%s", "barcodetype": "99",\n' "$dir/data"
    printf ' "settings": {"Quorrel": {"numofrows": "10", "numofcolumns": "4", "OnePage": "False"}},\n'
    printf ' "barcodes": [\n'
    codes "$n" | awk '{ printf "%s{\"code\": \"%s\", \"description\": \"Item %d\", \"price\": \"$%d.99\"}",
                          (NR > 1 ? ",\n" : ""), $1, NR, NR % 100 }'
    printf '\n]}\n'
  } > "$dir/request.json"
  "$build/tools/corvel" request --no-run --pdf-folder "$dir/pdf" "$dir/request.json" >/dev/null 2>&1
  read -r seconds kb < <(measure "$build/runner/sheetwise")
  local sheets
  sheets=$(find "$dir/pdf" -name '*.pdf' | wc -l)
  report "sheetwise ($sheets PDFs)" "$n" "$seconds" "$kb"
}

run_gnu_barcode() {
  local n=$1 dir=$work/gnu-$1
  mkdir -p "$dir"
  codes "$n" | cut -c1-12 > "$dir/codes.txt"
  cat > "$dir/run.sh" <<SCRIPT
barcode -e ean13 -u mm -p 210x297mm -t 4x11+6+7 -i "$dir/codes.txt" -o "$dir/out.ps"
ps2pdf "$dir/out.ps" "$dir/out.pdf"
SCRIPT
  read -r seconds kb < <(measure bash "$dir/run.sh")
  report "GNU barcode + ps2pdf" "$n" "$seconds" "$kb"
}

run_glabels() {
  local n=$1 dir=$work/glabels-$1
  mkdir -p "$dir"
  { echo code; codes "$n"; } > "$dir/codes.csv"
  # Herma 4102: 44 labels on A4, 4 x 11; one EAN-13 per label from the merge field.
  cat > "$dir/labels.glabels" <<XML
<?xml version="1.0"?>
<Glabels-document xmlns="http://glabels.org/xmlns/3.0/">
  <Template brand="Herma" part="4102" size="A4" description="Allround Labels">
    <Meta category="label"/>
    <Label-rectangle id="0" width="136.913" height="72" round="0">
      <Markup-margin size="5"/>
      <Layout nx="4" ny="11" x0="24.0945" y0="24.0945" dx="136.913" dy="72"/>
    </Label-rectangle>
  </Template>
  <Objects id="0" rotate="False">
    <Object-barcode x="8pt" y="4pt" w="120pt" h="60pt" backend="gnu-barcode" style="EAN-13"
      text="True" checksum="True" color="0x000000ff" a0="1" a1="0" a2="0" a3="1" a4="0" a5="0"
      field="code"/>
  </Objects>
  <Merge type="Text/Comma/Line1Keys" src="$dir/codes.csv"/>
</Glabels-document>
XML
  read -r seconds kb < <(measure glabels-3-batch -o "$dir/out.pdf" "$dir/labels.glabels")
  report "gLabels batch merge" "$n" "$seconds" "$kb"
}

echo "Sheet labels: $(nproc) cores, $(date -u +%Y-%m-%d)"
printf "%-28s %6s %9s %9s %12s\n" tool labels "wall s" "peak MB" "ms/label"
for n in "${counts[@]}"; do
  run_ours "$n"
  if command -v barcode >/dev/null && command -v ps2pdf >/dev/null; then
    run_gnu_barcode "$n"
  else
    echo "GNU barcode + ps2pdf: not installed (apt-get install barcode ghostscript)"
  fi
  if command -v glabels-3-batch >/dev/null; then
    run_glabels "$n"
  else
    echo "gLabels batch merge: not installed (apt-get install glabels)"
  fi
done
