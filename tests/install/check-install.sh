#!/usr/bin/env bash
# check-install.sh CMAKE BUILD_DIR
# Installs the build into a scratch folder as a package would (prefix /usr) and checks what lands there: exactly the
# files a user needs and nothing else, a launcher entry and software-centre data the desktop tools accept, icons that
# are PNGs of their folder's size, and a program that runs from there with no search path back into the build tree.
set -euo pipefail
cmake_command=$1
build_dir=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

DESTDIR="$scratch/root" "$cmake_command" --install "$build_dir" --prefix /usr >"$scratch/install.log" ||
    { cat "$scratch/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }
usr="$scratch/root/usr"
id=app.sayloom.Sayloom
sizes=(16 22 24 32 48 64 128 256 512)

expected=(
    bin/sayloom
    share/applications/$id.desktop
    share/metainfo/$id.metainfo.xml
    share/doc/sayloom/copyright
    share/icons/hicolor/scalable/apps/$id.svg
    share/icons/hicolor/symbolic/apps/$id-symbolic.svg
    share/icons/hicolor/symbolic/apps/$id-recording-symbolic.svg
    share/sayloom/help.html
    share/sayloom/cue-begin.wav
    share/sayloom/cue-end.wav
)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
# Anything beyond the list (a test program, a benchmark, a static library) would end up in the package too.
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
    fail "installed files differ from the expected list (< missing, > unexpected)"

# Debian 12's validator predates the standard SingleMainWindow key (desktop entry 1.5) and calls it an error; that
# one line aside, the entry must validate cleanly.
desktop_report=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1 |
    grep -v 'key "SingleMainWindow" in group "Desktop Entry", but keys extending the format' || true)
[[ -z "$desktop_report" ]] || fail "desktop-file-validate: $desktop_report"

appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$scratch/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$scratch/appstream.log")"

# A PNG starts with its signature, then the IHDR chunk whose first two fields are the width and height.
png_field() { od -An -tu1 -j "$2" -N4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'; }
for size in "${sizes[@]}"; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    [[ -f "$png" ]] || continue
    signature=$(od -An -c -j1 -N3 "$png" | tr -d ' ')
    width=$(png_field "$png" 16)
    height=$(png_field "$png" 20)
    [[ "$signature" == PNG && "$width" == "$size" && "$height" == "$size" ]] ||
        fail "$png is '$signature' ${width}x${height}, not a ${size}x${size} PNG"
done

if [[ -x "$usr/bin/sayloom" ]]; then
    if readelf -d "$usr/bin/sayloom" | grep -E 'RPATH|RUNPATH' >"$scratch/rpath.log"; then
        fail "the installed program carries a library search path: $(cat "$scratch/rpath.log")"
    fi
    # The program works from where it was installed, with its files kept away from the user's.
    export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" XDG_DATA_HOME="$scratch/home/data"
    "$usr/bin/sayloom" --selftest >"$scratch/selftest.log" 2>&1 ||
        fail "installed sayloom --selftest: $(cat "$scratch/selftest.log")"
fi

if ((failures > 0)); then
    echo "$failures install check(s) failed" >&2
    exit 1
fi
echo "install checks passed: ${#expected[@]} files"
