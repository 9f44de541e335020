#!/usr/bin/env python3
"""Checks the include rules between the project's folders. Exits 1 and lists the
offending includes when one breaks a rule:

- folder order: every folder includes only folders listed before it in the
  top-level CMakeLists.txt, so the subsystems keep one direction of dependency;
- allow-lists: each folder (or part of one, such as equalizer/dsp) names the folders
  it may include at all, below. A file belongs to the longest folder that holds it;
  an included file likewise, so "equalizer" allows equalizer/*.h but not
  equalizer/ui/*.h. A folder with code must have a list;
- single files: a few files may include a folder their own folder's list leaves
  out (FILE_EXTRAS): in playback/ only the windows built from resource templates,
  which handle their menus' ids, include resources/; the engine does not;
- the top: no folder but app/ includes app/, whatever a list or an extra says, and
  outside app/application_win.* and app's tests no code names `Application&`: the
  application wires its parts together and is handed to none of them."""
import pathlib
import re
import sys

# What each folder may include. Parts of the Equalizer deliverable (dsp, filter)
# use only the equalizer's own headers and the platform layer, so Equalizer.ax
# never depends on the player; nothing below app/ includes app/.
ALLOWED = {
    "platform": {"platform"},
    "resources": {"resources"},
    "equalizer": {"equalizer", "platform"},
    "equalizer/dsp": {"equalizer", "equalizer/dsp", "platform"},
    "equalizer/filter": {"equalizer", "equalizer/dsp", "equalizer/filter", "platform"},
    # The settings record is plain data below the windows that apply and gather their
    # own share of it (the playlist window among them).
    "settings": {"platform", "resources", "equalizer", "settings"},
    "tags": {"platform", "resources", "tags"},
    "playlist": {"platform", "resources", "tags", "settings", "playlist"},
    "playback": {"platform", "equalizer", "tags", "playlist", "settings", "playback"},
    "equalizer/ui": {"platform", "resources", "equalizer", "settings", "playback", "equalizer/ui"},
    "skin": {"platform", "resources", "settings", "playback", "skin"},
    "shell": {"platform", "resources", "tags", "playlist", "settings", "shell"},
    # The program itself, and its tests, which drive the filter as a user's host would.
    "app": {"platform", "resources", "equalizer", "equalizer/dsp", "equalizer/filter", "tags", "playlist",
            "settings", "playback", "equalizer/ui", "skin", "shell", "app"},
    # The soak test drives the built program from outside; it knows only its command ids.
    "tests/soak": {"platform", "resources", "tests/soak"},
}

# Files (by path without the extension, so a header and its source alike) that may
# include folders beyond their folder's list: playback's two windows, dialogs made
# from resource templates (the video view, the filters-in-use list).
FILE_EXTRAS = {
    "playback/video_view_win": {"resources"},
    "playback/filter_list_win": {"resources"},
    # Their tests drive the templates' controls.
    "playback/tests/filter_list_test": {"resources"},
    "playback/tests/video_view_test": {"resources"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
TOP = "app"
# A reference to the whole application, as a parameter or a member.
APPLICATION_REFERENCE = re.compile(r"\bApplication\s*&")
APPLICATION_OWNERS = ("app/application_win.h", "app/application_win.cpp")


def folder_of(path: str, folders):
    best = None
    for folder in folders:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def check(root: pathlib.Path, allowed=ALLOWED, extras=FILE_EXTRAS):
    """Returns (number of ordered folders, list of problems) for the tree at root."""
    cmake = (root / "CMakeLists.txt").read_text()
    block = re.search(r"foreach\(subsystem\s+(.*?)\)", cmake, re.S)
    if not block:
        raise SystemExit("no subsystem list in CMakeLists.txt")
    layers = block.group(1).split()
    rank = {layer: index for index, layer in enumerate(layers)}
    folders = set(layers) | set(allowed)
    problems = []
    for source in sorted(root.rglob("*")):
        if source.suffix not in {".h", ".cpp", ".rc"} or not source.is_file():
            continue
        relative = source.relative_to(root).as_posix()
        if relative.startswith("build") or "/." in "/" + relative:
            continue
        own = folder_of(relative, folders)
        if own is None:
            continue
        own_layer = folder_of(relative, layers)
        if own not in allowed:
            problems.append(f"{relative}: folder {own} has no list of what it may include")
            continue
        permitted = allowed[own] | extras.get(relative.rsplit(".", 1)[0], set())
        text = source.read_text(errors="replace")
        if (relative not in APPLICATION_OWNERS and not relative.startswith(TOP + "/tests/")
                and APPLICATION_REFERENCE.search(text)):
            problems.append(f"{relative}: takes Application& (only the application wires its parts)")
        for target in INCLUDE.findall(text):
            used = folder_of(target, folders)
            if used is None:
                continue
            used_layer = folder_of(target, layers)
            if used_layer == TOP and own_layer != TOP:
                problems.append(f"{relative}: includes {target} (nothing below {TOP} includes it)")
            elif own_layer is not None and used_layer is not None and rank[used_layer] > rank[own_layer]:
                problems.append(f"{relative}: includes {target} ({used_layer} comes after {own_layer})")
            elif used not in permitted:
                problems.append(f"{relative}: includes {target} ({own} may not include {used})")
    return len(layers), problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    count, problems = check(root)
    for line in problems:
        print(line)
    print(f"layers: {count} folders, {len(problems)} forbidden includes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
