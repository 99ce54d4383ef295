#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs every test, once as
# is and once under a decimal-comma locale; then does the same with the address and
# undefined-behaviour sanitizers, and fuzzes the input readers for a minute each. Ends
# with the fuzzing summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

echo "== build (warnings are errors)"
scripts/build.sh build -DCORVEL_WERROR=ON
echo "== tests"
ctest --test-dir build -j "$(nproc)" --timeout 600

echo "== tests under a decimal-comma locale (de_DE.UTF-8)"
# Numbers must read and write the same whatever the user's locale. The locale is
# generated into a private folder, so the system's locales stay as they are.
locales=$(mktemp -d)
trap 'rm -rf "$locales"' EXIT
localedef -i de_DE -f UTF-8 "$locales/de_DE.UTF-8" || [ -e "$locales/de_DE.UTF-8/LC_NUMERIC" ]
LOCPATH=$locales LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 \
  ctest --test-dir build -j "$(nproc)" --timeout 600

echo "== build with address and undefined-behaviour sanitizers"
scripts/build.sh build-sanitize -DCORVEL_SANITIZE=ON -DCORVEL_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
echo "== tests under the sanitizers"
# Leak reports are on. The system font and print libraries keep caches for the whole
# process; scripts/lsan.supp names those libraries, so a leak of ours is still reported.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
  ctest --test-dir build-sanitize -j "$(nproc)" --timeout 900

echo "== fuzzing"
scripts/fuzz
