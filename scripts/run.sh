#!/bin/sh
# Installs what is missing, builds, and starts Metascribe.
set -e
METASCRIBE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$METASCRIBE_ROOT/scripts/setup.sh"
metascribe_setup $METASCRIBE_BUILD_PACKAGES
metascribe_build
exec "$METASCRIBE_ROOT/build/bin/metascribe" "$@"
