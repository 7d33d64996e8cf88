#!/usr/bin/env python3
"""Mutation sample: do the tests notice small faults in the plain logic?

Each mutant in tools/mutants.txt replaces one exact line fragment by another (a comparison
flipped, a statement dropped, a constant off by one). The fragment is looked up by its text in
the named folder, so the same mutants apply to a tree whose files have since moved. For every
mutant the script writes it in, builds, runs the test suite until the first failure (the tests
of the mutant's folder first, then the rest), and puts the file back. Unless --build names one,
the build directory is <tree>/build-mutants, configured with shared libraries so that a mutant
relinks one library rather than every test.

    tools/mutate.py [--tree DIR] [--build DIR] [--only M01,M07] [--out results.md] [--list]

--tree names another checkout to mutate (an older commit, say) with this list of mutants.

Outcomes: caught (a test failed), survived (every test passed), unbuilt (the mutant does not
compile; not counted), missing (the fragment is not in this tree, or not unique; not counted).
The score is caught / (caught + survived).
"""
import argparse
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCE_SUFFIXES = (".cpp", ".h")


def read_mutants(path):
    """Blocks of '== ID folder: what' followed by '- old' and '+ new' lines."""
    mutants, current = [], None
    for n, line in enumerate(path.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        head = re.match(r"== (\S+) (\S+): (.*)", line)
        if head:
            current = {"id": head[1], "folder": head[2], "what": head[3], "old": None, "new": None}
            mutants.append(current)
        elif line.startswith("- ") and current:
            current["old"] = line[2:]
        elif line.startswith("+ ") and current:
            current["new"] = line[2:]
        elif line == "+" and current:
            current["new"] = ""  # the fragment is dropped
        else:
            sys.exit(f"{path}:{n}: cannot read this line")
    for m in mutants:
        if m["old"] is None or m["new"] is None:
            sys.exit(f"mutant {m['id']} lacks its - or + line")
    return mutants


def locate(tree, mutant):
    """The one file under the folder that holds the fragment exactly once."""
    folder = tree / mutant["folder"]
    hits = []
    for path in sorted(folder.rglob("*")):
        if path.suffix in SOURCE_SUFFIXES and "build" not in path.relative_to(tree).parts:
            hits.extend([path] * path.read_text(errors="replace").count(mutant["old"]))
    return hits[0] if len(hits) == 1 else None


def run(command, cwd, timeout, env=None):
    try:
        return subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def test_env():
    env = dict(os.environ)
    env["QT_QPA_PLATFORM"] = "offscreen"
    return env


def build(build_dir):
    return run(["cmake", "--build", str(build_dir), "-j2"], build_dir, 1800) == 0


def configure(tree, build_dir):
    if (build_dir / "CMakeCache.txt").exists():
        return True
    command = ["cmake", "-S", str(tree), "-B", str(build_dir), "-G", "Ninja",
               "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DSEQUOR_SHARED_LIBS=ON"]
    if run(["sh", "-c", "command -v ccache"], tree, 10) == 0:
        command.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    return run(command, tree, 600) == 0


def folder_tests(tree, folder):
    """The tests that live beside the mutant's folder, tried first: they fail soonest."""
    return sorted(p.stem for p in (tree / "tests" / folder.split("/")[0]).glob("tst_*.cpp"))


def failing_tests(build_dir, selection, stop_early):
    """Runs the selected tests; the names of those that failed (empty when all passed)."""
    command = ["ctest", "--test-dir", str(build_dir), "-j2", "--timeout", "300"] + selection
    if stop_early:
        command.append("--stop-on-failure")
    if run(command, build_dir, 3600, test_env()) == 0:
        return []
    log = build_dir / "Testing" / "Temporary" / "LastTestsFailed.log"
    names = [line.split(":", 1)[1] for line in log.read_text().split() if ":" in line]
    return names or ["?"]


def fail_again(build_dir, names):
    pattern = "^(" + "|".join(re.escape(n) for n in names) + ")$"
    command = ["ctest", "--test-dir", str(build_dir), "--timeout", "300", "-R", pattern]
    return run(command, build_dir, 3600, test_env()) != 0


def selection_passes(build_dir, selection):
    # A failure counts only when it repeats: a scenario that lost a race on a loaded machine
    # must not pass for a caught mutant, nor hide the tests that would have caught it.
    failed = failing_tests(build_dir, selection, stop_early=True)
    if not failed or fail_again(build_dir, failed):
        return not failed
    failed = failing_tests(build_dir, selection, stop_early=False)
    return not failed or not fail_again(build_dir, failed)


def tests_pass(build_dir, first=()):
    # The layer probes and the package check build targets of their own and prove nothing
    # about behaviour (and a package is not made from shared libraries).
    skipped = "^layer_|^package$"
    if not first:
        return selection_passes(build_dir, ["-E", skipped])
    pattern = "^(" + "|".join(re.escape(n) for n in first) + ")$"
    return selection_passes(build_dir, ["-R", pattern]) and \
        selection_passes(build_dir, ["-E", skipped + "|" + pattern])


def main():
    # A stop from outside still puts the mutated file back (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped"))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tree", default=str(ROOT))
    parser.add_argument("--build", default="")
    parser.add_argument("--mutants", default=str(ROOT / "tools" / "mutants.txt"))
    parser.add_argument("--only", default="")
    parser.add_argument("--out", default="")
    parser.add_argument("--list", action="store_true", help="only check that each mutant applies")
    args = parser.parse_args()

    mutants = read_mutants(pathlib.Path(args.mutants))
    if args.only:
        wanted = set(args.only.split(","))
        mutants = [m for m in mutants if m["id"] in wanted]
    tree = pathlib.Path(args.tree).resolve()
    build_dir = pathlib.Path(args.build or tree / "build-mutants").resolve()

    if not args.list:
        if not configure(tree, build_dir) or not build(build_dir) or not tests_pass(build_dir):
            sys.exit("the unmutated tree must build and pass its tests first")

    rows, counts = [], {"caught": 0, "survived": 0, "unbuilt": 0, "missing": 0}
    for m in mutants:
        path = locate(tree, m)
        if path is None:
            outcome, seconds = "missing", 0.0
        elif args.list:
            outcome, seconds = "applies", 0.0
        else:
            original = path.read_bytes()
            started = time.monotonic()
            try:
                path.write_bytes(original.replace(m["old"].encode(), m["new"].encode(), 1))
                if not build(build_dir):
                    outcome = "unbuilt"
                else:
                    first = folder_tests(tree, m["folder"])
                    outcome = "survived" if tests_pass(build_dir, first) else "caught"
            finally:
                path.write_bytes(original)
            seconds = time.monotonic() - started
        counts[outcome] = counts.get(outcome, 0) + 1
        where = path.relative_to(tree) if path else m["folder"]
        rows.append(f"| {m['id']} | {where} | {m['what']} | {outcome} | {seconds:.0f} s |")
        print(rows[-1], flush=True)

    if not args.list:
        build(build_dir)  # leave the build as the tree is
    scored = counts["caught"] + counts["survived"]
    summary = (f"caught {counts['caught']} / {scored} scored "
               f"(survived {counts['survived']}, unbuilt {counts['unbuilt']}, "
               f"missing {counts['missing']})")
    print(summary)
    if args.out:
        table = ["| id | file | mutant | outcome | time |", "|---|---|---|---|---|"] + rows
        pathlib.Path(args.out).write_text("\n".join(table + ["", summary, ""]))


if __name__ == "__main__":
    main()
