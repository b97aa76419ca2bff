#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Links a web program with Asyncify on the functions that can wait, and no others.

Used as the program's linker launcher (cmake/LumoWeb.cmake):
  scripts/web_waits.py [--never-waits PATTERN]... -- em++ ARGS... -o OUT.js

Asyncify must instrument every function that can be on the stack while the
program waits for the browser (its next frame, a timer, a picture decoder),
or the wait corrupts the stack; instrumenting everything makes the code
half as large again. So the program is linked twice. The first link, with
the functions' names kept, tells which imports wait (emcc's own list of
them); from its code the functions that can reach one are found: by direct
calls, and by indirect calls through a function type that some function
that can wait has (WebAssembly traps an indirect call whose type differs,
so no other target is possible). The second link instruments exactly those.
Being computed from the code each time, the list cannot go stale.

The analysis by type is coarse: a pixel kernel called through a pointer of
the same type as a window procedure looks as if it could wait. PATTERNs
(shell-style, on the functions' readable names) name functions known never
to wait; they are left out, and so is what reaches a wait only through them.
A pattern that matches no function fails the link, so that list stays true.

  scripts/web_waits.py --analyse FILE.wat --seeds a,b [--never-waits P]...
prints the functions the analysis finds in a disassembled module (tests).
"""
import argparse
import fnmatch
import os
import re
import shutil
import subprocess
import sys

ESCAPE = re.compile(r"\\([0-9a-f]{2})")
VALUE = re.compile(r"\b(i32|i64|f32|f64|v128)\b")


def readable(name):
    """The name as the compiler wrote it: wasm-dis writes \\28 for '(' and so on."""
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), name)


def parse_module(text):
    """Defined functions (name -> (type, direct callees, types called indirectly)) and the table's functions."""
    types = {}
    for m in re.finditer(r"^ \(type \$(\S+) \(func((?: \(param[^()]*\))*)((?: \(result[^()]*\))*)\)\)", text, re.M):
        types[m.group(1)] = (tuple(VALUE.findall(m.group(2))), tuple(VALUE.findall(m.group(3))))
    funcs = {}
    current = None
    for line in text.split("\n"):
        if line.startswith(" (func $"):
            name = line[len(" (func $"):].split(" ", 1)[0].rstrip(")")
            params = tuple(re.findall(r"\(param \$\S+ (\w+)\)", line))
            results = tuple(VALUE.findall(" ".join(re.findall(r"\(result ([^()]*)\)", line))))
            current = funcs[name] = ((params, results), set(), set())
        elif line.startswith(" (") and not line.startswith(" (func"):
            current = None
        elif current is not None:
            for callee in re.findall(r"\((?:return_)?call \$(\S+)", line):
                current[1].add(callee.rstrip(")"))
            for called in re.findall(r"\((?:return_)?call_indirect(?: \$\S+)? \(type \$(\S+?)\)", line):
                current[2].add(types[called])
    table = set()
    for m in re.finditer(r"^ \(elem [^\n]*", text, re.M):
        table.update(name.rstrip(")") for name in re.findall(r"\$(\S+)", m.group(0)))
    return funcs, table


def can_wait(funcs, table, seeds, never):
    """The defined functions that can be on the stack when one of `seeds` waits; `never` are taken not to."""
    waiting = set(seeds)
    waiting_types = set()
    changed = True
    while changed:
        changed = False
        for name, (signature, callees, indirect) in funcs.items():
            if name in waiting or name in never:
                continue
            if callees & waiting or indirect & waiting_types:
                waiting.add(name)
                changed = True
                if name in table:
                    waiting_types.add(signature)
    return sorted(name for name in waiting if name in funcs)


def never_waiting(funcs, patterns):
    """The functions the patterns name; a pattern that names none is an error."""
    names = {name: readable(name) for name in funcs}
    found = set()
    for pattern in patterns:
        matched = {name for name, text in names.items() if fnmatch.fnmatchcase(text, pattern)}
        if not matched:
            sys.exit(f"web_waits: --never-waits {pattern!r} matches no function: correct or remove it")
        found |= matched
    return found


def one_entry(text):
    """Whether binaryen reads `text` back as one list entry: it splits its lists at commas, then joins the
    pieces again while brackets of any kind are open."""
    nesting = 0
    pieces = text.split(",")
    for i, piece in enumerate(pieces):
        nesting += sum(piece.count(c) for c in "(<[{") - sum(piece.count(c) for c in ")>]}")
        if nesting == 0 and i < len(pieces) - 1:
            return False
    return nesting == 0


def list_entry(name):
    """One line of emcc's -sASYNCIFY_ONLY=@file for the function: its readable name, or where binaryen or
    emcc would misread that (emcc rewrites '.', '#' and '?' there; an operator< unbalances the brackets), the
    name's plain start and a '*', which may name a few more functions too (that costs only their size). A '*'
    comes only last: binaryen 108's matcher fails on a value that ends where a '*' inside a pattern stands."""
    text = readable(name)
    if not re.search(r"[.#?*]", text) and one_entry(text):
        return text
    nesting = end = 0
    for i, c in enumerate(text):
        if c in ",.#?*":
            break
        nesting += (c in "(<[{") - (c in ")>]}")
        if nesting < 0:
            break
        if nesting == 0:
            end = i + 1
    return text[:end] + "*"


def list_entries(waits, funcs):
    """The entries for `waits`, less those binaryen would report unused: it looks exact names up first, then
    credits a function to the first pattern (in sorted order) that matches it, and warns of every pattern
    never credited."""
    entries = sorted({list_entry(name) for name in waits})
    exact = {e for e in entries if not e.endswith("*")}
    patterns = [e for e in entries if e.endswith("*")]
    credited = set()
    for name in funcs:
        text = readable(name)
        if text in exact:
            continue
        for pattern in patterns:
            if text.startswith(pattern[:-1]):
                credited.add(pattern)
                break
    return [e for e in entries if e in exact or e in credited]


def output_of(command):
    for i, arg in enumerate(command):
        if arg == "-o" and i + 1 < len(command):
            return i + 1
    sys.exit("web_waits: the link command has no -o")


def run(command):
    done = subprocess.run(command, capture_output=True, text=True)
    sys.stderr.write(done.stderr)
    if done.returncode != 0:
        sys.stdout.write(done.stdout)
        sys.exit(done.returncode)
    return done


def link(never, command):
    out = output_of(command)
    work = os.path.splitext(command[out])[0] + ".waits"
    os.makedirs(work, exist_ok=True)
    first = list(command)
    first[out] = os.path.join(work, "named.js")
    done = run(first + ["--profiling-funcs", "-sASYNCIFY_IGNORE_INDIRECT=1", "-sASYNCIFY_ADVISE=1"])
    seeds = re.findall(r"^\[asyncify\] (\S+) is an import that can change the state$", done.stdout, re.M)
    if not seeds:
        sys.exit("web_waits: the first link named no import that waits (is -sASYNCIFY on?)")
    disassembler = shutil.which("wasm-dis")
    if disassembler is None:
        sys.exit("web_waits: no wasm-dis (Debian's binaryen, installed with emscripten)")
    text = subprocess.run([disassembler, os.path.join(work, "named.wasm")], check=True, capture_output=True,
                          text=True).stdout
    funcs, table = parse_module(text)
    waits = can_wait(funcs, table, seeds, never_waiting(funcs, never))
    listing = os.path.join(work, "waits.txt")
    with open(listing, "w") as f:
        f.write("".join(entry + "\n" for entry in list_entries(waits, funcs)))
    done = run(command + [f"-sASYNCIFY_ONLY=@{listing}"])
    # A name binaryen cannot find would leave a function that waits uninstrumented.
    stale = [line for line in done.stderr.splitlines() if "Asyncify" in line and "warning" in line]
    if stale:
        sys.exit("web_waits: Asyncify did not find every function listed:\n" + "\n".join(stale))
    sys.stdout.write(done.stdout)
    print(f"web_waits: {len(waits)} of {len(funcs)} functions can wait ({listing})", file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--never-waits", action="append", default=[], metavar="PATTERN")
    parser.add_argument("--analyse", metavar="FILE.wat")
    parser.add_argument("--seeds", default="")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.analyse:
        with open(args.analyse) as f:
            funcs, table = parse_module(f.read())
        for name in can_wait(funcs, table, args.seeds.split(","), never_waiting(funcs, args.never_waits)):
            print(readable(name))
        return
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no link command")
    link(args.never_waits, command)


if __name__ == "__main__":
    main()
