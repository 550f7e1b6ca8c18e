#!/usr/bin/env bash
# Installs into a temporary prefix, checks the layout and the desktop files, starts the
# installed program on the offscreen platform and checks that it found its samples under
# share/tagsifter. With "deb" it also builds the package and inspects it.
set -euo pipefail
build=$1
mode=${2:-install}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The Calc export module exists where the build found LibreOffice's SDK.
calc_module=""
if [ -e "$build/src/libtagsifter-calc.so" ]; then
    calc_module=./usr/lib/$(gcc -print-multiarch)/tagsifter/libtagsifter-calc.so
fi

if [ "$mode" = deb ]; then
    (cd "$build" && cpack -G DEB -B "$stage/pkg" >/dev/null)
    deb=$(ls "$stage"/pkg/tagsifter_*.deb)
    info=$(dpkg-deb -I "$deb")
    for dependency in libimage-exiftool-perl fonts-liberation libqt6widgets6; do
        grep -q "Depends:.*$dependency" <<<"$info" || fail "the package does not depend on $dependency"
    done
    grep -q 'Recommends: libreoffice-calc' <<<"$info" || fail "LibreOffice Calc is not recommended"
    grep -q 'Section: graphics' <<<"$info" || fail "wrong section"
    contents=$(dpkg-deb -c "$deb")
    for file in ./usr/bin/tagsifter ./usr/share/tagsifter/HAND-M.CUR ./usr/share/tagsifter/drag.ico \
        ./usr/share/applications/example.brimvale.Tagsifter.desktop \
        ./usr/share/metainfo/example.brimvale.Tagsifter.metainfo.xml \
        ./usr/share/icons/hicolor/256x256/apps/tagsifter.png \
        ./usr/share/tagsifter/Samples/Garden_party.jpg ./usr/share/man/man1/tagsifter.1.gz \
        ./usr/share/bash-completion/completions/tagsifter ./usr/share/doc/tagsifter/copyright \
        ./usr/share/zsh/vendor-completions/_tagsifter \
        ./usr/share/fish/vendor_completions.d/tagsifter.fish $calc_module; do
        grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
    done
    if grep -q "Depends:.*libreoffice-calc" <<<"$info"; then
        fail "LibreOffice Calc is a hard dependency"
    fi
    # LibreOffice's libraries, which only the Calc module needs, are recommended, not required.
    depends=$(grep '^ Depends:' <<<"$info")
    if grep -qE 'libuno|uno-libs' <<<"$depends"; then
        fail "LibreOffice's libraries are hard dependencies: $depends"
    fi
    if [ -n "$calc_module" ]; then
        grep -q '^ Recommends:.*libuno-cppu3' <<<"$info" || fail "the UNO libraries are not recommended"
    fi
    # Debian's own checks: no error, warnings shown.
    status=0
    # Its temp files go with the stage (a lintian run leaves one behind).
    mkdir "$stage/tmp"
    findings=$(TMPDIR=$stage/tmp lintian --fail-on error "$deb" 2>&1) || status=$?
    grep -v 'running with root privileges' <<<"$findings" || true
    [ "$status" -eq 0 ] || fail "lintian found errors"
    echo "package ok: $(basename "$deb")"
    exit 0
fi

DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
root=$stage/root/usr
for file in bin/tagsifter share/tagsifter/HAND-M.CUR share/tagsifter/drag.ico \
    share/applications/example.brimvale.Tagsifter.desktop \
    share/metainfo/example.brimvale.Tagsifter.metainfo.xml \
    share/icons/hicolor/256x256/apps/tagsifter.png share/icons/hicolor/48x48/apps/tagsifter.png \
    share/man/man1/tagsifter.1.gz share/bash-completion/completions/tagsifter \
    share/zsh/vendor-completions/_tagsifter share/fish/vendor_completions.d/tagsifter.fish; do
    [ -e "$root/$file" ] || fail "$file is not installed"
done
grep -q '^Exec=tagsifter %F$' "$root/share/applications/example.brimvale.Tagsifter.desktop" ||
    fail "the desktop entry does not pass the files to open"
# Offered for images only: a program that takes folders becomes their handler on a desktop
# without a file manager.
grep -q '^MimeType=image/jpeg;$' \
    "$root/share/applications/example.brimvale.Tagsifter.desktop" || fail "not offered for images only"
