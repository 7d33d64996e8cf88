#!/usr/bin/env python3
"""Figures of the code's shape: test lines against production lines, the program-wide mutable
variables, the definitions of a class outside its folder, the longest function, the public
members of MainForm, the includes that run from a lower module up to app/ (or to the main
window's generated ui_MainForm.h), the includes of a logic folder that break the folders' order,
and the mutation score of a tools/mutate.py result.

    tools/code_figures.py [source tree, default: this checkout] [--mutation results.md]
"""
import argparse
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

def code_lines(text):
    """Lines that hold code: blank lines and whole-line comments do not count."""
    count, in_block = 0, False
    for line in text.splitlines():
        s = line.strip()
        if in_block:
            in_block = "*/" not in s
        elif s.startswith("/*"):
            in_block = "*/" not in s
        elif s and not s.startswith("//"):
            count += 1
    return count


def line_count(paths):
    return sum(code_lines(p.read_text(errors="replace")) for p in paths)


def test_lines(root):
    """Lines of .cpp/.h under tests/ against production lines, whole and per module."""
    tests = root / "tests"
    rows = []
    for module in MODULES:
        prod = line_count(p for p in sources(root) if p.relative_to(root).parts[0] == module)
        test = line_count(p for p in (tests / module).rglob("*") if p.suffix in (".cpp", ".h")) \
            if (tests / module).is_dir() else 0
        rows.append((module, prod, test))
    prod = line_count(sources(root))
    test = line_count(p for p in tests.rglob("*") if p.suffix in (".cpp", ".h"))
    return prod, test, rows


def strip_comments_and_strings(text):
    text = re.sub(r'"(\\.|[^"\\\n])*"', '""', text)
    text = re.sub(r"'(\\.|[^'\\\n])*'", "''", text)
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


DECLARATION = re.compile(r"^\s*(?:static\s+|inline\s+|thread_local\s+)*"
                         r"(?!return\b|using\b|typedef\b|friend\b|delete\b|throw\b|goto\b)"
                         r"[A-Za-z_][\w:<>,\s\*&]*?[\s\*&]([A-Za-z_]\w*)\s*(\[[^\]]*\])*\s*"
                         r"(=[^;]*|\{[^;]*\})?;\s*$")


def mutable_globals(root):
    """Variables that live as long as the program and can change: non-const variables at
    namespace scope (extern declarations in headers, definitions in .cpp files) and non-const
    function statics. A heuristic on formatted code, good enough to count."""
    found = {}  # by name: a header's extern and its definition are one variable
    for path in sources(root):
        text = strip_comments_and_strings(path.read_text(errors="replace"))
        lines = text.splitlines()
        in_function, at_namespace, first_line = False, True, 0
        depth_kinds = []  # per open brace: True when it opened a namespace or extern block
        statement = ""
        for n, line in enumerate(lines, 1):
            stripped = line.strip()
            if stripped and not stripped.startswith("#"):
                if not statement:  # the context is where the statement begins
                    in_function = any(not k for k in depth_kinds)
                    at_namespace = all(depth_kinds)
                    first_line = n
                statement = (statement + " " + stripped).strip()
                if statement.endswith(";") or statement.endswith("{") or statement.endswith("}"):
                    whole = statement
                    statement = ""
                    is_static_local = in_function and re.match(r"static\s", whole)
                    if (is_static_local or at_namespace) and whole.endswith(";") \
                            and "(" not in whole.split("=")[0] \
                            and not re.search(r"\b(const|constexpr|constinit|consteval)\b",
                                              whole.split("=")[0]) \
                            and not re.match(r"(class|struct|enum|union|namespace|using|typedef|"
                                             r"template|friend|return|Q_)", whole):
                        m = DECLARATION.match(whole)
                        if m and (path.suffix == ".cpp" or whole.startswith("extern")):
                            name = f"{path.stem}:{m[1]}" if is_static_local else m[1]
                            found.setdefault(name, f"{path.relative_to(root)}:{first_line} "
                                                   f"{whole[:70]}")
            for ch in line:
                if ch == "{":
                    head = lines[n - 1]
                    depth_kinds.append(bool(re.match(r"\s*(namespace\b|extern\s+\"C\")", head))
                                       and all(depth_kinds))
                elif ch == "}" and depth_kinds:
                    depth_kinds.pop()
    return sorted(found.values())


def class_homes(root):
    """Where each class is declared: the folder of its header."""
    homes = {}
    for path in sources(root):
        if path.suffix != ".h":
            continue
        for m in re.finditer(r"^\s*(?:class|struct)\s+(?:\w+\s+)?([A-Z]\w*)\s*(?:final\s*)?[:{]",
                             path.read_text(errors="replace"), re.M):
            homes.setdefault(m[1], set()).add(path.parent.relative_to(root))
    return homes


def definitions_outside_home(root):
    """Member functions defined in a folder other than the one that declares their class."""
    homes = class_homes(root)
    found = {}
    for path in sources(root):
        if path.suffix != ".cpp":
            continue
        folder = path.parent.relative_to(root)
        for line in path.read_text(errors="replace").splitlines():
            m = re.match(r"^[\w:<>\s\*&]*?\b([A-Z]\w*)::~?\w+\(", line)
            if m and m[1] in homes and folder not in homes[m[1]] and len(homes[m[1]]) == 1:
                found.setdefault(m[1], set()).add(str(folder))
    return found


def generated_ui_includes(root):
    """Includes of the main window's generated form outside app/."""
    found = []
    for path in sources(root):
        if path.relative_to(root).parts[0] == "app":
            continue
        for n, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            if re.match(r'#include\s+"ui_MainForm\.h"', line):
                found.append(f"{path.relative_to(root)}:{n} {line.split()[1]}")
    return found


def mutation_score(results):
    caught = survived = 0
    for line in pathlib.Path(results).read_text().splitlines():
        cells = [c.strip() for c in line.split("|")]
        if len(cells) > 4 and re.match(r"[A-Z]\d\d$", cells[1]):
            caught += cells[4] == "caught"
            survived += cells[4] == "survived"
    return caught, survived


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tree", nargs="?", default=str(pathlib.Path(__file__).parent.parent))
    parser.add_argument("--mutation", help="a results file written by tools/mutate.py --out")
    args = parser.parse_args()
    root = pathlib.Path(args.tree)

    prod, test, rows = test_lines(root)
    print(f"test lines against production lines: {test} / {prod} = {100 * test / prod:.0f} %")
    for module, p, t in rows:
        if p:
            print(f"  {module:10s} {t:6d} / {p:6d} = {100 * t / p:4.0f} %")
    variables = mutable_globals(root)
    print(f"program-wide mutable variables: {len(variables)}")
    for v in variables:
        print("  " + v)
    outside = definitions_outside_home(root)
    print(f"classes with definitions outside their folder: {len(outside)}")
    for name, folders in sorted(outside.items()):
        print(f"  {name}: {', '.join(sorted(folders))}")
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
    generated = generated_ui_includes(root)
    print(f"includes of ui_MainForm.h outside app/: {len(generated)}")
    for g in generated:
        print("  " + g)
    against = includes_against_order(root)
    print(f"includes against the logic folders' order ({' < '.join(LOGIC_ORDER)}): {len(against)}")
    for a in against:
        print("  " + a)
    if args.mutation:
        caught, survived = mutation_score(args.mutation)
        total = caught + survived
        print(f"mutation score: {caught} / {total} caught" + (f" ({100 * caught / total:.0f} %)"
                                                              if total else ""))


if __name__ == "__main__":
    main()
