#!/usr/bin/env bash
# N roll labels ("Z", default 200) through a private print server with a 60 x 40 mm roll
# queue that keeps every job: wall time of sheetwise from start to exit, and how many
# jobs the queue completed.
# Usage: bench/cups_roll_bench.sh [BUILD_DIR] [N]   (default: build 200)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build}")
count=${2:-200}
corvel=$build/tools/corvel; sheetwise=$build/runner/sheetwise
work=$(mktemp -d); chmod 755 "$work"
for d in spool tmp cache state log out ppd; do mkdir -p "$work/$d"; chmod 777 "$work/$d"; done
cat > "$work/cupsd.conf" <<C
Listen $work/cups.sock
LogLevel warn
Browsing Off
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
C
cat > "$work/cups-files.conf" <<C
ServerRoot $work
RequestRoot $work/spool
TempDir $work/tmp
CacheDir $work/cache
StateDir $work/state
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
FileDevice Yes
C
cat > "$work/ppd/roll.ppd" <<'P'
*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TEST.PPD"
*Manufacturer: "Test"
*Product: "(Roll)"
*ModelName: "Roll"
*ShortNickName: "Roll"
*NickName: "Roll"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 1.0
*cupsManualCopies: True
*JCLBegin: "<1B>%-12345X@PJL JOB<0A>"
*JCLToPDFInterpreter: "@PJL ENTER LANGUAGE = PDF<0A>"
*JCLEnd: "<1B>%-12345X@PJL EOJ <0A><1B>%-12345X"
*cupsFilter: "application/vnd.cups-pdf 0 -"
*OpenUI *PageSize/Page Size: PickOne
*OrderDependency: 100 AnySetup *PageSize
*DefaultPageSize: w170h113
*PageSize w170h113/60 x 40 mm: ""
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 100 AnySetup *PageRegion
*DefaultPageRegion: w170h113
*PageRegion w170h113/60 x 40 mm: ""
*CloseUI: *PageRegion
*DefaultImageableArea: w170h113
*ImageableArea w170h113/60 x 40 mm: "0 0 170.08 113.39"
*DefaultPaperDimension: w170h113
*PaperDimension w170h113/60 x 40 mm: "170.08 113.39"
P
/usr/sbin/cupsd -f -c "$work/cupsd.conf" -s "$work/cups-files.conf" &
cupsd=$!
trap 'kill $cupsd; wait $cupsd 2>/dev/null; rm -rf "$work"' EXIT
export CUPS_SERVER=$work/cups.sock
for _ in $(seq 100); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.1; done
lpadmin -p Roll -E -v "file://$work/out/roll.pdf" -P "$work/ppd/roll.ppd"
mkdir -p "$work/config/Corvel" "$work/home" "$work/run" "$work/data"; chmod 700 "$work/run"
export XDG_CONFIG_HOME=$work/config HOME=$work/home XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen CORVEL_PRINT_DIALOG=accept
awk -v n="$count" 'BEGIN { print "code,description,price"; for (i = 1; i <= n; i++) { data = sprintf("2%011d", i); sum = 0
  for (k = 1; k <= 12; k++) sum += substr(data, k, 1) * (k % 2 ? 1 : 3); printf "%s%d,Item %d,1.00\n", data, (10 - sum % 10) % 10, i } }' > "$work/z.csv"
"$corvel" request --no-run --data "$work/data" --type Z "$work/z.csv" >/dev/null 2>&1 || { echo "request failed"; exit 1; }
printf '[Printer]\nPrinterName=Roll\n' >> "$work/config/Corvel/Corvel.ini"
start=$(date +%s.%N)
status=0
"$sheetwise" || status=$?
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" -v n="$count" -v st="$status" \
  'BEGIN { printf "sheetwise: %d roll labels, exit %d, %.2f s wall, %.1f ms a label\n", n, st, e - s, 1000 * (e - s) / n }'
for _ in $(seq 600); do [ -z "$(lpstat -W not-completed -o 2>/dev/null)" ] && break; sleep 0.1; done
echo "jobs completed by the queue: $(lpstat -W completed -o Roll | wc -l)"
