"""Solves the constraint systems of a text file with the independent peer solver.

Input, per system: "system <variables>", then one line per constraint:
"c <relation -1|0|1> <strength or R> <constant> <count> (<variable> <coefficient>)*",
meaning  sum(coefficient * variable) + constant  relation  0; then "end".
Output: one line per system with the variables' values, or "failed" where
the peer gave up (it aborts its process on some systems of widely spread
strengths, so each system is solved in a child process).
"""
import os
import sys

import kiwisolver as kiwi


def solve(n, rows):
    xs = [kiwi.Variable("x%d" % i) for i in range(n)]
    solver = kiwi.Solver()
    for row in rows:
        parts = row.split()
        relation, strength, constant, count = int(parts[1]), parts[2], float(parts[3]), int(parts[4])
        expr = constant
        for k in range(count):
            expr = expr + float(parts[6 + 2 * k]) * xs[int(parts[5 + 2 * k])]
        c = (expr == 0) if relation == 0 else (expr >= 0) if relation == 1 else (expr <= 0)
        solver.addConstraint(c | (kiwi.strength.required if strength == "R" else float(strength)))
    solver.updateVariables()
    return " ".join(repr(x.value()) for x in xs)


def solve_apart(n, rows):
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read)
        try:
            os.write(write, solve(n, rows).encode())
        finally:
            os._exit(0)
    os.close(write)
    chunks = []
    while True:
        chunk = os.read(read, 65536)
        if not chunk:
            break
        chunks.append(chunk)
    os.close(read)
    _, status = os.waitpid(pid, 0)
    text = b"".join(chunks).decode()
    return text if status == 0 and text else "failed"


def main(path_in, path_out):
    out = []
    with open(path_in) as f:
        lines = iter(f.read().split("\n"))
    for line in lines:
        if not line.startswith("system"):
            continue
        rows = []
        for row in lines:
            if row == "end":
                break
            rows.append(row)
        out.append(solve_apart(int(line.split()[1]), rows))
    with open(path_out, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