grep -q '^StartupWMClass=Tagsifter$' \
    "$root/share/applications/example.brimvale.Tagsifter.desktop" || fail "no StartupWMClass"
man -l "$root/share/man/man1/tagsifter.1.gz" >/dev/null 2>&1 || fail "the manual page does not format"
# groff finds nothing to warn of in the page the build made.
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/share/man/man1/tagsifter.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "the manual page has warnings: $man_warnings"
[ "$(ls "$root/share/tagsifter/Samples" | wc -l)" -ge 5 ] || fail "the samples are not installed"
# The program itself starts without LibreOffice; the module, installed beside it, loads.
if readelf -d "$root/bin/tagsifter" | grep -q 'NEEDED.*uno'; then
    fail "the program links LibreOffice's libraries"
fi
if [ -n "$calc_module" ]; then
    module=$stage/root/${calc_module#./}
    [ -e "$module" ] || fail "the Calc module is not installed"
    # Loaded as the program loads it: LibreOffice's UNO libraries from its program folder first.
    python3 -c '
import ctypes, sys
for name in ("libuno_sal.so.3", "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3"):
    ctypes.CDLL("/usr/lib/libreoffice/program/" + name, mode=ctypes.RTLD_GLOBAL)
ctypes.CDLL(sys.argv[1]).tagsifter_make_calc_spreadsheet' "$module" \
        || fail "the installed Calc module does not load"
    readelf -d "$module" | grep -qE 'RPATH|RUNPATH' && fail "the Calc module has a search path built in"
fi
[ ! -e "$root/bin/Samples" ] || fail "samples beside the installed program"
# Without LibreOffice's libraries (hidden in a mount namespace of this test's own, where one can
# be made) the program still starts and searches.
if unshare -m true 2>/dev/null; then
    unshare -m bash -c '
        for library in /usr/lib/*/libuno_*.so.3 /usr/lib/libreoffice/program/libuno_*.so.3; do
            [ -e "$library" ] && mount --bind /dev/null "$library"
        done
        XDG_CACHE_HOME=$2/nolo-cache "$1/bin/tagsifter" find -c kodak "$1/share/tagsifter/Samples"
    ' sh "$root" "$stage" >"$stage/nolo.txt" || fail "the program does not search without LibreOffice"
    grep -q '^6 images searched, 3 with hits' "$stage/nolo.txt" || fail "wrong search without LibreOffice"
else
    echo "no mount namespace here: the run without LibreOffice is left out"
fi

desktop-file-validate "$root/share/applications/example.brimvale.Tagsifter.desktop"
appstreamcli validate --no-net --explain "$root/share/metainfo/example.brimvale.Tagsifter.metainfo.xml" >/dev/null \
    || appstreamcli validate --no-net "$root/share/metainfo/example.brimvale.Tagsifter.metainfo.xml"

# The installed program takes the samples snapshot from share/tagsifter at its first start.
export XDG_CONFIG_HOME=$stage/config XDG_RUNTIME_DIR=$stage/runtime QT_QPA_PLATFORM=offscreen
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
"$root/bin/tagsifter" & pid=$!
settings=$XDG_CONFIG_HOME/Brimvale/Tagsifter.ini
for _ in $(seq 1 100); do
    [ -s "$settings" ] && break
    sleep 0.1
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
[ -s "$settings" ] || fail "the installed program stored no settings"
python3 - "$settings" "$root/share/tagsifter/Samples" <<'PY'
import sys
settings, samples = sys.argv[1], sys.argv[2]
# Read the line as it stands: the scrambled text may begin with characters a parser would
# strip as white space.
raw = next(line[len("Snapshot="):].rstrip("\n") for line in open(settings, encoding="utf-8")
           if line.startswith("Snapshot="))
# QSettings writes characters it escapes as \xNNNN.
import re
text = re.sub(r"\\x([0-9a-fA-F]{4})", lambda m: chr(int(m.group(1), 16)), raw).strip('"')
key = b"quillmet"
data = bytes(((ord(c) - key[i % 8]) + (255 if ord(c) - key[i % 8] < 1 else 0)) for i, c in enumerate(text))
paths = data.decode("utf-8").split("|")
import os
expected = sorted(os.listdir(samples), key=lambda n: (n.lower(), n))
found = [os.path.basename(p) for p in paths]
assert all(p.startswith(samples + "/") for p in paths), paths
assert found == expected, (found, expected)
print("samples found:", len(paths))
PY
echo "install ok"
