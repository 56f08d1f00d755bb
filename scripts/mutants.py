#!/usr/bin/env python3
"""Mutation sample: how many small faults planted in the code does the test suite catch?

    scripts/mutants.py [--build DIR] [--seed N] [--count N] [--list] [--only N,N,...]
                       [--map FILE]

Picks a fixed sample of mutants (the same seed gives the same sample on the same code) from the
module (shapes, animations, the core with the record loader, the entry points), the expression
engine and the project library. One mutant at a time: plant it, rebuild incrementally, run the
suite. A mutant the compiler refuses is discarded; one that a test fails on, or that runs past
three times the clean suite's time (and then past thirty times, on a second try that tells a busy
machine from a hang), is killed; the others survive. The planted line is always put
back, also on an error, ^C or SIGTERM. Prints every survivor as `file:line: original -> mutant`,
then killed / survived / discarded and the kill rate.

With --map FILE the whole suite runs for every mutant (no stop at the first failure) and FILE
gets, as JSON, the test cases that failed on each mutant: which tests are the only ones that
catch a fault, before tests are merged or removed.
"""

import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The areas the sample is spread over, each with its share of the sample.
AREAS = [
    ("shapes", ["kestrovalumen/shapes"], 0.25),
    ("animations", ["kestrovalumen/animation"], 0.25),
    ("core", ["kestrovalumen/core", "kestrovalumen/kestrovalumen.cpp"], 0.2),
    ("script", ["runtime/script"], 0.15),
    ("project", ["runtime/project"], 0.15),
]

SWAPS = [
    (r"<=", "<"), (r">=", ">"), (r"==", "!="), (r"!=", "=="),
    (r"(?<=\s)<(?=\s)", "<="), (r"(?<=\s)>(?=\s)", ">="),
    (r"(?<=\s)\+(?=\s)", "-"), (r"(?<=\s)-(?=\s)", "+"),
    (r"(?<=\s)\*(?=\s)", "/"), (r"(?<=\s)/(?=\s)", "*"),
    (r"&&", "||"), (r"\|\|", "&&"),
]
# Not array extents nor template arguments: changing those rarely changes behaviour.
CONSTANT = re.compile(r"(?<![\w.\[<])(\d+)(?![\w.\]>])")
CONDITION = re.compile(r"\b(if|while) \((.*)\) \{$")
STATEMENT = re.compile(r"^\s+[\w:>.\-\[\]()*&]+(\(.*\)|\s[+\-*/|&]?=\s.*);$")


def sources(paths):
    for path in paths:
        full = os.path.join(ROOT, path)
        if os.path.isfile(full):
            yield path
            continue
        for name in sorted(os.listdir(full)):
            if name.endswith(".cpp"):
                yield os.path.join(path, name)


def code_lines(path):
    """(line number, text) of the lines worth mutating: code, not comments, strings or #."""
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    in_block = False
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if in_block:
            in_block = "*/" not in stripped
            continue
        if stripped.startswith("/*"):
            in_block = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("//", "#", "static_assert")):
            continue
        if '"' in line or "'" in line or "template" in line or "operator" in line:
            continue
        yield number, line


def mutants_of(path, number, line):
    """Every mutant of one line, as (kind, new line)."""
    code = line.split("//")[0]
    out = []
    for pattern, replacement in SWAPS:
        for m in re.finditer(pattern, code):
            out.append(("operator", line[: m.start()] + replacement + line[m.end():]))
    for m in CONSTANT.finditer(code):
        value = int(m.group(1))
        out.append(("constant", line[: m.start()] + str(value + 1) + line[m.end():]))
    m = CONDITION.search(code)
    if m:
        out.append(("negation", line[: m.start(2)] + "!(" + m.group(2) + ")" + line[m.end(2):]))
    if STATEMENT.match(code) and not code.lstrip().startswith(("return", "case", "const ")):
        indent = code[: len(code) - len(code.lstrip())]
        out.append(("removal", indent + ";"))
    if code.strip() in ("return true;", "return false;"):
        flipped = "false" if "true" in code else "true"
        out.append(("return", line.replace(code.strip(), "return " + flipped + ";")))
    return [(kind, new) for kind, new in out if new != line]


