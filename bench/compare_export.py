#!/usr/bin/env python3
"""Times the export of two builds of transclepsa on the same school and timetable, turn about,
to see what a change costs: bench/compare_export.py BUILD_BEFORE BUILD_AFTER [SCALE] [RUNS]
[SOLUC], SOLUC being make_soluc's timetable (inturn, the default, or timetabled). Both builds
need transclepsa; BUILD_AFTER also bench/make_soluc. Prints the best time of each and the
ratio."""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from run_bench import measure  # noqa: E402


def main():
    before, after = sys.argv[1], sys.argv[2]
    scale = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
    kind = sys.argv[5] if len(sys.argv) > 5 else "inturn"
    work = tempfile.mkdtemp(prefix="tc-compare-")
    try:
        xml = os.path.join(work, f"escala{scale}.xml")
        data = os.path.join(work, "ztemp")
        subprocess.run([sys.executable, os.path.join(HERE, "make_school.py"), str(scale), xml],
                       check=True)
        os.mkdir(data)
        subprocess.run([os.path.join(before, "transclepsa"), "convert", xml, "--data-dir", data,
                        "--template", "PM", "-q"], check=True)
        subprocess.run([os.path.join(after, "bench", "make_soluc"), data, kind], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        best = {before: None, after: None}
        for _ in range(runs):
            for build in (before, after):
                seconds = measure([os.path.join(build, "transclepsa"), "export", xml, "--data-dir",
                                   data, "--template", "PM", "--school-year", "2027", "-q"])[0]
                best[build] = seconds if best[build] is None else min(best[build], seconds)
        print(f"escala {scale}, SOLUC {kind}: antes {best[before]:.3f} s, "
              f"despu\u00e9s {best[after]:.3f} s, "
              f"{best[after] / best[before]:.3f} veces")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
