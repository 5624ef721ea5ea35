#!/usr/bin/env python3
"""Runs the scale benchmarks: for each scale, a synthetic ITACA document is converted and the
placed timetable exported, each timed and measured for peak memory against its floor.

Usage: run_bench.py BUILD_DIR SCALE [SCALE...]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MEASURE = ("import resource, subprocess, sys, time\n"
           "t = time.perf_counter()\n"
           "r = subprocess.run(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.PIPE)\n"
           "t = time.perf_counter() - t\n"
           "if r.returncode: sys.stderr.write(r.stderr.decode()); sys.exit(r.returncode)\n"
           "print(t, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024)\n"
           "sys.stdout.write(r.stdout.decode())\n")


def measure(args):
    """(seconds, peak bytes, stdout) of one command run in a fresh process."""
    out = subprocess.run([sys.executable, "-c", MEASURE] + args, check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    first, _, rest = out.partition("\n")
    seconds, peak = first.split()
    return float(seconds), int(peak), rest


def best_of(runs, args):
    results = [measure(args) for _ in range(runs)]
    return min(results, key=lambda r: r[0])


def main():
    build, scales = sys.argv[1], [int(s) for s in " ".join(sys.argv[2:]).split()]
    tool = lambda name: os.path.join(build, "bench", name)
    cli = os.path.join(build, "transclepsa")
    work = tempfile.mkdtemp(prefix="tc-bench-")
    rows = []
    try:
        for scale in scales:
            xml = os.path.join(work, f"escala{scale}.xml")
            subprocess.run([sys.executable, os.path.join(HERE, "make_school.py"), str(scale), xml],
                           check=True)
            size = os.path.getsize(xml)
            runs = 3 if scale < 100 else 1
            data = os.path.join(work, f"ztemp{scale}")
            parse = min(float(subprocess.run([tool("parse_floor"), xml], check=True,
                                             stdout=subprocess.PIPE, text=True).stdout)
                        for _ in range(runs))
            convert = None
            for _ in range(runs):
                shutil.rmtree(data, ignore_errors=True)
                os.mkdir(data)
                result = measure([cli, "convert", xml, "--data-dir", data, "--template", "PM"])
                if convert is None or result[0] < convert[0]:
                    convert = result
            subprocess.run([tool("make_soluc"), data], check=True, stdout=subprocess.DEVNULL)
            floor = min(float(subprocess.run([tool("export_floor"), data,
                                              os.path.join(work, "floor.xml")], check=True,
                                             stdout=subprocess.PIPE, text=True).stdout)
                        for _ in range(runs))
            export = best_of(runs, [cli, "export", xml, "--data-dir", data, "--template", "PM",
                                    "--school-year", "2027"])
            rows.append(dict(scale=scale, size=size, parse=parse, convert=convert[0],
                             convert_peak=convert[1], floor=floor, export=export[0],
                             export_peak=export[1]))
            r = rows[-1]
            print(f"escala {scale}: documento {size / 1e6:.1f} MB, análisis {parse:.3f} s, "
                  f"conversión {r['convert']:.3f} s, exportación {r['export']:.3f} s",
                  file=sys.stderr)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print("| scale | document | parse alone | conversion | conv/parse | conversion peak | "
          "peak/doc | SOLUC+write floor | export | export/floor | export peak |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for r in rows:
        print(f"| {r['scale']} | {r['size'] / 1e6:.1f} MB | {r['parse']:.3f} s | "
              f"{r['convert']:.3f} s | {r['convert'] / r['parse']:.2f} | "
              f"{r['convert_peak'] / 1e6:.0f} MB | {r['convert_peak'] / r['size']:.2f} | "
              f"{r['floor']:.3f} s | {r['export']:.3f} s | {r['export'] / r['floor']:.2f} | "
              f"{r['export_peak'] / 1e6:.0f} MB |")
    by_scale = {r["scale"]: r for r in rows}
    if 10 in by_scale and 100 in by_scale:
        print()
        print(f"Growth from scale 10 to 100: conversion "
              f"{by_scale[100]['convert'] / by_scale[10]['convert']:.1f}, export "
              f"{by_scale[100]['export'] / by_scale[10]['export']:.1f} (linear work gives about 10)")


if __name__ == "__main__":
    main()