def sample(seed, count):
    rng = random.Random(seed)
    chosen = []
    for area, paths, share in AREAS:
        candidates = []
        for path in sources(paths):
            for number, line in code_lines(path):
                for kind, new in mutants_of(path, number, line):
                    candidates.append((area, path, number, line, kind, new))
        wanted = max(1, round(count * share))
        chosen.extend(rng.sample(candidates, min(wanted, len(candidates))))
    return chosen


def run(command, timeout=None, capture=False):
    """The exit code (None on timeout) and, with capture, the output."""
    try:
        done = subprocess.run(command, cwd=ROOT, stderr=subprocess.STDOUT, timeout=timeout,
                              stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                              text=capture, errors="replace" if capture else None)
        return done.returncode, done.stdout if capture else ""
    except subprocess.TimeoutExpired:
        return None, ""


FAILED_CASE = re.compile(r"^\[  FAILED  \] (\S+\.\S+?)(?:,| \(|$)", re.M)
FAILED_PROGRAM = re.compile(r"^\s*\d+ - (\S+) \(", re.M)


def failures(output):
    """The failed test cases, or the failed programs where a program failed without a case."""
    cases = set(FAILED_CASE.findall(output))
    tail = output.split("The following tests FAILED:")[-1] if "tests FAILED" in output else ""
    programs = set(FAILED_PROGRAM.findall(tail))
    return sorted(cases) if cases else sorted(programs)


def write_map(path, caught):
    """Written after every mutant, so that a long run can be read while it goes on."""
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        json.dump(caught, f, indent=1)
    os.replace(path + ".tmp", path)


def _terminate(signum, frame):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default="build", help="the build directory (default: build)")
    parser.add_argument("--seed", type=int, default=20261207, help="the sample's seed")
    parser.add_argument("--count", type=int, default=120, help="mutants in the sample")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--only", help="comma-separated indexes of the sample to run")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--map", help="run every test on every mutant; write what failed here")
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, _terminate)

    mutants = sample(args.seed, args.count)
    if args.list:
        for index, (area, path, number, line, kind, new) in enumerate(mutants):
            print(f"{index:3} {area:10} {kind:8} {path}:{number}: {line.strip()} -> {new.strip()}")
        return 0
    indexes = range(len(mutants))
    if args.only:
        indexes = [int(i) for i in args.only.split(",")]

    build = ["cmake", "--build", args.build, "-j", str(args.jobs)]
    tests = ["ctest", "--test-dir", args.build, "-j", str(args.jobs)]
    tests += ["--output-on-failure"] if args.map else ["--stop-on-failure"]
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    if run(build)[0] != 0:
        print("the clean tree does not build", file=sys.stderr)
        return 1
    start = time.monotonic()
    if run(tests)[0] != 0:
        print("the clean suite fails: fix it before measuring", file=sys.stderr)
        return 1
    limit = max(30.0, 3 * (time.monotonic() - start))

    killed, survived, discarded = 0, [], 0
    caught = {}
    for index in indexes:
        area, path, number, line, kind, new = mutants[index]
        full = os.path.join(ROOT, path)
        with open(full, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        assert lines[number - 1] == line, f"{path}:{number} changed since the sample was drawn"
        lines[number - 1] = new
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            if run(build)[0] != 0:
                verdict = "discarded"
                discarded += 1
            else:
                result, output = run(tests, timeout=limit, capture=bool(args.map))
                if result is None:
                    # A busy machine is no hang: only a second, much longer run says so.
                    result, output = run(tests, timeout=10 * limit, capture=bool(args.map))
                if args.map:
                    caught[index] = {"mutant": f"{path}:{number}: {line.strip()} -> {new.strip()}",
                                     "failed": failures(output) if result != 0 else [],
                                     "timeout": result is None}
                    write_map(args.map, caught)
                if result == 0:
                    verdict = "SURVIVED"
                    survived.append(f"{path}:{number}: {line.strip()} -> {new.strip()}")
                else:
                    verdict = "killed" if result is not None else "killed (timeout)"
                    killed += 1
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(original)
        print(f"[{index:3}] {verdict:16} {path}:{number} ({kind})", flush=True)
    run(build)

    print()
    for line in survived:
        print("survivor:", line)
    tried = killed + len(survived)
    rate = 100.0 * killed / tried if tried else 0.0
    print(f"killed {killed}, survived {len(survived)}, discarded {discarded}, "
          f"kill rate {rate:.1f}% (seed {args.seed}, {len(mutants)} in the sample)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
