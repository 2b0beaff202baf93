#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""The include check, run on a small made-up source tree: it passes the tree
as made, and fails naming the file, the line and the include, or the build
call, for each way the tree can leave its table. A check that passes
everything would otherwise go unnoticed.
    include_layers_test.py CHECK_SCRIPT
"""

import subprocess
import sys
import tempfile
from pathlib import Path

CHECK = sys.argv[1]
TABLE = """# Made up

## Libraries and what each may use

| Folder | What it holds | Library | May use |
|---|---|---|---|
| `src/low/` | the bottom | `kestrix_low` | Qt Core |
| `src/high/` | the top | `kestrix_high` | `low`, Qt Widgets |
| `src/main.cpp` | the program | `kestrix` | `high`, `low` |

## Next section

| `src/high/` | a table elsewhere is not read | `kestrix_high` | `low`, `high` |
"""
FILES = {
    "HACKING.md": TABLE,
    "src/CMakeLists.txt": "# kestrix_may_use(TARGET) says ...\nkestrix_may_use(kestrix high low)\n",
    "src/main.cpp": '#include "high/High.h"\n#include "low/Low.h"\n',
    "src/low/CMakeLists.txt": "kestrix_may_use(kestrix_low)\n",
    "src/low/Low.h": "#include <sys/stat.h>\n#include <QString>\n",
    "src/low/Low.cpp": '#include "Low.h"\n#include "low/Low.h"\n',
    "src/high/CMakeLists.txt": "kestrix_may_use(kestrix_high\n  low)\n",
    "src/high/High.h": '#include "low/Low.h"\n',
}


def run(changes):
    with tempfile.TemporaryDirectory() as root:
        for name, text in {**FILES, **changes}.items():
            path = Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            if text is None:
                path.unlink(missing_ok=True)
            else:
                path.write_text(text, encoding="utf-8")
        done = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
        return done.returncode, done.stdout + done.stderr


failures = []


def expect(name, changes, *said):
    code, output = run(changes)
    if said and (code != 1 or not all(part in output for part in said)):
        failures.append(f"{name}: wanted a failure saying {said}, got exit {code}:\n{output}")
    if not said and code != 0:
        failures.append(f"{name}: wanted a pass, got exit {code}:\n{output}")


expect("the tree as made", {})
expect("a wrong-way include", {"src/low/Low.cpp": '#include "Low.h"\n\n  #  include "high/High.h"\n'},
       'src/low/Low.cpp:3: #include "high/High.h": src/low may not use high; it may use no other folder')
expect("an angle-bracket one", {"src/low/Low.h": "#include <high/High.h>\n"},
       "src/low/Low.h:1: #include <high/High.h>")
expect("one that climbs out", {"src/low/Low.cpp": '#include "../high/High.h"\n'},
       'src/low/Low.cpp:1: #include "../high/High.h": climbs out')
expect("a folder with no row", {"src/middle/Middle.h": "\n"}, "src/middle/ has no row")
expect("a row naming no folder", {"HACKING.md": TABLE.replace("`low`, Qt Widgets", "`low`, `lowest`")},
       "may use `lowest`, which is no folder")
expect("a call that names more than the row",
       {"src/high/CMakeLists.txt": "kestrix_may_use(kestrix_high low main)\n"},
       "src/high/CMakeLists.txt:1: kestrix_may_use(kestrix_high): names low, main, the table low")
expect("a library built without a call", {"src/low/CMakeLists.txt": "add_library(kestrix_low)\n"},
       "kestrix_low is built without a kestrix_may_use call")
expect("no table", {"HACKING.md": "# Made up\n"}, "no table under")
narrow = {
    "HACKING.md": TABLE.replace("| `low`, Qt Widgets |", "| `low/Low.h`, Qt Widgets |"),
    "src/high/CMakeLists.txt": "kestrix_may_use(kestrix_high low/Low.h)\n",
    "src/low/Other.h": "\n",
}
expect("a row naming one header, and the code keeping to it", narrow)
expect("another header of a folder whose row names one", {**narrow, "src/high/High.h": '#include "low/Other.h"\n'},
       'src/high/High.h:1: #include "low/Other.h": src/high may not use low; it may use low/Low.h')
expect("a used header reaching beyond it", {**narrow, "src/low/Low.h": '#include "Other.h"\n'},
       'src/high/High.h:1: #include "low/Low.h": it reaches low/Other.h, which src/high may not use')
expect("a row naming a header that is not there",
       {**narrow, "HACKING.md": narrow["HACKING.md"].replace("`low/Low.h`", "`low/Gone.h`")},
       "may use `low/Gone.h`, which is no header of src/")

if failures:
    print("\n\n".join(failures), file=sys.stderr)
    sys.exit(1)
print("the include check passes the made-up tree and names each fault put into it")
