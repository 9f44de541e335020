"""Reads the files the tag editor test wrote with mutagen and compares the tags
with the manifest that test left next to them (kind, file, key, expected text,
tab-separated, in the system's code page). Exits 1 on any difference."""
import pathlib
import sys

import mutagen.asf
import mutagen.id3

folder = pathlib.Path(sys.argv[1])
lines = (folder / "manifest.txt").read_bytes().decode("cp932").splitlines()
problems = []
checked = 0
for line in lines:
    if not line.strip():
        continue
    kind, name, key, expected = line.split("\t")
    path = folder / name
    if kind == "mp3":
        frame = mutagen.id3.ID3(path, translate=False).get(key)
        # Single-byte texts are stored in the system's code page.
        got = None if frame is None else str(frame.text[0]).encode("latin-1").decode("cp932")
    else:
        values = mutagen.asf.ASF(path).tags.get(key, [])
        got = str(values[0].value) if values else None
    checked += 1
    if got != expected:
        problems.append(f"{name} {key}: expected {expected!r}, mutagen read {got!r}")
for problem in problems:
    print(problem)
print(f"{checked} values checked, {len(problems)} differences")
sys.exit(1 if problems or checked == 0 else 0)
