# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""A phone's contacts through Kestrix and back, property by property.

    phone_peer.py PHONE.vcf EXPORT4.vcf EXPORT3.vcf

PHONE.vcf is a file in the style phones write; the exports are its cards
imported into Kestrix and exported again. Debian's python3-vobject reads all
three: every property of each phone card (the photo aside) must stand in
each export, with its value and its types, and the note alone in NOTE.
Exits 1 on any difference.
"""

import sys

import vobject

# Not contact data, or not kept: a photo is dropped with a report.
SKIPPED = {"version", "prodid", "uid", "photo", "rev"}
# Types that say which property, not a variant of it.
QUIET_TYPES = {"pref", "internet", "voice", "jpeg"}


def date_of(line):
    """A date as YYYYMMDD, or --MMDD without a year, whatever the form."""
    value = line.value.replace("-", "")
    omitted = line.params.get("X-APPLE-OMIT-YEAR")
    if len(value) == 4:
        return "--" + value
    if omitted and value.startswith(omitted[0]):
        return "--" + value[4:]
    return value


def properties_of(component):
    found = []
    for name, lines in component.contents.items():
        if name in SKIPPED or name.startswith("x-ablabel"):
            continue
        for line in lines:
            types = {t.lower() for value in line.params.get("TYPE", []) for t in value.split(",")} - QUIET_TYPES
            if name in ("bday", "anniversary"):
                value = date_of(line)
            elif name in ("categories", "nickname") and isinstance(line.value, list):
                value = ",".join(line.value)
            else:
                value = str(line.value)
            found.append((name, value, frozenset(types)))
    return found


def main():
    phone, *exports = sys.argv[1:]
    with open(phone, encoding="utf-8") as stream:
        wanted = list(vobject.readComponents(stream.read()))
    problems, compared = [], 0
    for path in exports:
        with open(path, encoding="utf-8") as stream:
            got = list(vobject.readComponents(stream.read()))
        if len(got) != len(wanted):
            problems.append(f"{path}: {len(got)} cards where the phone had {len(wanted)}")
            continue
        for number, (card, back) in enumerate(zip(wanted, got), 1):
            have = properties_of(back)
            for item in properties_of(card):
                compared += 1
                if item not in have:
                    problems.append(f"{path} card {number}: {item[0].upper()} {item[1]!r} {sorted(item[2])} "
                                    f"missing; has {sorted((n, v) for n, v, _ in have if n == item[0])}")
            notes = [line.value for line in back.contents.get("note", [])]
            if len(notes) > 1:
                problems.append(f"{path} card {number}: {len(notes)} NOTEs")
    for problem in problems:
        print(problem)
    print(f"vobject compared {compared} properties of the phone's cards in {len(exports)} exports, "
          f"{len(problems)} differ")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
