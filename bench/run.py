#!/usr/bin/env python3
"""Benchmark of extractGameFile and `cfsi extract` against `cp -r` and GNU
`tar -xf`.

    python3 bench/run.py [--scale S] [--pairs N]
                         [--sets large,small,million,hostile]

Builds the program (Release, in build-bench/), writes the data sets to a
tmpfs (/dev/shm), checks that the programs' output equals the expected tree
byte for byte, then times, round after round, extractGameFile, `cfsi
extract` with one job and with one job per processor, `cp -r` of the
expected tree and `tar -xf` of a tar of it, each into a folder removed right
before its run. Reports the medians of the per-round ratios and every
tool's peak resident memory, as measured by /usr/bin/time for that child
alone. The "million" set measures memory and time against the number of
entries in the index. The "hostile" set measures the peak memory of
extractGameFile and of every cfsi command on two archives made to inflate
a reader's memory (2,000,000 entries under one 255-byte directory name;
1,000,000 empty names) against their targets. Everything generated is
removed at the end.

Single timings on a shared machine swing by 2x; only the ratios taken side
by side within a round are worth comparing.
"""

import argparse
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
BUILD = REPO / "build-bench"
PROGRAM = BUILD / "extractGameFile"
CFSI = BUILD / "cfsi"
GENERATOR = BUILD / "make_bench_data"
ARCHIVE = "00000000.cfsi"


def log(*parts):
    print(*parts, file=sys.stderr, flush=True)


def build():
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    subprocess.run(["cmake", "-S", str(REPO), "-B", str(BUILD), *generator,
                    "-DCMAKE_BUILD_TYPE=Release", "-DEGF_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BUILD), "--target",
                    "extractGameFile", "make_bench_data", "cfsi"],
                   check=True, stdout=subprocess.DEVNULL)


def remove(path):
    # rm is faster than shutil.rmtree on 100,000 files, and the folder
    # should be gone as close to the next run as possible.
    subprocess.run(["rm", "-rf", "--", str(path)], check=True)


class Timed:
    def __init__(self, seconds, peak_kib, out, err, status):
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.out = out
        self.err = err
        self.status = status


