#!/usr/bin/env bash
# The Debian packages as an admin gets them: made with cpack from a build folder,
# unpacked into a clean root, their files and declared dependencies checked, lintian run
# on them (no errors), and the programs run from the unpacked copy.
#   tests/package/package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack did not make the packages"; }

# package | files it installs | dependencies it must declare
expected=(
  "tarewise|bin/tarewise share/applications/tarewise.desktop share/icons/hicolor/scalable/apps/tarewise.svg share/man/man1/tarewise.1.gz|libqt6printsupport6 libqt6serialport6"
  "sheetwise|bin/sheetwise share/man/man1/sheetwise.1.gz|libqt6printsupport6"
  "corvel|bin/corvel share/man/man1/corvel.1.gz|"
)
debs=()
for row in "${expected[@]}"; do
  IFS='|' read -r package files deps <<<"$row"
  deb=$(ls "$work/out/${package}_"*.deb 2>/dev/null) || fail "no $package package"
  debs+=("$deb")
  want=$(for f in $files share/doc/$package/copyright share/doc/$package/changelog.gz; do
    echo "./usr/$f"; done | sort)
  have=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
  [ "$have" = "$want" ] || fail "$package installs:"$'\n'"$have"$'\n'"expected:"$'\n'"$want"
  depends=$(dpkg-deb -f "$deb" Depends)
  for dep in libqt6core6 libqt6gui6 libqt6widgets6 libcups2 fonts-wine fonts-liberation $deps; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "$package does not depend on $dep: $depends"
  done
  dpkg -x "$deb" "$work/unpacked"
done
[[ "$(dpkg-deb -f "${debs[2]}" Recommends)" == *sheetwise* ]] || fail "corvel does not recommend sheetwise"
for deb in "${debs[0]}" "${debs[1]}"; do
  [[ "$(dpkg-deb -f "$deb" Recommends)" == *cups* ]] || fail "$deb does not recommend the print server"
done

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.log" ||
  fail "lintian reports errors"

echo "== the unpacked programs"
bin=$work/unpacked/usr/bin
home=$work/home
mkdir -p "$home/config/Corvel" "$home/runtime" "$home/data" "$home/pdf"
chmod 700 "$home/runtime"
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/runtime
export QT_QPA_PLATFORM=offscreen CORVEL_PRINT_DIALOG=accept
"$bin/corvel" --help | grep -q '^usage: corvel SUBCOMMAND' || fail "corvel --help"
"$bin/corvel" barcode 4006381333931 | grep -q '^number: *4006381333931$' || fail "corvel barcode"
"$bin/corvel" request --no-run --data "$home/data" --type 44 --pdf-folder "$home/pdf" \
  "$source_dir/samples/roll-labels.csv" 2>/dev/null || fail "corvel request"
"$bin/sheetwise" || fail "sheetwise ended with status $?"
[ "$(ls "$home/pdf" | grep -c '\.pdf$')" = 1 ] || fail "sheetwise printed no sheet into $home/pdf"
echo "packages, files, dependencies, lintian and the unpacked programs: all right"
