#!/bin/sh
# Installs what is missing, builds, and runs every test headless.
set -e
METASCRIBE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$METASCRIBE_ROOT/scripts/setup.sh"
metascribe_setup $METASCRIBE_BUILD_PACKAGES $METASCRIBE_TEST_PACKAGES
metascribe_build
cd "$METASCRIBE_ROOT/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure "$@"
