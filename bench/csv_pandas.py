#!/usr/bin/env python3
"""Times pandas.read_csv on a CSV file, every cell read as a string, for comparison with
TsCSVLoader::Load (bench/csvloader_bench.cpp runs this script on the file it generated).

Usage: csv_pandas.py PATH [REPEATS]

Prints one line "seconds=<best wall time> peak_rss_mb=<peak resident size> rows=<rows>".
Exits with status 2 when pandas is not installed.
"""
import resource
import sys
import time


def main():
    if len(sys.argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 1
    path = sys.argv[1]
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    try:
        import pandas
    except ImportError:
        print("pandas not available", file=sys.stderr)
        return 2

    best = float("inf")
    rows = 0
    for _ in range(repeats):
        start = time.perf_counter()
        frame = pandas.read_csv(path, dtype=str, keep_default_na=False)
        best = min(best, time.perf_counter() - start)
        rows = len(frame)
        del frame
    peak_mb = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    print("seconds=%.6f peak_rss_mb=%.1f rows=%d" % (best, peak_mb, rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
