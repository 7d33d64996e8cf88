#!/usr/bin/env python3
"""Figures of the code's shape: the longest function, the public members of MainForm, the
includes that run from a lower module up to app/, and the includes of a logic folder that break
the folders' order.

    tools/code_figures.py [source tree, default: this checkout]
"""
import pathlib
import re
import sys

MODULES = ["common", "app", "widgets", "bus", "measure", "settings", "condition", "terminal",
           "platform"]
# The logic folders from the bottom up (README, "Where code goes"): each includes only folders
# before it. Windows (app/, widgets/, a module's ui/) stand above them all.
LOGIC_ORDER = ["common", "platform", "bus", "measure", "condition", "settings", "terminal"]


def sources(root):
    for module in MODULES:
        folder = root / module
        if folder.is_dir():
            yield from sorted(p for p in folder.rglob("*") if p.suffix in (".cpp", ".h"))


def functions(path):
    """Function bodies that open at the end of an unindented line and close with a '}' at
    column 0, as the formatter writes them; yields (lines, name)."""
    lines = path.read_text(errors="replace").splitlines()
    start = None
    for i, line in enumerate(lines):
        if start is None:
            if line and not line[0].isspace() and line.rstrip().endswith("{") and "(" in line \
                    and not re.match(r"(namespace|class|struct|enum|extern)\b", line):
                start = i
                # A one-line body opens and closes here.
                continue
        elif line.startswith("}"):
            name = re.sub(r"\(.*", "", lines[start]).split()[-1]
            yield i - start + 1, f"{path.name}:{start + 1} {name}"
            start = None


def public_members(root):
    header = root / "app" / "MainForm.h"
    text = header.read_text()
    body = text[text.index("class MainForm"):]
    count, section, depth = 0, "private", 0
    for line in body.splitlines()[1:]:
        stripped = line.strip()
        if depth == 0 and re.match(r"(public|protected|private)( slots)?:|signals:", stripped):
            section = stripped.split(":")[0].split()[0]
            continue
        if stripped.startswith("};") and depth == 0:
            break
        depth += line.count("{") - line.count("}")
        if section == "public" and depth <= 1 and stripped.endswith(";") and \
                not stripped.startswith("//") and not stripped.startswith("}"):
            count += 1
    return count


def is_window(path):
    """The build's rule: the folder decides; app/, widgets/ and a module's ui/ hold windows."""
    return re.match(r"(app|widgets)/|[a-z]+/ui/", path) is not None


def upward_includes(root):
    found = []
    for path in sources(root):
        module = path.relative_to(root).parts[0]
        if module == "app":
            continue
        for n, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            if re.match(r'#include\s+"app/', line):
                found.append(f"{path.relative_to(root)}:{n} {line.split()[1]}")
    return found


def includes_against_order(root):
    found = []
    for rank, module in enumerate(LOGIC_ORDER):
        for path in sources(root):
            relative = path.relative_to(root)
            if relative.parts[0] != module or is_window(str(relative)):
                continue
            for n, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                target = re.match(r'#include\s+"([A-Za-z_]+)/', line)
                if target and target[1] != module and (
                        target[1] not in LOGIC_ORDER or LOGIC_ORDER.index(target[1]) > rank):
                    found.append(f"{relative}:{n} {line.split()[1]}")
    return found


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    longest = sorted((f for p in sources(root) if p.suffix == ".cpp" for f in functions(p)),
                     reverse=True)[:3]
    print("longest functions:")
    for lines, name in longest:
        print(f"  {lines:4d} lines  {name}")
    print(f"public members of MainForm: {public_members(root)}")
    upward = upward_includes(root)
    windows = [u for u in upward if is_window(u.split(":")[0])]
    print(f"includes from a lower module up to app/: {len(upward)}"
          f" ({len(windows)} in window or handler files, {len(upward) - len(windows)} in plain logic)")
    for u in upward:
        print("  " + u)
    against = includes_against_order(root)
    print(f"includes against the logic folders' order ({' < '.join(LOGIC_ORDER)}): {len(against)}")
    for a in against:
        print("  " + a)


if __name__ == "__main__":
    main()
