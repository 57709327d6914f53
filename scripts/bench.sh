#!/bin/sh
# Installs what is missing, builds, and runs the benchmarks; prints a Markdown table of ratios.
#   scripts/bench.sh [--files N] [--tree N] [--large-mb N] [--no-loop] [--only NAME,...]
set -e
METASCRIBE_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$METASCRIBE_ROOT/scripts/setup.sh"
metascribe_setup $METASCRIBE_BUILD_PACKAGES libimage-exiftool-perl
metascribe_build
exec "$METASCRIBE_ROOT/build/bin/metascribe_bench" "$@"
