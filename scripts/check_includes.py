#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Fails when our sources include each other in a circle.

Reads the `#include "..."` lines of graphics/, fumes/, twistview/, platform/,
tests/ and bench/. A .cpp and the .h of the same name are one node, so
"X.cpp includes Y.h and Y.cpp includes X.h" is a circle. Every circle is
printed with the files on it; the exit status is 1 if there is any.

usage: check_includes.py [repository root]
"""
import os
import re
import sys

AREAS = ["graphics", "fumes", "twistview", "platform", "tests", "bench"]
# Where a quoted include is looked for after the including file's folder:
# the include directories the build gives.
ROOTS = ["graphics", "platform/include", "platform", "fumes", "twistview", "tests", "bench"]

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def node_of(path):
    return os.path.splitext(path)[0]


def sources(root):
    for area in AREAS:
        for folder, _, names in os.walk(os.path.join(root, area)):
            for name in sorted(names):
                if name.endswith((".cpp", ".h")):
                    yield os.path.relpath(os.path.join(folder, name), root)


def resolve(root, including, target):
    for base in [os.path.dirname(including)] + ROOTS:
        candidate = os.path.normpath(os.path.join(base, target))
        if os.path.isfile(os.path.join(root, candidate)):
            return candidate
    return None  # a generated or outside header


def graph(root):
    edges = {}
    for path in sources(root):
        source = node_of(path)
        edges.setdefault(source, {})
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for line in f:
                match = INCLUDE.match(line)
                if not match:
                    continue
                found = resolve(root, path, match.group(1))
                if found is None:
                    continue
                target = node_of(found)
                if target == source:
                    continue
                edges[source].setdefault(target, path + " -> " + found)
    return edges


def circles(edges):
    """Strongly connected components of more than one node (Tarjan)."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = [0]

    def visit(start):
        work = [(start, iter(sorted(edges.get(start, {}))))]
        index[start] = low[start] = counter[0]
        counter[0] += 1
        stack.append(start)
        on_stack.add(start)
        while work:
            node, children = work[-1]
            advanced = False
            for child in children:
                if child not in index:
                    index[child] = low[child] = counter[0]
                    counter[0] += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(edges.get(child, {})))))
                    advanced = True
                    break
                if child in on_stack:
                    low[node] = min(low[node], index[child])
            if advanced:
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))

    for node in sorted(edges):
        if node not in index:
            visit(node)
    return found


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print("usage: check_includes.py [repository root]")
        return 0
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    edges = graph(root)
    found = circles(edges)
    for component in found:
        members = set(component)
        print("include circle among: " + ", ".join(component))
        for node in component:
            for target, how in sorted(edges[node].items()):
                if target in members:
                    print("    " + how)
    if found:
        print(f"check_includes: {len(found)} circle(s)")
        return 1
    print(f"check_includes: no circles among {len(edges)} files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
