#!/bin/sh
# Installs what is missing, builds, and makes the Debian package build/metascribe_*.deb.
set -e
METASCRIBE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$METASCRIBE_ROOT/scripts/setup.sh"
metascribe_setup $METASCRIBE_BUILD_PACKAGES dpkg-dev
metascribe_build
cd "$METASCRIBE_ROOT/build"
cpack -G DEB
