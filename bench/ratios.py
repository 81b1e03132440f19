#!/usr/bin/env python3
"""Runs the benchmarks and prints the table of ratios, ours against each peer, from one run.

Naming convention: a benchmark of ours is BM_<name>; a peer racing it is BM_<name>_vs_<peer>,
with the same arguments (BM_four1/1024 and BM_four1_vs_fftw<FFTW_MEASURE>/1024). Rows pair by
<name> and arguments, so new benchmarks that follow the convention appear in the table without
changes here. Ratio = our time / the peer's time, both CPU time (steadier than wall-clock time
on a shared machine; every benchmark runs on one thread): below 1 we are faster.

Usage: ratios.py [--filter REGEX] [--min-time SECONDS] PATH...
PATH is a directory whose *_bench executables are run, or a JSON file written by a benchmark
with --benchmark_format=json (or --benchmark_out).
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile

TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def run_benchmarks(directory, pattern, min_time):
    rows = []
    programs = sorted(p for p in os.listdir(directory)
                      if p.endswith("_bench") and os.access(os.path.join(directory, p), os.X_OK))
    for program in programs:
        with tempfile.NamedTemporaryFile(suffix=".json") as out:
            command = [os.path.join(directory, program), "--benchmark_out=" + out.name,
                       "--benchmark_out_format=json"]
            if pattern:
                command.append("--benchmark_filter=" + pattern)
            if min_time:
                command.append("--benchmark_min_time=" + min_time)
            print("running " + " ".join(command[:1] + command[3:]), file=sys.stderr, flush=True)
            # The console table goes to standard error, so that standard output is the ratios.
            subprocess.run(command, check=True, stdout=sys.stderr)
            rows += read_rows(out.name)
    return rows


def read_rows(path):
    with open(path) as f:
        text = f.read()
    if not text.strip():
        return []  # a filter that matched nothing in this program
    benchmarks = json.loads(text).get("benchmarks", [])
    # With repetitions, the median stands for each benchmark; otherwise its one row.
    medians = [b for b in benchmarks if b.get("aggregate_name") == "median"]
    if medians:
        return [dict(b, name=b["run_name"]) for b in medians]
    return [b for b in benchmarks if b.get("run_type", "iteration") == "iteration"
            and "error_occurred" not in b]


def split_name(full):
    """'BM_four1_vs_fftw<FFTW_MEASURE>/1024' -> ('four1', 'fftw<FFTW_MEASURE>', '1024')."""
    function, _, arguments = full.partition("/")
    if function.startswith("BM_"):
        function = function[3:]
    ours, vs, peer = function.partition("_vs_")
    return ours, (peer if vs else None), arguments


def argument_key(arguments):
    return [int(a) if a.isdigit() else 0 for a in arguments.split("/")] if arguments else []


def ratio_table(rows):
    ours, peers = {}, []
    for row in rows:
        name, peer, arguments = split_name(row["name"])
        time = row["cpu_time"] * TO_NS[row.get("time_unit", "ns")]
        if peer is None:
            ours[(name, arguments)] = time
        else:
            peers.append((name, arguments, peer, time))
    lines = ["| Routine | Arguments | Peer | Ours (ms) | Peer (ms) | Ratio |",
             "|---|---|---|---|---|---|"]
    unmatched = []
    # Grouped by routine (in the order the benchmarks ran), then by size, each size's peers
    # together.
    first = {}
    for index, (name, _, _, _) in enumerate(peers):
        first.setdefault(name, index)
    peers.sort(key=lambda p: (first[p[0]], argument_key(p[1])))
    for name, arguments, peer, time in peers:
        if (name, arguments) not in ours:
            unmatched.append("BM_%s_vs_%s%s" % (name, peer, "/" + arguments if arguments else ""))
            continue
        mine = ours[(name, arguments)]
        lines.append("| `%s` | %s | %s | %.4g | %.4g | %.2f |"
                     % (name, arguments or "-", peer, mine / 1e6, time / 1e6, mine / time))
    return lines, unmatched


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--filter", help="run only benchmarks matching this regular expression")
    parser.add_argument("--min-time", help="minimum seconds per benchmark (the library's default otherwise)")
    parser.add_argument("paths", nargs="+", help="benchmark directory or JSON file")
    options = parser.parse_args()
    rows = []
    for path in options.paths:
        rows += run_benchmarks(path, options.filter, options.min_time) if os.path.isdir(path) \
            else read_rows(path)
    lines, unmatched = ratio_table(rows)
    print("\n".join(lines))
    if unmatched:
        print("\npeers without a row of ours: " + ", ".join(unmatched))
    if len(lines) == 2:
        print("no pairs: peer rows are named BM_<name>_vs_<peer> beside BM_<name>", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
