#!/bin/sh
# Installs the build into a temporary root and checks what a package would hold: the layout, the
# desktop entry and software-centre data by their validators, and that the installed command,
# started through its link on the search path, finds its own files.
#   install-test.sh BUILD-FOLDER
set -eu
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

fail() { echo "FAIL: $*"; exit 1; }
id=org.brightfen.Metascribe
for file in \
    usr/lib/metascribe/metascribe usr/lib/metascribe/HAND-M.CUR usr/lib/metascribe/drag.ico \
    usr/lib/metascribe/metascribe.png usr/lib/metascribe/metascribe-toolkit-host.jar \
    "usr/lib/metascribe/Samples/Quarterly Report.pdf" \
    usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png; do
    [ -f "$root/$file" ] || fail "$file is not installed"
done
[ "$(readlink "$root/usr/bin/metascribe")" = ../lib/metascribe/metascribe ] ||
    fail "bin/metascribe is not a link to the program"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "AppStream data"

# Started through the link, headless, in a home of its own: it must read its cursor, icon and
# sample files from its own folder.
home="$root/home"
mkdir -p "$home"
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen \
    timeout 5 strace -f -e trace=openat -o "$root/trace" "$root/usr/bin/metascribe" \
    >/dev/null 2>&1 || true
for file in HAND-M.CUR metascribe.png Samples; do
    grep -v ENOENT "$root/trace" | grep -q "$root/usr/lib/metascribe/$file" ||
        fail "the installed program did not read its $file"
done
echo "installed layout, validators and start-up: good"
