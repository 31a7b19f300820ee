#!/usr/bin/env bash
# check-install.sh CMAKE BUILD_DIR
# Installs the build into a scratch folder as the package does (prefix /usr) and checks what lands there: exactly
# the files a user needs, a launcher entry and AppStream data the desktop tools accept, icons that are PNGs of their
# folder's size, and a program that runs from there with no library search path back into the build tree.
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

DESTDIR="$scratch/root" "$1" --install "$2" --prefix /usr >"$scratch/log" || { cat "$scratch/log"; exit 1; }
usr="$scratch/root/usr" id=app.sayloom.Sayloom sizes=(16 22 24 32 48 64 128 256 512)
expected=(bin/sayloom share/man/man1/sayloom.1.gz share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/doc/sayloom/copyright
    share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/symbolic/apps/$id{,-recording}-symbolic.svg
    share/sayloom/{help.html,cue-begin.wav,cue-end.wav,sayloom-setup-keyboard})
for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png"); done
# Anything beyond the list (a test program, a benchmark, a static library) would end up in the package too.
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$usr" && find . ! -type d | sed 's|^\./||' | sort) ||
    fail "installed files differ from the expected ones (< missing, > unexpected)"

[[ -x "$usr/share/sayloom/sayloom-setup-keyboard" ]] || fail "the keyboard setup is not executable"

# Debian 12's validator predates the standard SingleMainWindow key and calls it an error; all else must pass.
report=$(desktop-file-validate "$usr/share/applications/$id.desktop" 2>&1 | grep -v '"SingleMainWindow"' || true)
[[ -z "$report" ]] || fail "desktop-file-validate: $report"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$scratch/log" 2>&1 ||
    fail "appstreamcli: $(cat "$scratch/log")"

# A PNG starts with its signature, then the IHDR chunk whose first fields are the width and height.
for size in "${sizes[@]}"; do
    png="$usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
    header=$(od -An -tu1 -N24 "$png" 2>/dev/null | tr -s ' \n' ' ' || true)
    dimension=" 0 0 $((size / 256)) $((size % 256))"
    [[ "$header" == " 137 80 78 71 "*"$dimension$dimension " ]] || fail "$png is not a ${size}x${size} PNG: $header"
done

readelf -d "$usr/bin/sayloom" | grep -E 'RPATH|RUNPATH' && fail "the installed program carries a library search path"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" XDG_DATA_HOME="$scratch/home/data"
"$usr/bin/sayloom" --selftest >"$scratch/log" 2>&1 || fail "installed sayloom --selftest: $(cat "$scratch/log")"
# Every option the program's help names has its entry in the manual page, and the page names no other.
options() { grep -oE '(^|[[:space:][])--?[a-z][a-z-]*' | sed 's/^[[:space:][]*//' | sort -u; }
diff <("$usr/bin/sayloom" --help | options) <(zcat "$usr/share/man/man1/sayloom.1.gz" | sed 's/\\f[BIRP]//g; s/\\-/-/g' |
    options) || fail "the manual page's options differ from --help's (< only in --help, > only in the page)"
((failures == 0)) || exit 1
echo "install checks passed: ${#expected[@]} files"
