#!/usr/bin/env bash
# check-deb.sh BUILD_DIR VERSION
# Builds the Debian package from the build into a scratch folder and checks its control data: the name apt is told
# to install, the version, and dependencies that come both from dpkg-shlibdeps (the linked libraries) and from our
# own list (what the program loads at run time).
set -euo pipefail
build_dir=$1
version=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
arch=$(dpkg --print-architecture)
deb="$scratch/sayloom_${version}_${arch}.deb"
[[ -f "$deb" ]] || { echo "FAIL: no $(basename "$deb") in: $(ls "$scratch")" >&2; exit 1; }

failures=0
field() { dpkg-deb -f "$deb" "$1"; }
[[ "$(field Package)" == sayloom && "$(field Version)" == "$version" && "$(field Architecture)" == "$arch" ]] ||
    { echo "FAIL: control says $(field Package) $(field Version) $(field Architecture)" >&2; failures=1; }
depends=", $(field Depends),"
for needed in libqt6core6 libqt6widgets6 libpocketsphinx3 pocketsphinx-en-us wamerican libcanberra-pulse libqt6svg6; do
    [[ "$depends" == *", $needed"[\ ,]* ]] || { echo "FAIL: Depends lacks $needed: $depends" >&2; failures=1; }
done
dpkg-deb -c "$deb" >"$scratch/contents"
grep -q ' \./usr/bin/sayloom$' "$scratch/contents" || { echo "FAIL: the package has no /usr/bin/sayloom" >&2; failures=1; }
((failures == 0)) && echo "package checks passed: $(basename "$deb"), $(field Installed-Size) KiB installed"
