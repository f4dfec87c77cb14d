"""Runs every example in the README against the installed copy (on PATH, PKG_CONFIG_PATH,
LD_LIBRARY_PATH and PYTHONPATH as run.sh sets them).

Fenced blocks marked cpp, c, python or sh are examples: each runs in a folder of its own and
must succeed; when the next fenced block is marked output, the example must print exactly that.
Blocks marked text (synopses, layouts) and output are not run; any other mark is an error, so
no example can go unrun.
Usage: readme_examples.py README.md SCRATCH_DIR
"""
import os
import re
import subprocess
import sys

RUN = {
    "cpp": ("example.cpp", "c++ -std=c++20 -Wall -Werror example.cpp $(pkg-config --cflags --libs ombrak10) -o example && ./example"),
    "c": ("example.c", "cc -std=c99 -pedantic -Wall -Werror example.c $(pkg-config --cflags --libs ombrak10) -o example && ./example"),
    "python": ("example.py", "/usr/bin/python3 example.py"),
    "sh": ("example.sh", "bash -euo pipefail example.sh"),
}
NOT_RUN = {"text", "output"}


def blocks(markdown):
    """(line, mark, body) for each fenced block."""
    out = []
    pattern = re.compile(r"^```(\S*)[^\n]*\n(.*?)^```\s*$", re.S | re.M)
    for m in pattern.finditer(markdown):
        out.append((markdown.count("\n", 0, m.start()) + 1, m.group(1), m.group(2)))
    return out


def main(readme, scratch):
    found = blocks(open(readme, encoding="utf-8").read())
    failures, ran = [], {k: 0 for k in RUN}
    for i, (line, mark, body) in enumerate(found):
        if mark in NOT_RUN:
            continue
        if mark not in RUN:
            failures.append(f"README.md:{line}: block marked '{mark}' is neither run nor text")
            continue
        expected = None
        if i + 1 < len(found) and found[i + 1][1] == "output":
            expected = found[i + 1][2]
        folder = os.path.join(scratch, f"line{line}")
        os.makedirs(folder)
        name, command = RUN[mark]
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(body)
        p = subprocess.run(["bash", "-c", command], cwd=folder, capture_output=True, text=True)
        ran[mark] += 1
        if p.returncode != 0:
            failures.append(f"README.md:{line}: {mark} example failed ({p.returncode}):\n{p.stdout}{p.stderr}")
        elif expected is not None and p.stdout != expected:
            failures.append(f"README.md:{line}: {mark} example printed\n{p.stdout}\ninstead of\n{expected}")
    missing = [k for k, n in ran.items() if n == 0]
    if missing:
        failures.append("README.md has no example for: " + ", ".join(missing))
    for f in failures:
        print(f, file=sys.stderr)
    print(f"readme: {sum(ran.values())} examples run ({', '.join(f'{k} {n}' for k, n in ran.items())}), {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
