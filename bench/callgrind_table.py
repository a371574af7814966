#!/usr/bin/env python3
"""Instruction counts of chosen functions in one callgrind output file.

    callgrind_table.py FILE LABEL=REGEX [LABEL=REGEX ...]

Prints, for every LABEL, the calls, the self and the inclusive instruction counts (Ir) of all
functions whose name matches REGEX (summed), and the inclusive count per call. Names are matched
without their source file, so code inlined from headers counts with the function it is in.
"""
import collections
import re
import sys


def parse(path):
    names = {}  # compressed id -> name, per kind of name
    self_ir = collections.Counter()
    called_ir = collections.Counter()  # inclusive cost of the calls a function makes
    calls = collections.Counter()
    total = 0
    fn = None
    pending_call = None  # (callee, count): the next cost line is that call's inclusive cost

    def name_of(kind, text):
        m = re.match(r"\((\d+)\)(?: (.*))?$", text)
        if not m:
            return text
        key = (kind, m.group(1))
        if m.group(2) is not None:
            names[key] = m.group(2)
        return names.get(key, text)

    with open(path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line[0] == "#":
                continue
            if line.startswith("fn="):
                fn = name_of("fn", line[3:])
                continue
            if line.startswith("cfn="):
                callee = name_of("fn", line[4:])
                continue
            if line.startswith(("fl=", "fi=", "fe=", "cfi=", "cfl=")):
                continue
            if line.startswith(("ob=", "cob=")):
                continue
            if line.startswith("calls="):
                pending_call = (callee, int(line[6:].split()[0]))
                continue
            if line.startswith("summary:") or line.startswith("totals:"):
                total = max(total, int(line.split()[1]))
                continue
            if line[0] in "0123456789+-*":
                parts = line.split()
                ir = int(parts[1]) if len(parts) > 1 else 0
                if pending_call is not None:
                    callee_name, count = pending_call
                    called_ir[fn] += ir
                    calls[callee_name] += count
                    pending_call = None
                else:
                    self_ir[fn] += ir
    return self_ir, called_ir, calls, total


def main():
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    self_ir, called_ir, calls, total = parse(sys.argv[1])
    print(f"{'function':<34} {'calls':>8} {'self Ir':>14} {'incl. Ir':>14} {'Ir per call':>13}")
    for case in sys.argv[2:]:
        label, _, pattern = case.partition("=")
        rx = re.compile(pattern)
        matched = [n for n in set(self_ir) | set(called_ir) if rx.search(n)]
        s = sum(self_ir[n] for n in matched)
        inc = s + sum(called_ir[n] for n in matched)
        c = sum(calls[n] for n in matched)
        per = f"{inc // c:,}" if c else "-"
        print(f"{label:<34} {c:>8,} {s:>14,} {inc:>14,} {per:>13}")
    print(f"{'(everything collected)':<34} {'':>8} {'':>14} {total:>14,}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
