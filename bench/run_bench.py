#!/usr/bin/env python3
"""Runs the scale benchmarks: for each scale, a synthetic ITACA document is converted and the
placed timetable exported, each timed and measured for peak memory against its floor. The floor
and the run alternate in the same invocation, so that both see the same machine; each figure is
the median of several runs, with their spread (lowest to highest). Before each, memory as large
as the runs take is touched and let go, so that every run finds it ready (see warm_memory).

Usage: run_bench.py BUILD_DIR SCALE [SCALE...]   (a scale "Nc" is scale N with colliding codes)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# On a virtual machine whose host takes back the memory its guest frees (free page reporting,
# as on the project's machine), a page first touched a few seconds after the last process let it
# go costs the host's fault as well as the guest's: 2 to 3 ms a megabyte, twenty times a page
# touched again at once. A run would then be timed by how much memory the run before it let go,
# and how long ago: pugixml alone loading scale 40 took 0.12 s after memory had been touched and
# 0.8 to 1.1 s after five idle seconds. So a process of its own first touches, in huge pages as
# the programs take theirs, as much memory as the command will, and lets it go as it ends, just
# before the command starts. (Not the measuring process: a child's peak counts the memory of the
# process it was forked from.)
WARM = ("import mmap, sys\n"
        "size = int(sys.argv[1])\n"
        "m = mmap.mmap(-1, size, flags=mmap.MAP_PRIVATE | mmap.MAP_ANONYMOUS)\n"
        "if hasattr(m, 'madvise') and hasattr(mmap, 'MADV_HUGEPAGE'):\n"
        "    m.madvise(mmap.MADV_HUGEPAGE)\n"
        "for at in range(0, size, 4096): m[at] = 1\n")
MEASURE = ("import resource, subprocess, sys, time\n"
           "t = time.perf_counter()\n"
           "r = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.PIPE)\n"
           "t = time.perf_counter() - t\n"
           "if r.returncode: sys.stderr.write(r.stderr.decode()); sys.exit(r.returncode)\n"
           "u = resource.getrusage(resource.RUSAGE_CHILDREN)\n"
           "print(t, u.ru_utime + u.ru_stime, u.ru_maxrss * 1024)\n"
           "sys.stdout.write(r.stdout.decode())\n")


def measure(args, before=None, warm=0):
    """(seconds, processor seconds, peak bytes) of one command run as a whole process, after
    `warm` bytes of memory were touched and let go."""
    if before:
        before()
    if warm > 0:
        subprocess.run([sys.executable, "-c", WARM, str(int(warm))], check=True)
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

            peaks = []  # of every run of the scale so far

            def timed(args, before=None):
                """One run, after memory a quarter larger than the most any run of the scale took
                so far was touched (eight times the document before the first: the conversion
                takes less than six)."""
                result = measure(args, before, 1.25 * max(peaks or [8 * size]))
                peaks.append(result[2])
                return result

            parse, convert = Figure(), Figure()
            # The colliding codes leave ASIGT without a lesson, which a conversion asks about
            # first: --force goes on, so that the whole conversion is measured, not the refusal.
            convert_args = [cli, "convert", xml, "--data-dir", data, "--template", "PM"] + (
                ["--force"] if colliding else [])
            timed(convert_args, empty_folder)
            for _ in range(runs):  # after a warm-up, floor and run by turns
                parse.add(timed([tool("parse_floor"), xml]))
                convert.add(timed(convert_args, empty_folder))
            subprocess.run([tool("make_soluc"), data], check=True, stdout=subprocess.DEVNULL)
            floor, export = Figure(), Figure()
            export_args = [cli, "export", xml, "--data-dir", data, "--template", "PM",
                           "--school-year", "2027"]
            timed(export_args)
            for _ in range(runs):
                floor.add(timed([tool("export_floor"), data, os.path.join(work, "floor.xml")]))
                export.add(timed(export_args))
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