def run_timed(command, cwd, rss_file, capture=False):
    """Runs |command| under /usr/bin/time, which reports the peak resident
    memory of that child only (a wait4 from this Python process would
    report at least this process's own peak)."""
    full = ["/usr/bin/time", "-f", "%M", "-o", str(rss_file), *command]
    sink = subprocess.PIPE if capture else subprocess.DEVNULL
    start = time.perf_counter()
    done = subprocess.run(full, cwd=cwd, stdout=sink, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    lines = Path(rss_file).read_text().split()
    peak = int(lines[-1]) if lines else -1
    return Timed(seconds, peak, done.stdout, done.stderr, done.returncode)


def fresh_folder(path):
    remove(path)
    path.mkdir()


def jobs():
    """One job per processor this process may run on, as cfsi counts."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


def cfsi_run(data, out, rss_file, job_count, capture=False):
    fresh_folder(out)
    return run_timed([str(CFSI), "extract", str(data / ARCHIVE), "-o",
                      str(out / "extract"), "-j", str(job_count)], out,
                     rss_file, capture)


def program_run(data, out, rss_file, capture=False):
    fresh_folder(out)
    (out / ARCHIVE).symlink_to(data / ARCHIVE)
    return run_timed([str(PROGRAM)], out, rss_file, capture)


def tree_files(root):
    """Every folder and file below |root|, relative, folders with a final /."""
    found = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        for d in dirs:
            found[os.path.normpath(os.path.join(rel, d)) + "/"] = None
        for f in files:
            found[os.path.normpath(os.path.join(rel, f))] = os.path.join(folder, f)
    return found


def same_bytes(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            ba = fa.read(1 << 20)
            bb = fb.read(1 << 20)
            if ba != bb:
                return False
            if not ba:
                return True


def check_tree(expected, actual):
    """Returns what differs between two trees, or None when they are equal
    byte for byte."""
    want = tree_files(expected)
    got = tree_files(actual)
    if want.keys() != got.keys():
        missing = sorted(want.keys() - got.keys())[:5]
        extra = sorted(got.keys() - want.keys())[:5]
        return f"missing {missing}, unexpected {extra}"
    for rel, path in want.items():
        if path is not None and not same_bytes(path, got[rel]):
            return f"{rel} differs"
    return None


def verify(data, out, rss_file):
    """One run of each program whose output, exit status and tree must be
    exactly as expected; the benchmark stops otherwise."""
    runs = [("extractGameFile", lambda: program_run(data, out, rss_file, True),
             (data / "expected_stdout").read_bytes(), b"")]
    files = len((data / "expected_stdout").read_text().splitlines()) - 1
    for count in sorted({1, jobs()}):
        runs.append((f"cfsi extract -j {count}",
                     lambda count=count: cfsi_run(data, out, rss_file, count,
                                                  True),
                     b"", f"cfsi: {files} file".encode()))
    for name, run, want_out, want_err in runs:
        result = run()
        problems = []
        if result.status != 0:
            problems.append(f"exit status {result.status}")
        if result.out != want_out:
            problems.append("standard output differs")
        if not result.err.startswith(want_err) or (
                not want_err and result.err):
            problems.append("stderr: "
                            + result.err.decode(errors="replace")[:200])
        difference = check_tree(data / "tree" / "extract", out / "extract")
        if difference:
            problems.append(difference)
        if problems:
            sys.exit(f"{data.name}: {name}'s output is wrong: "
                     + "; ".join(problems))


def generate(kind, scale, data):
    remove(data)
    result = subprocess.run([str(GENERATOR), kind, repr(scale), str(data)],
                            check=True, capture_output=True, text=True)
    log(result.stdout.strip())


def count_tree(root):
    files = folders = size = 0
    for _, dirs, names in os.walk(root):
        folders += len(dirs)
        for n in names:
            files += 1
            size += os.path.getsize(os.path.join(_, n))
    return files, folders, size


def compare(kind, scale, pairs, work):
    data = work / kind
    out = work / "out"
    rss_file = work / "rss"
    generate(kind, scale, data)
    tar = data / "tree.tar"
    # A tar whose bytes do not depend on when or by whom it was made.
    subprocess.run(["tar", "--sort=name", "--mtime=@0", "--owner=0",
                    "--group=0", "--numeric-owner", "-cf", str(tar),
                    "-C", str(data / "tree"), "extract"], check=True)
    files, folders, size = count_tree(data / "tree" / "extract")
    entries = int((data / "entries").read_text())
    archive_bytes = (data / ARCHIVE).stat().st_size

    verify(data, out, rss_file)

    def program():
        return program_run(data, out, rss_file)

    def cfsi_one():
        return cfsi_run(data, out, rss_file, 1)

    def cfsi_all():
        return cfsi_run(data, out, rss_file, jobs())

    def copy():
        fresh_folder(out)
        return run_timed(["cp", "-r", str(data / "tree" / "extract"),
                          str(out / "extract")], work, rss_file)

    def untar():
        fresh_folder(out)
        return run_timed(["tar", "-xf", str(tar), "-C", str(out)], work,
                         rss_file)

    tools = {"program": program, "cfsi -j 1": cfsi_one,
             f"cfsi -j {jobs()}": cfsi_all, "cp -r": copy, "tar -xf": untar}
    for run in tools.values():  # warm-up, not counted
        run()
    results = {name: [] for name in tools}
    for round_number in range(pairs):
        # The order flips every round so that no tool always runs first.
        order = list(tools) if round_number % 2 == 0 else list(tools)[::-1]
        for name in order:
            timed = tools[name]()
            if timed.status != 0:
                sys.exit(f"{name} failed: {timed.err.decode(errors='replace')}")
            results[name].append(timed)
    remove(out)
    remove(data)

    def ratios(baseline, tool="program"):
        return [p.seconds / b.seconds
                for p, b in zip(results[tool], results[baseline])]

    measured = [name for name in tools if name not in ("cp -r", "tar -xf")]

    return {
        "kind": kind,
        "entries": entries,
        "files": files,
        "folders": folders,
        "bytes": size,
        "archive_bytes": archive_bytes,
        "pairs": pairs,
        "cp_ratio": statistics.median(ratios("cp -r")),
        "tar_ratio": statistics.median(ratios("tar -xf")),
        "cp_ratios": ratios("cp -r"),
        "tar_ratios": ratios("tar -xf"),
        "tools": measured,
        "tool_cp": {n: statistics.median(ratios("cp -r", n)) for n in measured},
        "tool_tar": {n: statistics.median(ratios("tar -xf", n))
                     for n in measured},
        "tool_cp_ratios": {n: ratios("cp -r", n) for n in measured},
        "seconds": {n: statistics.median(r.seconds for r in v)
                    for n, v in results.items()},
        "peak_kib": {n: max(r.peak_kib for r in v) for n, v in results.items()},
    }


def empty_archive_runs(work, out, rss_file, rounds):
    """extractGameFile's runs on an archive with no entry: its fixed cost."""
    empty = work / "empty"
    remove(empty)
    empty.mkdir()
    # Three leading bytes, then the terminating record: an empty name and
    # a file count of 0.
    (empty / ARCHIVE).write_bytes(b"BNC\x00\x00")
    runs = [program_run(empty, out, rss_file) for _ in range(rounds)]
    remove(empty)
    return runs


def million(scale, pairs, work):
    """Memory and time against the number of entries: the same kind of
    archive at a quarter, half and all of its size, and an empty archive
    for the program's fixed cost."""
    out = work / "out"
    rss_file = work / "rss"
    base = empty_archive_runs(work, out, rss_file, pairs)
    base_kib = statistics.median(r.peak_kib for r in base)
    base_seconds = statistics.median(r.seconds for r in base)

    rows = []
    for fraction in (0.25, 0.5, 1.0):
        data = work / "million"
        generate("million", scale * fraction, data)
        verify(data, out, rss_file)
        runs = [program_run(data, out, rss_file) for _ in range(pairs)]
        entries = int((data / "entries").read_text())
        peak = statistics.median(r.peak_kib for r in runs)
        seconds = statistics.median(r.seconds for r in runs)
        rows.append({
            "entries": entries,
            "extracted": len((data / "expected_stdout").read_text()
                             .splitlines()) - 1,
            "peak_kib": peak,
            "bytes_per_entry": (peak - base_kib) * 1024 / entries,
            "seconds": seconds,
            "us_per_entry": seconds * 1e6 / entries,
        })
        remove(out)
        remove(data)
    return {"base_kib": base_kib, "base_seconds": base_seconds, "rows": rows}


# Peak memory targets for the hostile set, in bytes: a fixed part, and a
# part per entry of the archive.
MIB = 1024 * 1024
TARGETS = {
    "cfsi list": (8 * MIB, 0),
    "cfsi list --json": (8 * MIB, 0),
    "cfsi verify": (8 * MIB, 48),
    "cfsi extract --all": (8 * MIB, 48),
    "cfsi pack --like": (8 * MIB, 48),
}


def hostile(scale, work):
    """Peak memory of each program and command on archives whose index
    names far more than it weighs. extractGameFile has no fixed target: it
    keeps one record per selected entry, so its peak is given per selected
    entry above its peak on an empty archive."""
    out = work / "out"
    rss_file = work / "rss"
    base_kib = empty_archive_runs(work, out, rss_file, 1)[0].peak_kib

    rows = []
    for kind in ("longdir", "emptynames"):
        data = work / kind
        generate(kind, scale, data)
        entries = int((data / "entries").read_text())
        archive = str(data / ARCHIVE)
        program = program_run(data, out, rss_file)
        selected = entries if kind == "longdir" else 0
        rows.append({"kind": kind, "entries": entries,
                     "archive_bytes": (data / ARCHIVE).stat().st_size,
                     "command": "extractGameFile",
                     "peak_kib": program.peak_kib, "status": program.status,
                     "per_selected": ((program.peak_kib - base_kib) * 1024
                                      / selected if selected else None)})
        tree = work / "tree"
        fresh_folder(tree)
        commands = {
            "cfsi list": ["list", archive],
            "cfsi list --json": ["list", "--json", archive],
            "cfsi verify": ["verify", archive],
            "cfsi extract --all": ["extract", archive, "--all", "-o",
                                   str(out / "x")],
            "cfsi pack --like": ["pack", str(tree), "-o",
                                 str(out / "new.cfsi"), "--like", archive],
        }
        for name, args in commands.items():
            fresh_folder(out)
            timed = run_timed([str(CFSI), *args], work, rss_file)
            fixed, per_entry = TARGETS[name]
            rows.append({"kind": kind, "entries": entries, "command": name,
                         "peak_kib": timed.peak_kib, "status": timed.status,
                         "target_kib": (fixed + per_entry * entries) / 1024})
        remove(out)
        remove(tree)
        remove(data)
    return {"base_kib": base_kib, "rows": rows}


def machine():
    model = "unknown CPU"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    memory = os.sysconf("SC_PAGE_SIZE") * os.sysconf("SC_PHYS_PAGES")
    return (f"{model}, {os.cpu_count()} cores, {memory / 2**30:.0f} GiB, "
            f"Linux {platform.release()}, tmpfs /dev/shm")


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scale", type=float, default=1.0,
                        help="multiplies every data set's size (0.1 for a "
                             "quick run)")
    parser.add_argument("--pairs", type=int, default=7,
                        help="timed rounds per data set (at least 5)")
    parser.add_argument("--sets", default="large,small,million",
                        help="comma-separated: large, small, million, "
                             "hostile")
    parser.add_argument("--work", default=f"/dev/shm/egf-bench-{os.getuid()}",
                        help="scratch folder, best on a tmpfs")
    args = parser.parse_args()
    if args.pairs < 5:
        parser.error("--pairs must be at least 5")
    if b"GNU tar" not in subprocess.run(["tar", "--version"],
                                        capture_output=True).stdout:
        sys.exit("the baseline needs GNU tar")
    sets = args.sets.split(",")

    build()
    work = Path(args.work)
    remove(work)
    work.mkdir(parents=True)
    started = time.time()
    try:
        comparisons = [compare(kind, args.scale, args.pairs, work)
                       for kind in sets if kind in ("large", "small")]
        memory = (million(args.scale, args.pairs, work)
                  if "million" in sets else None)
        inflating = (hostile(args.scale, work)
                     if "hostile" in sets else None)
    finally:
        remove(work)

    command = "python3 bench/run.py" + "".join(
        f" {flag} {value}" for flag, value, default in (
            ("--scale", args.scale, 1.0), ("--pairs", args.pairs, 7),
            ("--sets", args.sets, "large,small,million"))
        if value != default)
    print(f"Command: `{command}`, {time.strftime('%Y-%m-%d', time.gmtime())}, "
          f"{time.time() - started:.0f} s")
    print(f"Machine: {machine()}")
    print()
    if comparisons:
        print("| data set | program / cp -r | program / tar -xf | "
              "program peak RSS | cp -r peak RSS | tar -xf peak RSS | "
              "median times: program, cp -r, tar -xf |")
        print("|---|---|---|---|---|---|---|")
        for c in comparisons:
            s = c["seconds"]
            print(f"| {c['kind']}: {c['files']:,} \"dds\" files in "
                  f"{c['folders']:,} folders, {c['bytes'] / 2**20:,.0f} MiB "
                  f"(archive {c['archive_bytes'] / 2**20:,.0f} MiB) "
                  f"| {c['cp_ratio']:.2f} | {c['tar_ratio']:.2f} "
                  f"| {mib(c['peak_kib']['program'])} "
                  f"| {mib(c['peak_kib']['cp -r'])} "
                  f"| {mib(c['peak_kib']['tar -xf'])} "
                  f"| {s['program']:.3f} s, {s['cp -r']:.3f} s, "
                  f"{s['tar -xf']:.3f} s |")
        print()
        for c in comparisons:
            print(f"{c['kind']}: {c['pairs']} rounds; program / cp -r: "
                  + " ".join(f"{r:.2f}" for r in c["cp_ratios"])
                  + "; program / tar -xf: "
                  + " ".join(f"{r:.2f}" for r in c["tar_ratios"]))
        print()
        print("`cfsi extract` beside extractGameFile (\"cfsi -j N\": N jobs; "
              "memory target: 8 MiB plus 64 bytes per extracted file):")
        print()
        print("| data set | tool | / cp -r | / tar -xf | peak RSS | "
              "memory target | median time |")
        print("|---|---|---|---|---|---|---|")
        for c in comparisons:
            target_kib = (8 * 2**20 + 64 * c["files"]) / 1024
            for name in c["tools"]:
                shown = "extractGameFile" if name == "program" else name
                peak = c["peak_kib"][name]
                target = ("" if name == "program" else
                          f"{mib(target_kib)} "
                          f"({'met' if peak <= target_kib else 'MISSED'})")
                print(f"| {c['kind']} | {shown} | {c['tool_cp'][name]:.2f} "
                      f"| {c['tool_tar'][name]:.2f} | {mib(peak)} "
                      f"| {target} | {c['seconds'][name]:.3f} s |")
        print()
        for c in comparisons:
            print(f"{c['kind']}: {c['pairs']} rounds; / cp -r: " + "; ".join(
                f"{name}: " + " ".join(f"{r:.2f}" for r in ratios)
                for name, ratios in c["tool_cp_ratios"].items()
                if name != "program"))
        print()
    if memory and comparisons:
        for c in comparisons:
            above = (c["peak_kib"]["program"] - memory["base_kib"]) * 1024
            print(f"{c['kind']}: peak RSS above the empty archive's: "
                  f"{above / c['entries']:.0f} bytes per entry of the "
                  f"archive ({c['entries']:,}), {above / c['files']:.0f} per "
                  f"extracted entry")
        print()
    if memory:
        print(f"Index size against memory and time (empty archive: "
              f"{mib(memory['base_kib'])}, {memory['base_seconds'] * 1000:.1f} "
              f"ms; bytes per entry are above the empty archive's peak, time "
              f"per entry is the whole run's):")
        print()
        print("| entries | extracted | peak RSS | bytes per entry | "
              "time | time per entry |")
        print("|---|---|---|---|---|---|")
        for r in memory["rows"]:
            print(f"| {r['entries']:,} | {r['extracted']:,} "
                  f"| {mib(r['peak_kib'])} | {r['bytes_per_entry']:.0f} "
                  f"| {r['seconds']:.3f} s | {r['us_per_entry']:.2f} µs |")
        print()
    if inflating:
        print(f"Archives made to inflate memory (extractGameFile on an empty "
              f"archive: {mib(inflating['base_kib'])}):")
        print()
        print("| archive | command | exit status | peak RSS | target |")
        print("|---|---|---|---|---|")
        for r in inflating["rows"]:
            if "target_kib" in r:
                verdict = "met" if r["peak_kib"] <= r["target_kib"] else "MISSED"
                target = f"{mib(r['target_kib'])} ({verdict})"
            elif r["per_selected"] is not None:
                target = f"{r['per_selected']:.0f} bytes per selected entry"
            else:
                target = "nothing selected"
            print(f"| {r['kind']}: {r['entries']:,} entries | {r['command']} "
                  f"| {r['status']} | {mib(r['peak_kib'])} | {target} |")


if __name__ == "__main__":
    main()
