#!/usr/bin/env bash
# Takes a screenshot of the station window under a virtual X server (Xvfb), started in
# a scratch working folder with its own settings, so nothing of this user's is touched.
#   scripts/station-screenshot.sh [BUILD_DIR] [OUTPUT_PNG] [preview|edit]
# Defaults: build, docs/station.png; "preview" shows the label preview panel too
# (docs/station-preview.png); "edit" fills in an item with a symbol and a weight and
# switches the preview to layout editing (docs/station-edit.png). Needs xvfb-run,
# xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
output=${2:-docs/station.png}
case $build in /*) ;; *) build=$PWD/$build ;; esac
tarewise=$build/station/tarewise
[ -x "$tarewise" ] || { echo "no $tarewise: build the tarewise target first" >&2; exit 1; }
case $output in /*) ;; *) output=$PWD/$output ;; esac

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/work" "$scratch/config/Corvel" "$scratch/runtime" "$scratch/home"
chmod 700 "$scratch/runtime"
cat > "$scratch/config/Corvel/Corvel.ini" <<INI
[Zebra]
Storename1=Corner Deli
Storename12=12 High Street
PrinterName=labels
INI
case ${3:-} in
  preview | edit) echo "ShowPreview=True" >> "$scratch/config/Corvel/Corvel.ini" ;;
esac

cat > "$scratch/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
set -euo pipefail
"$TAREWISE" &
pid=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --class tarewise | head -1)
sleep 1  # let the first paint finish
if [ "$MODE" = edit ]; then
  # Code, price and weight typed into their boxes (where the window's layout puts them),
  # then Ctrl+E.
  for box in "65 27 1234" "75 100 12.99" "320 233 1.235"; do
    set -- $box
    xdotool mousemove --window "$window" "$1" "$2" click --clearmodifiers 1
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 20 "$3"
    xdotool key --clearmodifiers Tab
  done
  xdotool key --clearmodifiers ctrl+e
  sleep 1
  # The price chosen (where it lands in this window), so the status line shows its values.
  xdotool mousemove --window "$window" 690 180 click --clearmodifiers 1
  sleep 1
fi
import -window "$window" "$OUTPUT"
kill "$pid"
wait "$pid" 2>/dev/null || true
SHOOT
chmod +x "$scratch/shoot.sh"

(
  cd "$scratch/work"
  env -u QT_QPA_PLATFORM HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" \
    XDG_RUNTIME_DIR="$scratch/runtime" TAREWISE="$tarewise" OUTPUT="$output" MODE="${3:-}" \
    xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$scratch/shoot.sh"
)
echo "screenshot: $output"
