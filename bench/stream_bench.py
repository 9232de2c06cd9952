#!/usr/bin/env python3
"""Stream benchmark: times the stream tools on large streams made from the test fixtures,
beside a memchr start-code scan of the same bytes (bench/start_code_scan.c) as the reference.

Builds a Release tree in WORK/build, makes the streams in WORK (kept for later runs), warms
the page cache, then runs every case in turn, RUNS rounds, and prints per case the minimum and
median wall time, the throughput, the ratios of the minima and of the medians to the scan of
the same file, and the peak resident memory.

Streams: bench.h264 (512 MiB, its large units 1 MiB slices) and bench.m2ts (1 GiB, the same
access units without the large slices), and their forms whose large units are 1 MiB filler
data units instead, bench-filler.h264 and bench-filler.m2ts. A last line compares quenby on
the two elementary streams.

Usage: bench/stream_bench.py [--runs N] [--work DIR]   (defaults: 7, build-bench)
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "gen"))
import h264es as g  # noqa: E402

MIB = 1 << 20


def build(work):
    tree = os.path.join(work, "build")
    subprocess.run(
        ["cmake", "-S", ROOT, "-B", tree, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
         "-DBDMV_TESTS=OFF"],
        check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", tree, "--target", "quenby"], check=True,
                   stdout=subprocess.DEVNULL)
    scan = os.path.join(work, "start_code_scan")
    subprocess.run(["cc", "-O2", "-o", scan, os.path.join(ROOT, "bench", "start_code_scan.c")],
                   check=True)
    return {"quenby": os.path.join(tree, "tools", "recinfo", "quenby"), "scan": scan}


def with_mdpm():
    """The base fixture with an MDPM message every 12 access units."""
    base = g.read(os.path.join(ROOT, "tests", "data", "h264", "base.h264"))
    mdpm = g.sei_unit([g.mdpm_message([(0x13, 0x12345678), (0x18, 0x02201708),
                                       (0x19, 0x24134510), (0xE0, 0x10113001)])])
    return g.insert_units(base, {0: [mdpm], 12: [mdpm], 24: [mdpm]})[0]


def big_copy(plain, filler):
    """The copy of the base fixture that carries a large unit: the last slice of access unit 5
    grown to 1 MiB, or (filler) that slice as it is followed by a 1 MiB filler data unit."""
    groups = g.access_units(g.split_units(plain))
    slice_at = max(i for i, u in enumerate(groups[5]) if g.nal_type(u) == 1)
    if filler:
        groups[5].insert(slice_at + 1, g.filler_unit(MIB))
    else:
        groups[5][slice_at] = g.inflate(groups[5][slice_at], MIB, seed=5)
    return b"".join(b"".join(au) for au in groups)


def make_es(path, size, filler=False):
    """The base fixture over and over, with an MDPM message every 12 access units and, in
    every 32nd copy, one large unit of 1 MiB (big_copy; about half the bytes are in them)."""
    if os.path.exists(path) and os.path.getsize(path) >= size:
        return
    plain = with_mdpm()
    big = big_copy(plain, filler)
    written = 0
    with open(path + ".tmp", "wb") as f:
        copy = 0
        while written < size:
            piece = big if copy % 32 == 0 else plain
            f.write(piece)
            written += len(piece)
            copy += 1
    os.replace(path + ".tmp", path)


# --- transport streams ------------------------------------------------------------------


def make_ts(path, size, work, filler=False):
    """The base fixture with an MDPM message every 12 access units, in 192-byte packets with
    PAT and PMT every 12 access units, repeated to at least size bytes (tests/gen/ts.py).
    With filler, what is repeated is 32 copies of it, the first with a 1 MiB filler data
    unit (make_es's cycle)."""
    if os.path.exists(path) and os.path.getsize(path) >= size:
        return
    es = os.path.join(work, "bench_ts.h264")
    plain = with_mdpm()
    g.write(es, big_copy(plain, True) + plain * 31 if filler else plain)
    mux = [sys.executable, os.path.join(ROOT, "tests", "gen", "ts.py"), "mux", "--packet", "192",
           "--psi-every", "12"]
    subprocess.run(mux + [es, path + ".tmp"], check=True)
    repeat = -(-size // os.path.getsize(path + ".tmp"))
    subprocess.run(mux + ["--repeat", str(repeat), es, path + ".tmp"], check=True)
    os.replace(path + ".tmp", path)
    os.remove(es)


def ts_cases(work, exe):
    """quenby on transport streams of 1 GiB (without and with filler units), the same scan
    over their bytes, and ffmpeg's demultiplexer as a peer when it is installed."""
    ts = os.path.join(work, "bench.m2ts")
    make_ts(ts, 1024 * MIB, work)
    size = os.path.getsize(ts)
    cases = [
        ("scan m2ts", [exe["scan"], ts], size, None),
        ("quenby m2ts", [exe["quenby"], ts], size, "scan m2ts"),
    ]
    if shutil.which("ffmpeg"):
        cases.append(("ffmpeg m2ts", ["ffmpeg", "-v", "error", "-i", ts, "-map", "0:v:0", "-c",
                                      "copy", "-f", "h264", "-y", "/dev/null"], size, "scan m2ts"))
    fts = os.path.join(work, "bench-filler.m2ts")
    make_ts(fts, 1024 * MIB, work, filler=True)
    fsize = os.path.getsize(fts)
    cases += [
        ("scan m2ts fill", [exe["scan"], fts], fsize, None),
        ("quenby m2ts fill", [exe["quenby"], fts], fsize, "scan m2ts fill"),
    ]
    return cases


def warm(path):
    with open(path, "rb") as f:
        while f.read(8 * MIB):
            pass


def run_once(argv, work):
    """Wall seconds and peak resident KiB of one run; standard output is discarded. GNU time
    measures the peak: a child spawned from Python would count Python's own pages."""
    report = os.path.join(work, "time.txt")
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report] + argv, stdout=null)
        seconds = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed with %d" % (" ".join(argv), done.returncode))
    with open(report) as f:
        return seconds, int(f.read().split()[-1])


