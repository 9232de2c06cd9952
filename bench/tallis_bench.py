#!/usr/bin/env python3
"""Offset-editor benchmark: times tallis rewriting large streams, beside cp of the same file as
the reference, in the same run.

Cases: tallis -delete and -replace on a 512 MiB elementary stream with an OFMD SEI unit at the
start of every GOP (bench/stream_bench.py's elementary stream with the units added by tallis
-insert), and tallis -delete -ts on the 1 GiB transport stream of bench/stream_bench.py
(192-byte packets, no OFMD). Each tallis case and the cp of its input run in turn, RUNS rounds;
per case the minimum and median wall time, the throughput and the ratio to cp, and the peak
resident memory. The -ts case reads its input twice (the probe for a dependent view reads a
stream without one to its end): its "passes" column counts both.

Usage: bench/tallis_bench.py [--runs N] [--work DIR]   (defaults: 7, build-bench)
"""

import os
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import stream_bench  # noqa: E402
from stream_bench import MIB  # noqa: E402


def build(work):
    """The stream benchmark's Release tree, with tallis built in it."""
    stream_bench.build(work)
    tree = os.path.join(work, "build")
    subprocess.run(["cmake", "--build", tree, "--target", "tallis"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(tree, "tools", "offsets", "tallis")


def make_es(tallis, path, work):
    """The stream benchmark's elementary stream (GOPs of 12) with an OFMD unit of two sequences
    inserted at the start of every GOP."""
    if os.path.exists(path):
        return
    plain = os.path.join(work, "bench.h264")
    stream_bench.make_es(plain, 512 * MIB)
    ofmd = os.path.join(work, "insert.ofmd")
    with open(ofmd, "w") as f:
        f.write("".join("%d: %d, %d\n" % (n, n % 50 - 25, 20 - n % 40) for n in range(12)))
    subprocess.run([tallis, "-insert", plain, ofmd, path + ".tmp"], check=True)
    os.replace(path + ".tmp", path)


def main():
    args = stream_bench.setup(__doc__)
    tallis = build(args.work)

    es = os.path.join(args.work, "ofmd.h264")
    make_es(tallis, es, args.work)
    # The stream benchmark's transport stream (it has no OFMD).
    tsf = os.path.join(args.work, "bench.m2ts")
    stream_bench.make_ts(tsf, 1024 * MIB, args.work)
    ofmd = os.path.join(args.work, "ofmd.ofmd")
    if not os.path.exists(ofmd):
        subprocess.run([tallis, "-extract", es, ofmd], check=True)
    out = os.path.join(args.work, "out.bin")
    es_size, ts_size = os.path.getsize(es), os.path.getsize(tsf)

    # (label, command, bytes, passes over the input, reference label)
    cases = [
        ("cp es", ["cp", es, out], es_size, 1, None),
        ("tallis -delete", [tallis, "-delete", es, out], es_size, 1, "cp es"),
        ("tallis -replace", [tallis, "-replace", es, ofmd, out], es_size, 1, "cp es"),
        ("cp ts", ["cp", tsf, out], ts_size, 1, None),
        ("tallis -delete -ts", [tallis, "-delete", "-ts", tsf, out], ts_size, 2, "cp ts"),
    ]
    for path in (es, tsf, ofmd):
        stream_bench.warm(path)

    def fresh_output():
        if os.path.exists(out):
            os.remove(out)
        os.sync()  # no write-back of an earlier run's blocks during this one

    times, peaks = stream_bench.rounds([c[:2] for c in cases], args.runs, args.work,
                                       fresh_output)
    if os.path.exists(out):
        os.remove(out)

    print("%d runs each; %s: %.1f MiB, %s: %.1f MiB" % (
        args.runs, os.path.basename(es), es_size / MIB, os.path.basename(tsf), ts_size / MIB))
    print("%-19s %7s %8s %9s %9s %6s %9s %8s" % (
        "case", "min s", "median s", "GB/s min", "GB/s med", "passes", "x cp min", "peak MiB"))
    for label, _, size, passes, ref in cases:
        lo, med = min(times[label]), statistics.median(times[label])
        ratio = "%.2f" % (lo / min(times[ref])) if ref else "-"
        print("%-19s %7.3f %8.3f %9.2f %9.2f %6d %9s %8.1f" % (
            label, lo, med, size / lo / 1e9, size / med / 1e9, passes, ratio,
            peaks[label] / 1024))


if __name__ == "__main__":
    main()
