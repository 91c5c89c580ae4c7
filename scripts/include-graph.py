#!/usr/bin/python3
"""The include graph of src/: circles, upward includes, the largest file and function.

A header and the sources of its folder that define it (the one of the same name, and any that
defines members of its classes) are one unit. A unit depends on the units whose
headers it includes, and a header's unit also on every source that defines members of its
classes or functions of its namespaces, since a header is only whole with its definitions. A
circle is a strongly connected component of more than one unit; its size is counted in files. Layers, top to bottom: src/main.cpp and
src/updater, gui, app, the subsystem folders (playlist, player, link, update, desktop),
platform/qt, platform; an include of a higher layer, or of another subsystem folder, is counted
as upward.

Usage: scripts/include-graph.py [src-folder]
"""
import os
import re
import sys

SUBSYSTEMS = {"playlist", "player", "link", "update", "desktop"}


def layer(path):
    parts = path.split("/")
    if parts[0] in ("main.cpp", "updater"):
        return 6
    if parts[0] == "gui":
        return 5
    if parts[0] == "app":
        return 4
    if parts[0] in SUBSYSTEMS:
        return 3
    if parts[0] == "platform":
        return 2 if len(parts) > 2 and parts[1] == "qt" else 1
    return 0


def folder(path):
    return os.path.dirname(path)


def read(root, path):
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        return f.read()


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    files = []
    for d, _, names in os.walk(root):
        for n in names:
            if n.endswith((".h", ".cpp")):
                files.append(os.path.relpath(os.path.join(d, n), root))
    files.sort()
    text = {f: read(root, f) for f in files}
    declared = {h: set(re.findall(r"^\s*(?:class|struct)\s+(\w+)[^;{]*\{", text[h], re.M))
                for h in files if h.endswith(".h")}

    def defines(c, classes):
        return any(re.search(r"^[\w:<>&*\s]*\b%s::~?\w+\s*\(" % k, text[c], re.M) for k in classes)

    owner = {}
    for c in (f for f in files if f.endswith(".cpp")):
        for h, classes in declared.items():
            if folder(h) == folder(c) and os.path.splitext(h)[0] != os.path.splitext(c)[0] and defines(c, classes):
                owner[c] = os.path.splitext(h)[0]
    unit = lambda f: owner.get(f, os.path.splitext(f)[0])
    units = sorted({unit(f) for f in files})
    members = {u: [f for f in files if unit(f) == u] for u in units}
    edges = {u: set() for u in units}
    includes = []
    for f in files:
        for inc in re.findall(r'^\s*#\s*include\s+"([^"]+)"', text[f], re.M):
            target = inc if inc in text else os.path.normpath(os.path.join(folder(f), inc))
            if target in text:
                if unit(target) != unit(f):
                    edges[unit(f)].add(unit(target))
                includes.append((f, target))
    # a header needs the sources that define what it declares
    for h in (f for f in files if f.endswith(".h")):
        classes = declared[h]
        spaces = set(re.findall(r"^namespace\s+(\w+)\s*\{", text[h], re.M))
        for c in (f for f in files if f.endswith(".cpp")):
            body = text[c]
            if unit(c) == unit(h):
                continue
            names = any(re.search(r"^namespace\s+%s\s*\{" % s, body, re.M) for s in spaces)
            if defines(c, classes) or names:
                edges[unit(h)].add(unit(c))

    # Tarjan's strongly connected components
    index, low, stack, on, circles = {}, {}, [], set(), []
    counter = [0]
    sys.setrecursionlimit(10000)

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in edges[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop()
                on.discard(w)
                comp.append(w)
                if w == v:
                    break
            if len(comp) > 1:
                circles.append(sorted(f for u in comp for f in members[u]))

    for u in units:
        if u not in index:
            visit(u)

    upward = []
    for f, t in includes:
        lf, lt = layer(f), layer(t)
        top_f, top_t = f.split("/")[0], t.split("/")[0]
        if lt > lf or (lf == lt == 3 and top_f != top_t):
            upward.append((f, t))

    if not files:
        sys.exit("no C++ files below %s" % root)
    print("files: %d, includes: %d" % (len(files), len(includes)))
    print("circles: %d" % len(circles))
    for c in circles:
        print("  %d files: %s" % (len(c), " ".join(c)))
    print("upward or sideways includes: %d" % len(upward))
    for f, t in upward:
        print("  %s -> %s" % (f, t))

    sizes = sorted(((sum(1 for l in text[f].splitlines() if l.strip()), f) for f in files), reverse=True)
    print("largest file: %s, %d non-blank lines" % (sizes[0][1], sizes[0][0]))
    # function bodies: a "{" alone at the start of a line up to the "}" that closes it there
    best = (0, "", "")
    for f in files:
        lines = text[f].splitlines()
        for i, l in enumerate(lines):
            if l == "{" and i > 0:
                for j in range(i + 1, len(lines)):
                    if lines[j] == "}" or lines[j].startswith("}"):
                        n = sum(1 for k in range(i - 1, j + 1) if lines[k].strip())
                        if n > best[0]:
                            best = (n, f, lines[i - 1].strip())
                        break
    print("largest function: %s in %s, %d non-blank lines" % (best[2], best[1], best[0]))


if __name__ == "__main__":
    main()
