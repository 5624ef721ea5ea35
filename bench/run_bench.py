#!/usr/bin/env python3
"""Runs the scale benchmarks: for each scale, a synthetic ITACA document is converted and the
placed timetable exported, each timed and measured for peak memory against its floor. The floor
and the run alternate in the same invocation, so that both see the same machine; each figure is
the median of several runs, with their spread (lowest to highest).

Usage: run_bench.py BUILD_DIR SCALE [SCALE...]   (a scale "Nc" is scale N with colliding codes)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MEASURE = ("import resource, subprocess, sys, time\n"
           "t = time.perf_counter()\n"
           "r = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.PIPE)\n"
           "t = time.perf_counter() - t\n"
           "if r.returncode: sys.stderr.write(r.stderr.decode()); sys.exit(r.returncode)\n"
           "u = resource.getrusage(resource.RUSAGE_CHILDREN)\n"
           "print(t, u.ru_utime + u.ru_stime, u.ru_maxrss * 1024)\n"
           "sys.stdout.write(r.stdout.decode())\n")


def measure(args, before=None):
    """(seconds, processor seconds, peak bytes) of one command run as a whole process."""
    if before:
        before()
    out = subprocess.run([sys.executable, "-c", MEASURE] + args, check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    seconds, processor, peak = out.partition("\n")[0].split()
    return float(seconds), float(processor), int(peak)


class Figure:
    def __init__(self):
        self.times, self.processor, self.peaks = [], [], []

    def add(self, result):
        self.times.append(result[0])
        self.processor.append(result[1])
        self.peaks.append(result[2])

    @property
    def median(self):
        return statistics.median(self.times)

    @property
    def cpu(self):
        return statistics.median(self.processor)

    @property
    def peak(self):
        return max(self.peaks)

    def __str__(self):
        return f"{self.median:.3f} s ({min(self.times):.3f}-{max(self.times):.3f})"


def print_table(rows, floor_name, floor_key, run_name, run_key, with_document=False):
    """One table of runs against their floor, a row per scale."""
    print()
    print(f"| scale | {'document | ' if with_document else ''}{floor_name} | {run_name} | ratio | "
          f"processor: floor, {run_name}, ratio | peak: floor, {run_name}, {run_name}/doc |")
    print("|---|---|---|---|---|---|" + ("---|" if with_document else ""))
    for r in rows:
        size, floor, run = r["size"], r[floor_key], r[run_key]
        document = f"{size / 1e6:.1f} MB | " if with_document else ""
        print(f"| {r['scale']} | {document}{floor} | {run} | {run.median / floor.median:.2f} | "
              f"{floor.cpu:.2f} s, {run.cpu:.2f} s, {run.cpu / floor.cpu:.2f} | "
              f"{floor.peak / 1e6:.0f} MB, {run.peak / 1e6:.0f} MB, {run.peak / size:.2f} |")


def main():
    build, scales = sys.argv[1], " ".join(sys.argv[2:]).split()
    tool = lambda name: os.path.join(build, "bench", name)
    cli = os.path.join(build, "transclepsa")
    work = tempfile.mkdtemp(prefix="tc-bench-")
    rows = []
    try:
        for scale in scales:
            colliding = scale.endswith("c")
            number = int(scale.rstrip("c"))
            xml = os.path.join(work, f"escala{scale}.xml")
            subprocess.run([sys.executable, os.path.join(HERE, "make_school.py"), str(number), xml]
                           + (["colliding"] if colliding else []), check=True)
            size = os.path.getsize(xml)
            runs = 5 if number < 100 else 3
            data = os.path.join(work, f"ztemp{scale}")

            def empty_folder():
                shutil.rmtree(data, ignore_errors=True)
                os.mkdir(data)

            parse, convert = Figure(), Figure()
            # The colliding codes leave ASIGT without a lesson, which a conversion asks about
            # first: --force goes on, so that the whole conversion is measured, not the refusal.
            convert_args = [cli, "convert", xml, "--data-dir", data, "--template", "PM"] + (
                ["--force"] if colliding else [])
            measure(convert_args, empty_folder)
            for _ in range(runs):  # after a warm-up, floor and run by turns
                parse.add(measure([tool("parse_floor"), xml]))
                convert.add(measure(convert_args, empty_folder))
            subprocess.run([tool("make_soluc"), data], check=True, stdout=subprocess.DEVNULL)
            floor, export = Figure(), Figure()
            export_args = [cli, "export", xml, "--data-dir", data, "--template", "PM",
                           "--school-year", "2027"]
            measure(export_args)
            for _ in range(runs):
                floor.add(measure([tool("export_floor"), data, os.path.join(work, "floor.xml")]))
                export.add(measure(export_args))
            rows.append(dict(scale=scale, size=size, parse=parse, convert=convert, floor=floor,
                             export=export))
            print(f"escala {scale}: documento {size / 1e6:.1f} MB, lectura {parse}, "
                  f"conversión {convert}, exportación {export}", file=sys.stderr)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print("Wall-clock time, median (lowest-highest); processor time (user and system), median; "
          "peak memory, highest.")
    print_table(rows, "parse floor", "parse", "conversion", "convert", with_document=True)
    print_table(rows, "export floor", "floor", "export", "export")
    by_scale = {r["scale"]: r for r in rows}
    if "10" in by_scale and "100" in by_scale:
        grow = lambda what: by_scale["100"][what].median / by_scale["10"][what].median
        grow_cpu = lambda what: by_scale["100"][what].cpu / by_scale["10"][what].cpu
        print()
        print(f"Growth from scale 10 to 100 (medians): conversion {grow('convert'):.1f} "
              f"(processor {grow_cpu('convert'):.1f}), export {grow('export'):.1f} "
              f"(processor {grow_cpu('export'):.1f}); linear work gives about 10")


if __name__ == "__main__":
    main()
