#!/usr/bin/env bash
# Measures the conversion and the export at scales 10, 40 and 100, and at scale 10 with colliding
# codes (10c), against their floors, and prints the table of figures (see bench/README.md).
# Usage: bench/run.sh [SCALE...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DTC_BUILD_TESTS=OFF -DTC_BUILD_APP=OFF >/dev/null
cmake --build build-bench -j "$(nproc)" --target transclepsa parse_floor export_floor make_soluc export_report_cost bench_table bench_codes bench_document
exec python3 bench/run_bench.py build-bench "${@:-10 40 100 10c}"
