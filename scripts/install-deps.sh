#!/usr/bin/env bash
# Installs the Debian 12 packages Corvel needs to build and test, when any is missing.
# Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config ccache qt6-base-dev qt6-serialport-dev libgtest-dev libgmock-dev
  libbenchmark-dev libcups2-dev libfreetype-dev zlib1g-dev
  # the label journal (SQLite through its C API)
  libsqlite3-dev
  # fuzzing (scripts/fuzz): clang with libFuzzer and its sanitizer runtimes
  clang-14 libclang-rt-14-dev
  # fonts the labels use: Tahoma (fonts-wine) and Times New Roman's metric twin
  fonts-wine fonts-liberation
  # tests: PDF rasterising and text, barcode decoding, pseudo-terminals, X server,
  # screenshots, a private print server with a PDF queue
  poppler-utils zbar-tools socat xvfb xauth xdotool imagemagick cups cups-filters
  # tests on the printer drivers Debian ships (tests/cups/stock_driver_test.cpp): the label
  # and office drivers of sample.drv (cups-common), their filters rastertolabel and
  # rastertohp (cups), pdftopdf (cups-filters-core-drivers) and gstoraster (cups-filters)
  # with ghostscript; a driverless label printer, ippeveprinter (cups-ipp-utils), which
  # will not start without DNS-SD: a private dbus-daemon and avahi-daemon, the latter in a
  # user namespace made by unshare (util-linux)
  cups-common cups-filters-core-drivers ghostscript cups-ipp-utils dbus-daemon avahi-daemon
  util-linux
  # a decimal-comma locale generated into a private folder for the tests (localedef)
  locales
  # packages: cpack finds the programs with file and their dependencies with
  # dpkg-shlibdeps (dpkg-dev); lintian checks the packages
  file dpkg-dev lintian
  # peak memory of whole processes in scripts/soak.sh and the bench scripts
  time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
"${as_root[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
