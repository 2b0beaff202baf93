# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""What the Python peer scripts share: the cards Kestrix exported, and how
one reader's view of each export is held against them.

The cards come as JSON, a list of cards, each a list of its first 13 fields.
A script reads each export with its own library into one Reading a card;
compare() finds every field that differs from the card it came from.
"""

import json
from dataclasses import dataclass, field

(COMPANY, CONTACT, ADDRESS, ADDRESS2, CITY, ST, ZIP, PHONE, PHONE2, CELL, FAX, EMAIL, MEMO) = range(13)
ADDRESS_PARTS = ("street", "extended", "city", "region", "code")
# Those a script prints before the count; the rest are only counted.
SHOWN = 20
# The exit status of a script whose reader is not installed.
MISSING = 3


@dataclass
class Reading:
    """One card as a reader saw it; empty where the card has no such value."""
    fn: str = ""
    # The words of N, where the reader gives them.
    name_words: list = None
    # KIND:org, or Apple's X-ABShowAs:COMPANY.
    organisation: bool = False
    org: str = ""
    # box: number; two numbers in one box are joined with " | ", to show.
    phones: dict = field(default_factory=dict)
    email: str = ""
    note: str = ""
    address: list = field(default_factory=lambda: [""] * 5)  # in ADDRESS_PARTS' order


def full_name(card):
    """FN as the export writes it: the contact, else the company, else how
    the contact is reached."""
    if card[CONTACT]:
        return card[CONTACT]
    if card[COMPANY]:
        return card[COMPANY]
    for box in (EMAIL, PHONE, PHONE2, CELL, FAX, ADDRESS, ADDRESS2, CITY, ST, ZIP):
        if card[box].strip():
            return card[box].strip()
    return "(no name)"


def load_cards(path):
    with open(path, encoding="utf-8") as stream:
        return json.load(stream)


def compare(cards, readings, where, problems, knows_labels=True):
    """Appends to `problems` each field of `readings` that differs from
    `cards`; returns how many fields were compared. A reader that does not
    know the second phone's label (`knows_labels` false) holds the work
    phones in order, so a lone second phone stands first."""
    if len(readings) != len(cards):
        problems.append(f"{where}: {len(readings)} cards where {len(cards)} were written")
        return 0
    fields = 0
    for number, (card, reading) in enumerate(zip(cards, readings), 1):
        def check(what, got, wanted):
            nonlocal fields
            fields += 1
            if got != wanted:
                problems.append(f"{where} card {number} {what}: {got!r} where {wanted!r} was written")

        check("FN", reading.fn, full_name(card))
        check("company mark", reading.organisation, not card[CONTACT] and bool(card[COMPANY]))
        if reading.name_words is not None:
            check("N words", sorted(reading.name_words), sorted(card[CONTACT].replace(",", " ").split()))
        check("ORG", reading.org, card[COMPANY])
        wanted = {box: card[box] for box in (PHONE, PHONE2, CELL, FAX) if card[box]}
        if not knows_labels and PHONE2 in wanted and PHONE not in wanted:
            wanted[PHONE] = wanted.pop(PHONE2)
        for box in (PHONE, PHONE2, CELL, FAX):
            check(f"TEL of box {box + 1}", reading.phones.get(box, ""), wanted.get(box, ""))
        check("EMAIL", reading.email, card[EMAIL])
        check("NOTE", reading.note, card[MEMO])
        for name, got, wanted_part in zip(ADDRESS_PARTS, reading.address, card[ADDRESS:ZIP + 1]):
            check(f"ADR {name}", got, wanted_part)
    return fields


def report(reader, problems, fields, cards, also=""):
    """Prints the first differences and the count; the exit status."""
    for problem in problems[:SHOWN]:
        print(problem)
    print(f"{reader} read {2 * len(cards)} cards (4.0 and 3.0), compared {fields} fields, "
          f"{len(problems)} differ{also}")
    return 1 if problems else 0
