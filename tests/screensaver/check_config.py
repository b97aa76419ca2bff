#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks what xscreensaver and other screensaver frameworks read of ours:
each packaging/linux/<program>.xml follows the rules of xscreensaver's DTD
for settings descriptions (the elements, their order, the attributes each
must and may have), and every option it or the program's screensaver
desktop entry gives is one the program's --help lists.

    check_config.py <bin-dir> <repository root>
"""
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

# element: (required attributes, allowed attributes)
ATTRS = {
    "screensaver": ({"name", "_label"}, set()),
    "command": (set(), {"arg"}),
    "boolean": ({"_label"}, {"id", "arg-set", "arg-unset"}),
    "number": ({"type", "_label", "arg", "low", "high", "default"}, {"id", "_low-label", "_high-label", "convert"}),
    "select": (set(), {"id"}),
    "option": ({"_label"}, {"id", "arg-set"}),
    "string": ({"_label", "arg"}, {"id"}),
    "file": ({"_label", "arg"}, {"id"}),
    "_description": (set(), set()),
}
WIDGETS = {"boolean", "number", "select", "string", "file", "hgroup", "vgroup"}


def dtd_problems(root):
    problems = []
    if root.tag != "screensaver":
        return [f"the root element is <{root.tag}>, not <screensaver>"]
    ids = set()
    for e in root.iter():
        if e.tag not in ATTRS and e.tag not in ("hgroup", "vgroup"):
            problems.append(f"<{e.tag}> is no element of the format")
            continue
        required, allowed = ATTRS.get(e.tag, (set(), set()))
        for a in required - set(e.attrib):
            problems.append(f"<{e.tag}> lacks {a}")
        for a in set(e.attrib) - required - allowed:
            problems.append(f"<{e.tag}> has no attribute {a}")
        if "id" in e.attrib:
            if e.attrib["id"] in ids:
                problems.append(f"id {e.attrib['id']} twice")
            ids.add(e.attrib["id"])
        if e.tag == "boolean" and not ({"arg-set", "arg-unset"} & set(e.attrib)):
            problems.append("<boolean> needs arg-set or arg-unset")
        if e.tag in ("number", "string", "file") and not e.attrib.get("arg", "").endswith(" %"):
            problems.append(f"<{e.tag}> arg must end with ' %'")
        if e.tag == "number" and e.attrib.get("type") not in ("slider", "spinbutton"):
            problems.append("<number> type is slider or spinbutton")
        if e.tag == "number" and e.attrib.get("convert", "invert") != "invert":
            problems.append("<number> convert is invert")
        if e.tag == "select" and (len(e) == 0 or any(o.tag != "option" for o in e)):
            problems.append("<select> holds one or more <option> only")
        if e.tag in ("command", "boolean", "number", "option", "string", "file") and len(e):
            problems.append(f"<{e.tag}> is empty")
    # (command|fullcommand)*, widgets*, _description: in that order, one description last.
    order = [c.tag for c in root]
    stage = 0
    for tag in order:
        want = 0 if tag in ("command", "fullcommand") else 1 if tag in WIDGETS else 2 if tag == "_description" else 3
        if want < stage or want == 3:
            problems.append(f"<{tag}> out of order")
        stage = max(stage, want)
    if order.count("_description") != 1 or order[-1:] != ["_description"]:
        problems.append("exactly one <_description>, last")
    return problems


def words(arg):
    return [w for w in arg.replace("%", "").split() if w.startswith("-")]


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 0 if len(argv) == 2 and argv[1] in ("-h", "--help") else 2
    bin_dir, root_dir = argv[1], argv[2]
    failures = 0
    for program in ("fumes", "twistview"):
        helped = subprocess.run([f"{bin_dir}/{program}", "--help"], capture_output=True, text=True, check=True).stdout
        known = set(re.findall(r"^  (-[a-z-]+)", helped, re.M))
        tree = ET.parse(f"{root_dir}/packaging/linux/{program}.xml").getroot()
        problems = dtd_problems(tree)
        if tree.get("name") != program:
            problems.append(f"named {tree.get('name')}, not {program}")
        args = [e.attrib[a] for e in tree.iter() for a in ("arg", "arg-set", "arg-unset") if a in e.attrib]
        desktop = open(f"{root_dir}/packaging/linux/screensavers/{program}.desktop").read()
        exec_line = re.search(r"^Exec=(.*)$", desktop, re.M)
        if not re.search(rf"^TryExec={program}$", desktop, re.M) or not exec_line:
            problems.append("the desktop entry lacks TryExec or Exec")
        else:
            args.append(exec_line.group(1).split(None, 1)[1] if " " in exec_line.group(1) else "")
        for word in (w for a in args for w in words(a)):
            # One dash or two, as the program reads them.
            if "-" + word.lstrip("-") not in known:
                problems.append(f"{word} is no option of {program} --help")
        for p in problems:
            print(f"FAILED: {program}: {p}")
        failures += len(problems)
        print(f"{program}: {'ok' if not problems else 'bad'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
