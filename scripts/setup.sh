# Sourced by run.sh and test.sh: installs the Debian packages that are missing.
# Usage: metascribe_setup PACKAGE...

metascribe_setup() {
    missing=""
    for package in "$@"; do
        # dpkg-query fails for a package it has never heard of; that only means "missing".
        status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) || true
        case "$status" in
            *"install ok installed"*) ;;
            *) missing="$missing $package" ;;
        esac
    done
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing:$missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q && apt-get install -y -q $missing || return 1
    else
        echo "These Debian packages are missing. Install them as root, then run this again:"
        echo "    apt-get install -y$missing"
        return 1
    fi
}

# The packages every build needs; the toolkit that reads and writes the PDF files, the Java
# compiler for the resident toolkit host, the PDF library that checks every result, the viewers'
# PDF library that checks every result a second time (a result must keep what a viewer shows of
# its original), and the ACL library that gives a result the access list of the file it replaces.
METASCRIBE_BUILD_PACKAGES="cmake make g++ pkg-config qt6-base-dev libqpdf-dev libexempi-dev pdftk-java default-jdk-headless
    libpoppler-cpp-dev libacl1-dev"
# What the tests add: independent PDF and XMP readers to check results with, the validators of
# desktop entries, software-centre data and Debian packages, strace to watch the installed
# program start, what CPack needs to compute a package's library dependencies, and the tools that
# set and read a file's access list and extended attributes, and a session bus of the tests' own
# to watch the task bar's progress and the notifications on.
METASCRIBE_TEST_PACKAGES="poppler-utils qpdf libimage-exiftool-perl desktop-file-utils appstream
    strace dpkg-dev lintian acl attr dbus-daemon"

metascribe_build() {
    cmake -S "$METASCRIBE_ROOT" -B "$METASCRIBE_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        && cmake --build "$METASCRIBE_ROOT/build" -j "$(nproc)"
}
