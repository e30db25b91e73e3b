#!/usr/bin/env python3
"""Counts the #include arrows of src/ and tools/ that run from a lower floor to a higher one.

Usage: scripts/include-arrows.py [ROOT]   (default: this checkout)

Each quoted #include is resolved to the file it names (beside the including file, then from
src/, tools/ and tests/support/) and both ends are put on a floor by the order below, lowest
first. An arrow to a higher floor is printed with the reason its include line gives in a
trailing comment; arrows within a floor are not counted.
"""
import os
import re
import sys

# Lowest first: what every layer reads, the stored forms, the subsystems (an effect draws a
# scene and a scene draws with the render's buffers, so render/ and scene/ share a floor), the
# timeline that drives them, the Demo that gathers them all, the player, then the tools from
# the files they read to the commands, and the support that builds test assets.
FLOORS = [
    ["src/base"],
    ["src/serialization"],
    ["src/audio"],
    ["src/render", "src/scene"],
    ["src/timeline"],
    ["src/demo"],
    ["src/player"],
    ["tools/common"],
    ["tools/offscreen"],
    ["tools/video", "tools/preview"],
    ["tools/demotool"],
    ["support"],
]

ROOT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"\s*(?://\s*(.*))?$')


def floor_of(path):
    best = None
    for level, folders in enumerate(FLOORS):
        for folder in folders:
            if path == folder or path.startswith(folder + "/"):
                if best is None or len(folder) > best[1]:
                    best = (level, len(folder))
    return None if best is None else best[0]


def resolve(including, name):
    for base in (os.path.dirname(including), "src", "tools", "support", "tests/support"):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(os.path.join(ROOT, candidate)):
            return candidate
    return None


arrows = []
for top in ("src", "tools", "support"):
    for folder, _, files in os.walk(os.path.join(ROOT, top)):
        for file in sorted(files):
            if not file.endswith((".h", ".cpp")):
                continue
            source = os.path.relpath(os.path.join(folder, file), ROOT)
            with open(os.path.join(ROOT, source), encoding="utf-8") as f:
                lines = f.read().splitlines()
            for number, line in enumerate(lines):
                match = INCLUDE.match(line)
                target = match and resolve(source, match.group(1))
                if not target:
                    continue
                low, high = floor_of(os.path.dirname(source)), floor_of(os.path.dirname(target))
                if low is not None and high is not None and low < high:
                    arrows.append((source, number + 1, target, match.group(2) or "no reason given"))

pairs = sorted({(os.path.dirname(s), os.path.dirname(t)) for s, _, t, _ in arrows})
for source, number, target, why in sorted(arrows):
    print(f"{source}:{number} -> {target}: {why}")
print(f"{len(arrows)} upward include lines, {len(pairs)} upward folder arrows:")
for low, high in pairs:
    print(f"  {low} -> {high}")
