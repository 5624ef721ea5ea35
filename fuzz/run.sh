#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ (clang) and runs each of them for SECONDS seconds
# (default 20), all at once, one process each; fails when any of them finds something. ./test.sh
# runs them briefly on every run, bench/fuzz.sh for longer (see fuzz/README.md).
#   fuzz/run.sh [SECONDS]
# Each target grows its own corpus in build-fuzz/corpus/<target>, kept from one run to the next,
# from the seeds below; a finding is written to build-fuzz/findings/<target>/ with its report in
# build-fuzz/findings/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
case "$seconds" in
  '' | *[!0-9]*) echo "uso: fuzz/run.sh [SEGUNDOS]" >&2; exit 64 ;;
esac

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTC_BUILD_FUZZ=ON \
  -DTC_BUILD_TESTS=OFF -DTC_BUILD_APP=OFF -DTC_BUILD_BENCH=OFF -DTC_BUILD_HELP=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_document fuzz_table

# Seeds: our own documents and tables, the real dBase files of other programs and the tables
# TDbf writes, and the sample school's timetable.
# (libFuzzer reads a seed folder with its subfolders.)
table_seeds=build-fuzz/seeds/table
rm -rf "$table_seeds"
mkdir -p "$table_seeds"/{own,dbase,tdbf,sample}
cp fuzz/corpus_table/* "$table_seeds"/own/
cp tests/fixtures/dbase/*.dbf "$table_seeds"/dbase/
cp tests/fixtures/tdbf/*.DBF "$table_seeds"/tdbf/
cp tests/golden/sample/SOLUC.DBF "$table_seeds"/sample/

root=$PWD

# Runs one target in the background: its name, its seed folder, further options.
pids=()
names=()
start() {
  local target=$1 seeds=$2
  shift 2
  mkdir -p "build-fuzz/corpus/$target" "build-fuzz/findings/$target"
  # -timeout: an input that takes ten seconds is a hang; -max_len keeps each input quick.
  (cd "build-fuzz/findings/$target" &&
    exec "$root/build-fuzz/$target" "$root/build-fuzz/corpus/$target" "$seeds" "$@" \
      -artifact_prefix="$root/build-fuzz/findings/$target/" \
      -max_len=4096 -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      >"../$target.log" 2>&1) &
  pids+=("$!")
  names+=("$target")
}

start fuzz_document "$root/fuzz/corpus" -dict="$root/fuzz/xml.dict"
start fuzz_table "$root/$table_seeds"

status=0
for i in "${!names[@]}"; do
  target=${names[$i]}
  if wait "${pids[$i]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "build-fuzz/findings/$target.log")
    echo "$target: nada encontrado en ${seconds} s (${runs:-?} entradas)"
  else
    status=1
    echo "$target: ha encontrado un fallo (build-fuzz/findings/$target.log):" >&2
    grep -v '^INFO:\|^#[0-9]' "build-fuzz/findings/$target.log" | tail -40 >&2
  fi
done
exit "$status"
