#!/usr/bin/env bash
# The fuzz targets for a long run: ten minutes each, side by side, or the seconds given
# (fuzz/README.md). ./test.sh runs them for 20 seconds only.
#   bench/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec fuzz/run.sh "${1:-600}"
