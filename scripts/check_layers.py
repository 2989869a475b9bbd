#!/bin/sh
# Runs under python3 whether it is started as a script, by sh or by python3.
''''exec python3 "$0" "$@" # '''
# Fails on an #include that points up or sideways, by the layer table in docs/contributing.md, and on a folder
# of sources without a row of its own (it would pass under its parent's row unseen).
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
table = (root / "docs" / "contributing.md").read_text(encoding="utf-8")

# Rows of the table "| `folder` | layer | `may`, `include` |" between the two layer-table markers.
section = table.split("<!-- layers -->")[1]
allowed = {}
for line in section.splitlines():
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) != 3 or not cells[0].startswith("`"):
        continue
    folder = cells[0].strip("`")
    allowed[folder] = {f.strip().strip("`") for f in cells[2].split(",") if f.strip().startswith("`")}


def owner(path):
    """The longest folder of the table that holds `path` (a path relative to the root)."""
    best = None
    for folder in allowed:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
faults = []
for source in sorted(root.rglob("*")):
    if source.suffix not in (".h", ".cpp") or not source.is_file():
        continue
    relative = source.relative_to(root).as_posix()
    if relative.split("/")[0].startswith("build"):
        continue
    here = owner(relative)
    if here is None:
        faults.append(f"{relative}: its folder is not in the layer table")
        continue
    if "*" in allowed[here]:
        continue
    folder = relative.rpartition("/")[0]
    fault = f"{folder}: a folder of sources without a row of its own in the layer table"
    if folder != here and fault not in faults:
        faults.append(fault)
    for target in include.findall(source.read_text(encoding="utf-8")):
        if "/" not in target:
            continue  # a header beside the source
        there = owner(target)
        if there is None or there == here or there in allowed[here]:
            continue
        faults.append(f"{relative}: includes {target} ({there}), which {here} may not include")

for fault in faults:
    print(fault)
print(f"layer check: {len(faults)} faults" if faults else "layer check: every include points down")
sys.exit(1 if faults else 0)
