#!/usr/bin/env python3
"""Mutation check: puts listed faults into the sources one at a time, rebuilds
only the test program that should notice, runs it, and always puts the source
back. Prints a table of the outcomes and the kill rate.

The list (tests/mutations/mutations.txt) holds blocks of "key: value" lines
separated by blank lines; see the head of that file for the keys.
"""

import argparse
import os
import shlex
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BACKUP_NAME = "mutate-backup"


class Mutation:
    def __init__(self, fields, where):
        self.where = where
        self.id = fields.get("id", where)
        self.file = fields.get("file", "")
        self.find = fields.get("find")
        self.line = int(fields["line"]) if "line" in fields else None
        self.occurrence = int(fields.get("occurrence", "1"))
        self.replace = fields.get("replace", "")
        test = shlex.split(fields.get("test", ""))
        self.program = test[0] if test else ""
        self.filter = test[1] if len(test) > 1 else ""
        self.equivalent = fields.get("equivalent", "")
        if not self.file or not self.program or (self.find is None and self.line is None):
            raise ValueError(f"{where}: a mutation needs file, find or line, and test")


def parse_list(path):
    mutations, fields, start = [], {}, None
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    for number, raw in enumerate(lines + [""], 1):
        if raw.startswith("#"):
            continue
        if not raw.strip():
            if fields:
                mutations.append(Mutation(fields, f"{os.path.basename(path)}:{start}"))
                fields = {}
            continue
        key, sep, value = raw.partition(":")
        if not sep:
            raise ValueError(f"{path}:{number}: expected 'key: value'")
        if not fields:
            start = number
        # One space after the colon separates key and value; any further
        # blanks belong to the code.
        fields[key.strip()] = value[1:] if value.startswith(" ") else value
    return mutations


def apply(text, m):
    """The mutated text, or None when the pattern is no longer there."""
    if m.line is not None:
        lines = text.split("\n")
        if not 1 <= m.line <= len(lines):
            return None
        old = lines[m.line - 1]
        if m.find is not None:
            if m.find not in old:
                return None
            lines[m.line - 1] = old.replace(m.find, m.replace, 1)
        else:
            lines[m.line - 1] = m.replace
        return "\n".join(lines)
    at = -1
    for _ in range(m.occurrence):
        at = text.find(m.find, at + 1)
        if at < 0:
            return None
    return text[:at] + m.replace + text[at + len(m.find):]


def run(cmd, timeout=None, **kw):
    # Tests print file names as bytes, which need not be UTF-8.
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace", timeout=timeout, **kw)


class Workspace:
    """Owns the one source file changed at a time; a copy of the original waits
    in the build folder so that even a killed run is mended by the next one."""

    def __init__(self, build):
        self.backup_dir = os.path.join(build, BACKUP_NAME)
        self.current = None

    def restore_leftovers(self):
        if not os.path.isdir(self.backup_dir):
            return
        for dirpath, _, names in os.walk(self.backup_dir):
            for name in names:
                saved = os.path.join(dirpath, name)
                rel = os.path.relpath(saved, self.backup_dir)
                with open(saved, "rb") as f:
                    original = f.read()
                with open(os.path.join(ROOT, rel), "wb") as f:
                    f.write(original)
                os.remove(saved)
                print(f"restored {rel} left mutated by an interrupted run")

    def mutate(self, rel, text):
        path = os.path.join(ROOT, rel)
        with open(path, "rb") as f:
            original = f.read()
        saved = os.path.join(self.backup_dir, rel)
        os.makedirs(os.path.dirname(saved), exist_ok=True)
        with open(saved, "wb") as f:
            f.write(original)
        self.current = (path, saved, original)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def revert(self):
        if self.current is None:
            return
        path, saved, original = self.current
        # The original bytes come back with a new time stamp, so the next
        # build recompiles the file instead of keeping the mutant's object.
        with open(path, "wb") as f:
            f.write(original)
        os.remove(saved)
        self.current = None


def build_targets(build, targets, jobs):
    cmd = ["cmake", "--build", build, "-j", str(jobs)]
    for t in sorted(set(targets)):
        cmd += ["--target", t]
    return run(cmd)


