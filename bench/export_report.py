#!/usr/bin/env python3
"""What the export's verification and report files cost beside the export itself.

Usage: export_report.py BUILD_DIR [SCALE] [RUNS]   (scale 10 and 5 runs unless told)

Converts the school of make_school.py once, then for each of the two timetables of make_soluc
(inturn: every lesson in the next slot, thousands of teachers and rooms in two places at once;
timetabled: a timetable without a teacher or a room in two places, what does not fit left
unplaced) times by turns:
- the whole export, `transclepsa export`, as a process (wall and processor time);
- bench/export_report_cost in one process: the timetable written from SOLUC without a report and
  with it (the report's timetables gathered and verified), the three report files rendered and
  written with fsync as the backup keeps them, and the text and JSON of the entries alone (what
  the backup kept before the verification and the page).
What the verification and the page add is (with - without) + their rendering and writing beyond
the entries' text and JSON; the export without them is the whole export less that; the ratio of
the two is what the target (at most 10 %) is about. Every figure is the median of the runs.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from run_bench import measure  # noqa: E402

REPORT_FILES = ("informe.txt", "informe.json", "informe.html")
ENTRY_FILES = ("entradas.txt", "entradas.json")


def parts(tool, data, xml, out):
    """{part: (wall, processor)} of one run of export_report_cost; writing summed."""
    lines = subprocess.run([tool, data, xml, "PM", out], check=True, stdout=subprocess.PIPE,
                           text=True).stdout.splitlines()
    found = {}
    for line in lines:
        name, *values = line.split()
        if name == "bytes":
            found[name] = (int(values[0]), 0)
            continue
        wall, cpu = map(float, values)
        before = found.get(name, (0.0, 0.0))
        found[name] = (before[0] + wall, before[1] + cpu)
    return found


def main():
    build = sys.argv[1]
    scale = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    cli = os.path.join(build, "transclepsa")
    tool = lambda name: os.path.join(build, "bench", name)
    work = tempfile.mkdtemp(prefix="tc-export-report-")
    try:
        xml = os.path.join(work, f"escala{scale}.xml")
        subprocess.run([sys.executable, os.path.join(HERE, "make_school.py"), str(scale), xml],
                       check=True)
        converted = os.path.join(work, "convertido")
        os.mkdir(converted)
        subprocess.run([cli, "convert", xml, "--data-dir", converted, "--template", "PM", "-q"],
                       check=True)
        print(f"Scale {scale}, {runs} runs each, medians: wall-clock (processor) seconds.")
        print()
        print("| SOLUC | export | added: verification, rendering, writing = total | "
              "export without them | ratio (processor) | report files |")
        print("|---|---|---|---|---|---|")
        for kind in ("timetabled", "inturn"):
            data = os.path.join(work, kind)
            shutil.copytree(converted, data)
            subprocess.run([tool("make_soluc"), data, kind], check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            export_args = [cli, "export", xml, "--data-dir", data, "--template", "PM",
                           "--school-year", "2027", "-q"]
            # Memory as large as the export takes, touched before each (see run_bench.py).
            warm = 8 * os.path.getsize(xml)
            measure(export_args, warm=warm)  # warm-up, and DIASHORAST rebuilt for the template
            exports, costs = [], []
            for _ in range(runs):
                exports.append(measure(export_args, warm=warm))
                costs.append(parts(tool("export_report_cost"), data, xml,
                                   os.path.join(work, "informe")))

            def median(values):
                return statistics.median(values)

            def of(added, base):  # (wall, processor) medians of a sum of parts less another
                return tuple(median([sum(c[p][i] for p in added) - sum(c[p][i] for p in base)
                                     for c in costs]) for i in (0, 1))

            verification = tuple(
                median([c["exportacion_con_informe"][i] - c["exportacion_sin_informe"][i]
                        for c in costs]) for i in (0, 1))
            rendering = of(REPORT_FILES, ENTRY_FILES)
            writing = of(("escritura",), ("escritura_entradas",))
            total = tuple(verification[i] + rendering[i] + writing[i] for i in (0, 1))
            export = (median([e[0] for e in exports]), median([e[1] for e in exports]))
            without = tuple(export[i] - total[i] for i in (0, 1))
            pair = lambda v: f"{v[0]:.3f} ({v[1]:.3f})"
            print(f"| {kind} | {pair(export)} | {pair(verification)}, {pair(rendering)}, "
                  f"{pair(writing)} = {pair(total)} | {pair(without)} | "
                  f"{total[0] / without[0] * 100:.0f} % ({total[1] / without[1] * 100:.0f} %) | "
                  f"{costs[0]['bytes'][0] / 1e6:.1f} MB |")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
