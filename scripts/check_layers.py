#!/usr/bin/env python3
"""Checks that every folder includes only folders listed before it in the top-level
CMakeLists.txt, so the subsystems keep one direction of dependency. Exits 1 and lists
the offending includes when one points upwards."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
cmake = (root / "CMakeLists.txt").read_text()
block = re.search(r"foreach\(subsystem\s+(.*?)\)", cmake, re.S)
if not block:
    sys.exit("no subsystem list in CMakeLists.txt")
layers = block.group(1).split()
rank = {layer: index for index, layer in enumerate(layers)}


def layer_of(path: str):
    best = None
    for layer in layers:
        if path == layer or path.startswith(layer + "/"):
            if best is None or len(layer) > len(best):
                best = layer
    return best


include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
problems = []
for source in sorted(root.rglob("*")):
    if source.suffix not in {".h", ".cpp", ".rc"} or not source.is_file():
        continue
    relative = source.relative_to(root).as_posix()
    if relative.startswith("build") or "/." in "/" + relative:
        continue
    own = layer_of(relative)
    if own is None:
        continue
    for target in include.findall(source.read_text(errors="replace")):
        used = layer_of(target)
        if used is not None and rank[used] > rank[own]:
            problems.append(f"{relative}: includes {target} ({used} comes after {own})")

for line in problems:
    print(line)
print(f"layers: {len(layers)} folders, {len(problems)} upward includes")
sys.exit(1 if problems else 0)
