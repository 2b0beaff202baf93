#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""Holds every #include under src/ to the table of what each folder may use
in HACKING.md, and the kestrix_may_use calls of the build to the same table.

The build already refuses a wrong-way include, since each library sees only
the folders its call names; this says which line did it, and that the calls
and the table have not drifted apart. A row may name one header of a folder
("files/FileStatus.h"), not the whole folder; and a header of another folder
reaches no further than the row allows, through what it includes in turn.
Lists every fault, with file and line.
    include_layers.py SOURCE_DIR
"""

import re
import sys
from pathlib import Path

SECTION = "## Libraries and what each may use"
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
MAY_USE_CALL = re.compile(r"^[ \t]*kestrix_may_use\(\s*([^)]*)\)", re.MULTILINE)
SOURCE_SUFFIXES = (".cpp", ".h", ".h.in")


class Row:
    def __init__(self, line, path, libraries, may_use):
        self.line = line
        self.path = path  # "storage" for a folder, "main.cpp" for a file of src/ itself
        self.libraries = libraries
        self.may_use = may_use


def read_table(hacking):
    """The rows of the table under SECTION, in the order written."""
    rows = []
    inside = False
    for number, line in enumerate(hacking.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("## "):
            inside = line.strip() == SECTION
            continue
        if not inside or not line.startswith("|"):
            continue
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if len(cells) != 4 or not cells[0].startswith("`src/"):
            continue  # the heading and the rule under it
        path = cells[0].strip("`")[len("src/") :].rstrip("/")
        rows.append(Row(number, path, re.findall(r"`([^`]+)`", cells[2]), re.findall(r"`([^`]+)`", cells[3])))
    return rows


def may_use(row, named):
    """Whether a file of `row`'s folder may include `named` ("folder/File.h")."""
    folder = named.split("/")[0]
    return folder in row.may_use or named in row.may_use


def allowed(row):
    return ", ".join(row.may_use) or "no other folder"


def project_includes(src, folders):
    """Each source file's includes of project headers, as (line, shown, "folder/File.h"); None for one that climbs out."""
    found = {}
    for path in sorted(src.rglob("*")):
        if not path.is_file() or not path.name.endswith(SOURCE_SUFFIXES):
            continue
        relative = path.relative_to(src)
        own = relative.parts[0] if len(relative.parts) > 1 else ""
        entries = []
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quoted, named = match.group(1) == '"', match.group(2)
            shown = f'"{named}"' if quoted else f"<{named}>"
            parts = named.split("/")
            if ".." in parts:
                entries.append((number, shown, None))
            elif len(parts) == 1:
                if quoted and own:
                    entries.append((number, shown, f"{own}/{named}"))
            elif quoted or parts[0] in folders:
                entries.append((number, shown, named))
        found[relative.as_posix()] = entries
    return found


def reached_from(header, headers):
    """Every project header `header` includes, and those include, in turn."""
    seen = []
    todo = [header]
    while todo:
        for _, _, named in headers.get(todo.pop(), []):
            if named is not None and named not in seen and named != header:
                seen.append(named)
                todo.append(named)
    return seen


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path.cwd()
    src = root / "src"
    hacking = root / "HACKING.md"
    faults = []

    if not hacking.is_file():
        print(f"FAIL: {hacking} is missing; it holds the table of what each folder may use", file=sys.stderr)
        return 1
    rows = read_table(hacking)
    if not rows:
        print(f'FAIL: HACKING.md has no table under "{SECTION}"', file=sys.stderr)
        return 1
    by_path = {row.path: row for row in rows}
    folders = sorted(entry.name for entry in src.iterdir() if entry.is_dir())

    # The table and the folders: one row for each, and it names only folders.
    for folder in folders:
        if folder not in by_path:
            faults.append(f"src/{folder}/ has no row in HACKING.md's table")
    for row in rows:
        if not (src / row.path).exists():
            faults.append(f"HACKING.md:{row.line}: src/{row.path} does not exist")
        for used in row.may_use:
            if "/" in used and not (src / used).is_file():
                faults.append(f"HACKING.md:{row.line}: src/{row.path} may use `{used}`, which is no header of src/")
            elif "/" not in used and used not in folders:
                faults.append(f"HACKING.md:{row.line}: src/{row.path} may use `{used}`, which is no folder of src/")

    # The code: each include names its own folder or one its row names, and
    # what the included header includes in turn is allowed too.
    headers = project_includes(src, folders)
    files = 0
    includes = 0
    for path in sorted(src.rglob("*")):
        if not path.is_file() or not path.name.endswith(SOURCE_SUFFIXES):
            continue
        relative = path.relative_to(src)
        own = relative.parts[0] if len(relative.parts) > 1 else relative.name
        row = by_path.get(own)
        if row is None:
            faults.append(f"src/{relative} has no row in HACKING.md's table")
            continue
        files += 1
        for number, shown, named in headers.get(relative.as_posix(), []):
            where = f"src/{relative}:{number}: #include {shown}"
            if named is None:
                faults.append(f"{where}: climbs out of its folder; name the folder instead")
                continue
            folder = named.split("/")[0]
            if folder == own:
                continue
            includes += 1
            if folder not in folders:
                faults.append(f"{where}: {folder} is no folder of src/")
            elif not may_use(row, named):
                faults.append(f"{where}: src/{row.path} may not use {folder}; it may use {allowed(row)}")
            else:
                for reached in reached_from(named, headers):
                    if reached.split("/")[0] != own and not may_use(row, reached):
                        faults.append(f"{where}: it reaches {reached}, which src/{row.path} may not use")
                        break

    # The build: each library's kestrix_may_use call names what its row does.
    called = set()
    for cmake in sorted(src.rglob("CMakeLists.txt")):
        text = cmake.read_text(encoding="utf-8")
        for call in MAY_USE_CALL.finditer(text):
            number = text.count("\n", 0, call.start()) + 1
            target, *used = call.group(1).split()
            where = f"{cmake.relative_to(root)}:{number}: kestrix_may_use({target})"
            row = next((row for row in rows if target in row.libraries), None)
            if row is None:
                faults.append(f"{where}: no row of HACKING.md's table names {target}")
                continue
            called.add(target)
            folder = cmake.parent.relative_to(src).as_posix()
            if (folder != ".") != (src / row.path).is_dir() or (folder != "." and folder != row.path):
                faults.append(f"{where}: the table has {target} in src/{row.path}")
            if sorted(used) != sorted(row.may_use):
                faults.append(
                    f"{where}: names {', '.join(used) or 'nothing'}, the table {', '.join(row.may_use) or 'nothing'}"
                )
    for row in rows:
        for library in row.libraries:
            if library not in called:
                faults.append(f"HACKING.md:{row.line}: {library} is built without a kestrix_may_use call")

    if faults:
        print(f"FAIL: {len(faults)} includes or build calls do not keep to HACKING.md's table:", file=sys.stderr)
        for fault in faults:
            print(f"  {fault}", file=sys.stderr)
        return 1
    print(f"all {includes} includes of another folder in {files} files under src/, and the build, keep to the table")
    return 0


if __name__ == "__main__":
    sys.exit(main())
