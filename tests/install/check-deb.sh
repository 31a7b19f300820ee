#!/usr/bin/env bash
# check-deb.sh BUILD_DIR VERSION
# Builds the Debian package into a scratch folder and checks its control data: the file name apt is given, the
# version, and dependencies both from dpkg-shlibdeps (linked libraries) and from our list (what is loaded at run time).
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cpack -G DEB --config "$1/CPackConfig.cmake" -B "$scratch" >"$scratch/log" 2>&1 || { cat "$scratch/log"; exit 1; }
deb="$scratch/sayloom_${2}_$(dpkg --print-architecture).deb"
control=$(dpkg-deb -f "$deb" Package Version Depends) || { echo "FAIL: no $deb: $(ls "$scratch")"; exit 1; }
[[ "$control" == *"Package: sayloom"*"Version: $2"* ]] || { echo "FAIL: control data: $control"; exit 1; }
for needed in libqt6widgets6 libpocketsphinx3 pocketsphinx-en-us wamerican libcanberra-pulse libqt6svg6; do
    [[ "$control" == *" $needed"[\ ,]* || "$control" == *" $needed" ]] || { echo "FAIL: no $needed in $control"; exit 1; }
done
echo "package checks passed: $(basename "$deb"), $(dpkg-deb -f "$deb" Installed-Size) KiB installed"
