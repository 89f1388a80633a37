#!/usr/bin/env python3
"""Checks the includes of src/: the direction between folders and cycles.

Every #include "..." in a .cpp or .h under src/ is read as a path relative to
src/ ("folder/file.h"); a name without a folder ("file.h", "./x.h", "../x.h")
is relative to the including file. A file's folder is its first path
component under src/. Reports, one line each, naming file:line:
  - an include of a folder its own folder may not include (ALLOWED below),
    generated headers ("archive/texts.h", not under src/) counted the same way;
  - an include of platform/win32/ from outside WIN32_USERS;
  - a file or folder that is not in ALLOWED;
  - a cycle of includes between files under src/;
  - a cycle between folders, from the includes as they are.
Exits 1 when it reports anything.
"""

import argparse
import os
import re
import sys
from collections import defaultdict
from pathlib import Path

# Each folder and the folders it may include, lowest first. A folder may
# always include itself.
ALLOWED = {
    "base": [],
    "platform": ["base"],
    "fileio": ["base", "platform"],
    "engine": ["base", "platform", "fileio"],
    "archive": ["base", "platform", "fileio", "engine"],
    "replace": ["base", "platform", "fileio", "engine", "archive"],
    "wiring": ["base", "platform", "fileio", "engine", "archive", "replace"],
    "authoring": ["base", "platform", "fileio", "engine", "archive"],
    "ui": ["base", "platform", "fileio", "engine", "archive", "replace", "wiring"],
    "tools": ["base", "platform", "fileio", "engine", "archive", "replace", "wiring", "authoring"],
}

# Only these folders may include the Windows headers of platform.
WIN32_DIR = "platform/win32/"
WIN32_USERS = ("platform", "ui")

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def folder_of(rel):
    parts = rel.split("/")
    return parts[0] if len(parts) > 1 else None


def resolve(including, name):
    """The src-relative path an include names, or None when it leaves src/."""
    if "/" not in name or name.startswith(("./", "../")):
        name = os.path.join(os.path.dirname(including), name)
    path = os.path.normpath(name).replace(os.sep, "/")
    return None if path == ".." or path.startswith("../") else path


def scan(src):
    """[(file, line, include as written, resolved or None)] for every file."""
    includes = []
    files = sorted(
        p.relative_to(src).as_posix()
        for p in src.rglob("*")
        if p.is_file() and p.suffix in (".cpp", ".h")
    )
    for rel in files:
        text = (src / rel).read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            m = INCLUDE.match(line)
            if m:
                includes.append((rel, number, m.group(1), resolve(rel, m.group(1))))
    return files, includes


def direction_problems(files, includes):
    problems = []
    for rel in files:
        if folder_of(rel) is None:
            problems.append((rel, 1, "a file outside the folders of src/"))
        elif folder_of(rel) not in ALLOWED:
            problems.append((rel, 1, f"{folder_of(rel)} is not a folder in the table of tools/lint.py"))
    for rel, line, name, target in includes:
        folder = folder_of(rel)
        if folder not in ALLOWED:
            continue
        if target is None:
            problems.append((rel, line, f"include {name} leaves src/"))
            continue
        to = folder_of(target)
        if to is None or to not in ALLOWED:
            problems.append((rel, line, f"include {name} is in no folder of the table of tools/lint.py"))
        elif to != folder and to not in ALLOWED[folder]:
            if folder in ALLOWED[to]:
                why = f"{folder} sits below {to}"
            else:
                why = f"{folder} and {to} are side by side"
            allowed = ", ".join(ALLOWED[folder]) or "nothing"
            problems.append((rel, line, f"{folder} may not include {name} ({why}; it may include {allowed})"))
        if target.startswith(WIN32_DIR) and folder not in WIN32_USERS:
            problems.append((rel, line, f"{folder} may not include {name} (only {' and '.join(WIN32_USERS)} may include {WIN32_DIR})"))
    return problems


def cycles(graph):
    """For each strongly connected component that has a cycle: one shortest
    cycle (a list of nodes, the first one repeated at the end) and the
    component, in a stable order."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []

    def connect(v):  # Tarjan, iterative over each node's edges
        work = [(v, iter(sorted(graph.get(v, ()))))]
        index[v] = low[v] = len(index)
        stack.append(v)
        on_stack.add(v)
        while work:
            node, edges = work[-1]
            for w in edges:
                if w not in index:
                    index[w] = low[w] = len(index)
                    stack.append(w)
                    on_stack.add(w)
                    work.append((w, iter(sorted(graph.get(w, ())))))
                    break
                if w in on_stack:
                    low[node] = min(low[node], index[w])
            else:
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    component = set()
                    while True:
                        w = stack.pop()
                        on_stack.discard(w)
                        component.add(w)
                        if w == node:
                            break
                    if len(component) > 1 or node in graph.get(node, ()):
                        found.append((shortest_cycle(graph, component), sorted(component)))

    for v in sorted(graph):
        if v not in index:
            connect(v)
    return sorted(found)


def shortest_cycle(graph, component):
    start = min(component)
    came_from, frontier = {}, [start]
    while frontier:
        following = []
        for v in frontier:
            for w in sorted(graph.get(v, ())):
                if w == start:
                    path = [v]
                    while path[-1] != start:
                        path.append(came_from[path[-1]])
                    return list(reversed(path)) + [start]
                if w in component and w not in came_from:
                    came_from[w] = v
                    following.append(w)
        frontier = following
    raise AssertionError("a component without a cycle")


def cycle_problems(files, includes, shown):
    problems = []
    known = set(files)
    graph, where = defaultdict(set), {}
    folders, folder_where = defaultdict(set), {}
    for rel, line, name, target in includes:
        if target in known:
            graph[rel].add(target)
            where.setdefault((rel, target), (rel, line))
        a, b = folder_of(rel), folder_of(target or "")
        if a in ALLOWED and b in ALLOWED and a != b:
            folders[a].add(b)
            folder_where.setdefault((a, b), (rel, line, name))
    def also(cycle, component):
        rest = [v for v in component if v not in cycle]
        return f"; also in it: {', '.join(rest)}" if rest else ""

    for cycle, component in cycles(graph):
        rel, line = where[(cycle[0], cycle[1])]
        problems.append((rel, line, "include cycle: " + " -> ".join(cycle) + also(cycle, component)))
    for cycle, component in cycles(folders):
        steps = [folder_where[(a, b)] for a, b in zip(cycle, cycle[1:])]
        rel, line, _ = steps[0]
        others = "; ".join(f"{shown}/{r}:{n} includes {name}" for r, n, name in steps[1:])
        problems.append((rel, line, f"folder cycle: {' -> '.join(cycle)} (then {others}{also(cycle, component)})"))
    return problems


def main():
    repo = Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--src", type=Path, default=repo / "src", help="the source tree (default: %(default)s)")
    args = parser.parse_args()
    src = args.src
    if not src.is_dir():
        print(f"lint: no folder {src}", file=sys.stderr)
        return 2
    shown = os.path.relpath(src)
    if shown.startswith(".."):
        shown = str(src)
    files, includes = scan(src)
    problems = direction_problems(files, includes) + cycle_problems(files, includes, shown)
    for rel, line, message in problems:
        print(f"{shown}/{rel}:{line}: {message}")
    if problems:
        sys.stdout.flush()
        print(f"includes: {len(problems)} problems in {shown}/", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