def run_tests(build, m, timeout):
    program = os.path.join(build, "bin", m.program)
    if not os.path.exists(program):
        program = os.path.join(build, "tests", m.program)
    cmd = [program, "--gtest_brief=1"]
    if m.filter:
        cmd.append("--gtest_filter=" + m.filter)
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    try:
        return run(cmd, timeout=timeout, env=env, cwd=build).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def read_text(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--list", default=os.path.join(ROOT, "tests/mutations/mutations.txt"))
    ap.add_argument("--build", default=os.path.join(ROOT, "build-mutate"))
    ap.add_argument("--build-type", default="Release")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    ap.add_argument("--timeout", type=int, default=600, help="seconds per test run")
    ap.add_argument("--only", action="append", help="run only this id (repeatable)")
    args = ap.parse_args()

    mutations = parse_list(args.list)
    if args.only:
        mutations = [m for m in mutations if m.id in args.only]
    build = os.path.abspath(args.build)
    workspace = Workspace(build)
    workspace.restore_leftovers()

    # Ctrl-C and a polite kill both end in the finally below.
    def stop(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)

    programs = sorted({m.program for m in mutations})
    # The window is built only when a mutant is judged by the document's or
    # the window's tests: it is most of the build.
    gui = "ON" if {"document_tests", "shell_tests"} & set(programs) else "OFF"
    cache = os.path.join(build, "CMakeCache.txt")
    gui_off = os.path.exists(cache) and "FOLIM_BUILD_GUI:BOOL=OFF" in read_text(cache)
    if not os.path.exists(cache) or (gui == "ON" and gui_off):
        print(f"configuring {build} ...", flush=True)
        r = run(["cmake", "-S", ROOT, "-B", build, f"-DCMAKE_BUILD_TYPE={args.build_type}",
                 f"-DFOLIM_BUILD_GUI={gui}"])
        if r.returncode != 0:
            sys.exit(r.stdout)
    print(f"building {' '.join(programs)} ...", flush=True)
    r = build_targets(build, programs, args.jobs)
    if r.returncode != 0:
        sys.exit(r.stdout[-4000:])

    # Every test named must pass on the unchanged sources, or a failure
    # would prove nothing about a mutant.
    checked = set()
    for m in mutations:
        if (m.program, m.filter) in checked:
            continue
        checked.add((m.program, m.filter))
        if run_tests(build, m, args.timeout) != 0:
            sys.exit(f"{m.id}: {m.program} {m.filter} fails on the unchanged sources")

    results = []
    try:
        for n, m in enumerate(mutations, 1):
            began = time.monotonic()
            path = os.path.join(ROOT, m.file)
            with open(path, encoding="utf-8") as f:
                text = f.read()
            mutated = apply(text, m) if os.path.exists(path) else None
            if mutated is None or mutated == text:
                outcome = "stale"
            else:
                workspace.mutate(m.file, mutated)
                try:
                    built = build_targets(build, [m.program], args.jobs)
                    if built.returncode != 0:
                        outcome = "no-build"
                    else:
                        rc = run_tests(build, m, args.timeout)
                        outcome = "killed" if rc != 0 else "survived"
                finally:
                    workspace.revert()
            if outcome == "survived" and m.equivalent:
                outcome = "equivalent"
            seconds = time.monotonic() - began
            results.append((m, outcome, seconds))
            print(f"[{n}/{len(mutations)}] {m.id}: {outcome} ({seconds:.0f} s)", flush=True)
    except KeyboardInterrupt:
        print("\ninterrupted; the source is restored", flush=True)
    finally:
        workspace.revert()

    # The last mutant's objects are rebuilt from the restored source.
    if results:
        build_targets(build, [results[-1][0].program], args.jobs)
    print_table(results)
    survivors = [m for m, o, _ in results if o == "survived"]
    sys.exit(1 if survivors or len(results) < len(mutations) else 0)


def print_table(results):
    width = max([len(m.id) for m, _, _ in results] + [8])
    print()
    print(f"{'mutation':<{width}}  {'outcome':<10}  {'seconds':>7}  test program")
    for m, outcome, seconds in results:
        test = m.program + (f" {m.filter}" if m.filter else "")
        print(f"{m.id:<{width}}  {outcome:<10}  {seconds:7.0f}  {test}")
    count = {k: sum(1 for _, o, _ in results if o == k)
             for k in ("killed", "survived", "equivalent", "stale", "no-build")}
    judged = count["killed"] + count["survived"]
    rate = 100.0 * count["killed"] / judged if judged else 0.0
    print()
    print(f"killed {count['killed']}, survived {count['survived']}, equivalent "
          f"{count['equivalent']}, stale {count['stale']}, not building {count['no-build']}")
    print(f"kill rate {rate:.1f} % ({count['killed']} of {judged} non-equivalent mutants)")
    for m, outcome, _ in results:
        if outcome == "survived":
            print(f"SURVIVOR {m.id}: {m.file}: {m.find or m.line} -> {m.replace}")
        elif outcome == "stale":
            print(f"STALE {m.id}: the pattern is no longer in {m.file}")


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        sys.exit("\ninterrupted before any source was changed")
