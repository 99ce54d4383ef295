# Set-up shared by scripts/soak.sh and bench/runner_bench.sh, sourced from the source
# tree's root with the build folder as its argument (default: build): sets build, corvel
# and sheetwise (which must be built); makes a temporary folder `work`, removed on exit,
# holding the home, settings and runtime folders the programs use; selects the offscreen
# platform and answers print dialogs unattended. request_csv N [shelf] writes a request
# of N distinct EAN-13 codes, with "shelf" a shelf card beside each.
build=$(realpath -m "${1:-build}") # relative to the source tree, or absolute
corvel=$build/tools/corvel
sheetwise=$build/runner/sheetwise
for program in "$corvel" "$sheetwise"; do
  [[ -x $program ]] || { echo "build $program first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
export QT_QPA_PLATFORM=offscreen CORVEL_PRINT_DIALOG=accept

request_csv() {
  awk -v n="$1" -v shelf="${2:-}" 'BEGIN {
    print "code,description,price" (shelf ? ",text1,text2,text3,text4,text5,byweight" : "")
    for (i = 1; i <= n; i++) {
      data = sprintf("2%011d", i); sum = 0
      for (k = 1; k <= 12; k++) sum += substr(data, k, 1) * (k % 2 ? 1 : 3)
      printf "%s%d,Item %d,$%d.%02d", data, (10 - sum % 10) % 10, i, i % 100, i % 97
      if (shelf) printf ",FRESH,Aisle %d,Item %d described at length,%d.%02d,per unit,%s",
        i % 20, i, i % 100, i % 97, (i % 2 ? "true" : "false")
      printf "\n"
    }
  }'
}