def rounds(cases, runs, work, before=None):
    """Every (label, command) case RUNS times, the cases alternating so that drift hits every
    case alike; before() runs ahead of each. Wall seconds by label, and peak KiB by label."""
    times = {label: [] for label, _ in cases}
    peaks = {label: 0 for label, _ in cases}
    for _ in range(runs):
        for label, argv in cases:
            if before:
                before()
            seconds, peak = run_once(argv, work)
            times[label].append(seconds)
            peaks[label] = max(peaks[label], peak)
    return times, peaks


def setup(doc):
    """The command line of a benchmark whose docstring is doc, with GNU time checked and the
    work folder made."""
    ap = argparse.ArgumentParser(description=doc.split("\n")[0])
    ap.add_argument("--runs", type=int, default=7)
    ap.add_argument("--work", default=os.path.join(ROOT, "build-bench"))
    args = ap.parse_args()
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("GNU time is needed for the peak memory (apt-get install time)")
    os.makedirs(args.work, exist_ok=True)
    return args


def main():
    args = setup(__doc__)
    exe = build(args.work)

    es = os.path.join(args.work, "bench.h264")
    make_es(es, 512 * MIB)
    fes = os.path.join(args.work, "bench-filler.h264")
    make_es(fes, 512 * MIB, filler=True)
    es_size, fes_size = os.path.getsize(es), os.path.getsize(fes)
    # (label, command, bytes, reference label or None)
    cases = [
        ("scan es", [exe["scan"], es], es_size, None),
        ("quenby -es", [exe["quenby"], "-es", es], es_size, "scan es"),
        ("scan es fill", [exe["scan"], fes], fes_size, None),
        ("quenby -es fill", [exe["quenby"], "-es", fes], fes_size, "scan es fill"),
    ]
    cases += ts_cases(args.work, exe)
    # Each scan names a stream; the other cases read the stream of their reference.
    streams = sorted({c[1][-1] for c in cases if c[3] is None})
    for path in streams:
        warm(path)

    times, peaks = rounds([c[:2] for c in cases], args.runs, args.work)

    print("%d runs each, 192-byte packets in the m2ts streams" % args.runs)
    for path in streams:
        print("  %s: %.1f MiB" % (os.path.basename(path), os.path.getsize(path) / MIB))
    print("%-17s %7s %8s %8s %8s %9s %9s %8s" % ("case", "min s", "median s", "GB/s min",
                                                 "GB/s med", "x ref min", "x ref med",
                                                 "peak MiB"))
    for label, _, size, ref in cases:
        lo, med = min(times[label]), statistics.median(times[label])
        if ref:
            ratios = ("%.2f" % (lo / min(times[ref])),
                      "%.2f" % (med / statistics.median(times[ref])))
        else:
            ratios = ("-", "-")
        print("%-17s %7.3f %8.3f %8.2f %8.2f %9s %9s %8.1f" % (
            label, lo, med, size / lo / 1e9, size / med / 1e9, ratios[0], ratios[1],
            peaks[label] / 1024))
    # The same stream with its 1 MiB units as filler data rather than slices.
    slices, filler = times["quenby -es"], times["quenby -es fill"]
    print("filler / slices (quenby -es): %.2f of minima, %.2f of medians" % (
        min(filler) / min(slices), statistics.median(filler) / statistics.median(slices)))


if __name__ == "__main__":
    main()
