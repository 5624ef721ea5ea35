#!/usr/bin/env bash
# The round trip on the sample school, in a fresh temporary folder:
#   1. conversion ITACA -> Clepsa of examples/ies_exemple.xml (its working tables, in ZTEMP);
#   2. Clepsa's part, simulated by examples/make_demo_soluc.py (writes SOLUC.DBF);
#   3. export Clepsa -> ITACA of that timetable (ResultadoClepsaies_exemple.xml).
# The folder is left in place so that the tables and the result can be looked at.
# Usage: examples/demo.sh   (the program is build/transclepsa, or $TRANSCLEPSA)
set -euo pipefail
cd "$(dirname "$0")/.."

bin=${TRANSCLEPSA:-build/transclepsa}
work=$(mktemp -d "${TMPDIR:-/tmp}/transclepsa-demo.XXXXXX")
data="$work/ZTEMP"
mkdir "$data"
cp examples/ies_exemple.xml "$work/"
sample="$work/ies_exemple.xml"

echo "== 1. Conversión ITACA -> Clepsa del centro de ejemplo"
echo "   documento: $sample"
echo "   carpeta de trabajo: $data"
"$bin" convert "$sample" --data-dir "$data"

echo
echo "== 2. Horario calculado (simulación de Clepsa: examples/make_demo_soluc.py)"
python3 examples/make_demo_soluc.py "$data"

echo
echo "== 3. Exportación Clepsa -> ITACA"
status=0
"$bin" export "$sample" --data-dir "$data" || status=$?
echo
if [ "$status" -eq 0 ]; then
  echo "Resultado: $work/ResultadoClepsaies_exemple.xml"
else
  echo "La exportación no se completó (estado $status); las tablas convertidas siguen en $data"
fi
echo "Carpeta de la demostración: $work"
