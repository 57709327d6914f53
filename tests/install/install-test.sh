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
    usr/share/icons/hicolor/48x48/apps/$id.png usr/share/icons/hicolor/256x256/apps/$id.png \
    usr/share/man/man1/metascribe.1.gz; do
    [ -f "$root/$file" ] || fail "$file is not installed"
done
[ "$(readlink "$root/usr/bin/metascribe")" = ../lib/metascribe/metascribe ] ||
    fail "bin/metascribe is not a link to the program"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "AppStream data"

# Started through the link as a file manager's "Open With" does, headless, in a home of its own:
# it must read its cursor, icon and sample files from its own folder, and start the toolkit host
# from its jar there.
home="$root/home"
mkdir -p "$home"
cp "$root/usr/lib/metascribe/Samples/Quarterly Report.pdf" "$home/opened.pdf"
HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen \
    timeout 8 strace -f -e trace=openat -o "$root/trace" "$root/usr/bin/metascribe" \
    "$home/opened.pdf" >/dev/null 2>&1 || true
for file in HAND-M.CUR metascribe.png Samples/ metascribe-toolkit-host.jar; do
    grep -v ENOENT "$root/trace" | grep -q "$root/usr/lib/metascribe/$file" ||
        fail "the installed program did not read its $file"
done
# The command line needs no display and no window system.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/usr/bin/metascribe" --version) ||
    fail "metascribe --version without a display"
[ "$version" = "metascribe $(sed -n 's/^project(Metascribe VERSION \([0-9.]*\).*/\1/p' \
    "$(dirname "$0")/../../CMakeLists.txt")" ] || fail "metascribe --version said: $version"

# The Debian package made from the same rules holds the same layout and passes lintian without
# errors (its warnings are listed in the README).
cpack -G DEB -B "$root/package" --config "$build/CPackConfig.cmake" >/dev/null
package=$(ls "$root"/package/metascribe_*.deb)
dpkg-deb -c "$package" > "$root/contents"
for path in ./usr/lib/metascribe/metascribe ./usr/lib/metascribe/metascribe-toolkit-host.jar \
    "./usr/bin/metascribe -> ../lib/metascribe/metascribe" ./usr/share/applications/$id.desktop \
    ./usr/share/metainfo/$id.metainfo.xml ./usr/share/icons/hicolor/48x48/apps/$id.png \
    ./usr/share/doc/metascribe/copyright ./usr/share/man/man1/metascribe.1.gz; do
    grep -qF -- "$path" "$root/contents" || fail "the package lacks $path"
done
dpkg-deb -f "$package" Depends | grep -q pdftk-java || fail "the package does not need pdftk-java"
# Linked libraries come from the program itself, the second reader's among them.
dpkg-deb -f "$package" Depends | grep -q libpoppler-cpp ||
    fail "the package does not need poppler's library"
lintian --fail-on error "$package" >/dev/null 2>&1 || fail "lintian: $(lintian "$package" 2>&1)"
echo "installed layout, validators, start-up and package: good"
