#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Fails when one of our sources, headers, scripts or build files lacks its
licence line (SPDX-License-Identifier) in its first lines.

Build trees, artefacts, packages and installed node modules are not ours and
are not read. Pictures and other data files carry no line; the Debian
copyright file says whose they are.

usage: check_licence.py [repository root]
"""
import os
import re
import sys

TAG = "SPDX-License-Identifier: MIT"
SKIP_DIRS = {".git", "build", "artifacts", "dist", "node_modules", "__pycache__"}
OURS = re.compile(r"\.(cpp|h|rc|sh|py|cmake|desktop|js|mjs|html|6)$")
OURS_BY_NAME = {"CMakeLists.txt", "LumoConfig.cmake.in", "run"}


def ours(folder, name):
    if name == "run":
        return os.path.basename(folder) == ".ci"
    return bool(OURS.search(name)) or name in OURS_BY_NAME


def missing(root):
    for folder, dirs, names in os.walk(root):
        dirs[:] = sorted(d for d in dirs if d not in SKIP_DIRS)
        for name in sorted(names):
            if not ours(folder, name):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                head = [f.readline() for _ in range(3)]
            if not any(TAG in line for line in head):
                yield os.path.relpath(path, root)


def main():
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print("usage: check_licence.py [repository root]")
        return 0
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    bad = list(missing(root))
    for path in bad:
        print(f"no licence line: {path}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
