#!/usr/bin/env python3
"""Fails when a source file is too long or files include each other in a loop.

    source_shape.py [SRC]        (default: the src/ beside this script's folder)

Prints every file of SRC over 400 lines, and every include cycle between
files, a file being its .h and .cpp together: A includes B when A.h or A.cpp
includes B.h. Exit 1 when it found any, 0 otherwise.
"""
import os
import re
import sys

MAX_LINES = 400
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def includes(src, files):
    """Each file (path without extension) to the files its .h and .cpp include."""
    graph = {os.path.splitext(f)[0]: set() for f in files if f.endswith((".h", ".cpp"))}
    for f in files:
        stem = os.path.splitext(f)[0]
        if stem not in graph:
            continue
        with open(os.path.join(src, f), encoding="utf-8", errors="replace") as text:
            for name in INCLUDE.findall(text.read()):
                # As the compiler looks: beside the file, then from src/.
                for path in (os.path.join(os.path.dirname(f), name), name):
                    target = os.path.splitext(os.path.normpath(path).replace(os.sep, "/"))[0]
                    if target in graph and target != stem:
                        graph[stem].add(target)
                        break
    return graph


def cycles(graph):
    """The strongly connected parts of more than one file (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in sorted(graph[v]):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while not part or part[-1] != v:
                part.append(stack.pop())
                on.discard(part[-1])
            if len(part) > 1:
                found.append(sorted(part))

    for v in sorted(graph):
        if v not in index:
            visit(v)
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    files = sorted(os.path.relpath(os.path.join(d, n), src).replace(os.sep, "/")
                   for d, _, names in os.walk(src) for n in names)
    problems = []
    for f in files:
        with open(os.path.join(src, f), "rb") as text:
            lines = len(text.read().splitlines())
        if lines > MAX_LINES:
            problems.append(f"{f}: {lines} lines, over {MAX_LINES}")
    graph = includes(src, files)
    for part in cycles(graph):
        edges = [f"{a} -> {b}" for a in part for b in sorted(graph[a]) if b in part]
        problems.append(f"include cycle among {', '.join(part)}: {'; '.join(edges)}")
    print("\n".join(problems + [f"source_shape: {len(files)} files, {len(problems)} problem(s)"]))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
