# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""A second opinion on Kestrix's vCards from an independent reader and writer.

    vobject_peer.py CARDS.json EXPORT4.vcf EXPORT3.vcf WRITTEN.vcf

CARDS.json holds the cards (see peer_cards.py). EXPORT4.vcf and EXPORT3.vcf
are those cards as Kestrix exported them (vCard 4.0 and 3.0): vobject reads
every card, and FN, N, ORG, TEL, EMAIL, NOTE and ADR must hold the fields, a
company's own card marked as one. Then vobject writes the same cards to
WRITTEN.vcf, with the names it read from the 3.0 export, for Kestrix to read
back.
Prints the differences and the counts; exits 1 on any difference, 3 when
vobject is not installed.
"""

import sys

from peer_cards import (ADDRESS, ADDRESS2, CELL, CITY, COMPANY, CONTACT, EMAIL, FAX, MEMO, MISSING, PHONE, PHONE2,
                        ST, ZIP, Reading, compare, load_cards, report)

try:
    import vobject
except ImportError:
    print("vobject_peer.py cannot run: Debian's python3-vobject is missing")
    sys.exit(MISSING)


def phones_of(component):
    """The card's numbers by the box their type and label say."""
    labels = {line.group.lower(): line.value for line in component.contents.get("x-ablabel", []) if line.group}
    found = {}
    for line in component.contents.get("tel", []):
        types = {t.lower() for value in line.params.get("TYPE", []) for t in value.split(",")}
        if "cell" in types:
            box = CELL
        elif "fax" in types:
            box = FAX
        elif line.group and labels.get(line.group.lower()) == "PHONE 2":
            box = PHONE2
        else:
            box = PHONE
        found[box] = f"{found[box]} | {line.value}" if box in found else line.value
    return found


def name_words(name):
    """The words of a vobject Name, whose parts may be lists."""
    words = []
    for part in (name.family, name.given, name.additional, name.prefix, name.suffix):
        for value in part if isinstance(part, list) else [part]:
            words += value.split()
    return words


def first(component, name):
    lines = component.contents.get(name, [])
    return lines[0].value if lines else None


def reading_of(component):
    kind, shown_as = first(component, "kind"), first(component, "x-abshowas")
    org = first(component, "org")
    adr = first(component, "adr")
    name = first(component, "n")
    return Reading(fn=first(component, "fn") or "", name_words=name_words(name) if name else None,
                   organisation=(kind or "").lower() == "org" or (shown_as or "").upper() == "COMPANY",
                   org=org[0] if org else "", phones=phones_of(component), email=first(component, "email") or "",
                   note=first(component, "note") or "",
                   address=[adr.street, adr.extended, adr.city, adr.region, adr.code] if adr else [""] * 5)


def read(path):
    with open(path, encoding="utf-8") as stream:
        return [reading_of(component) for component in vobject.readComponents(stream.read())]


def write(cards, export3, path):
    with open(export3, encoding="utf-8") as stream:
        exported = list(vobject.readComponents(stream.read()))
    with open(path, "w", encoding="utf-8", newline="") as stream:
        for card, read in zip(cards, exported):
            component = vobject.vCard()
            component.add("fn").value = read.fn.value
            name = read.n.value
            component.add("n").value = vobject.vcard.Name(family=name.family, given=name.given,
                                                         additional=name.additional, prefix=name.prefix,
                                                         suffix=name.suffix)
            for mark in read.contents.get("x-abshowas", []):
                component.add("x-abshowas").value = mark.value
            if card[COMPANY]:
                component.add("org").value = [card[COMPANY]]
            if any(card[ADDRESS:ZIP + 1]):
                adr = component.add("adr")
                adr.value = vobject.vcard.Address(street=card[ADDRESS], extended=card[ADDRESS2], city=card[CITY],
                                                  region=card[ST], code=card[ZIP], country="")
                adr.type_param = "WORK"
            for box, types, group in ((PHONE, ["WORK", "VOICE", "PREF"], None), (PHONE2, ["WORK", "VOICE"], "item1"),
                                      (CELL, ["CELL"], None), (FAX, ["WORK", "FAX"], None)):
                if card[box]:
                    tel = component.add("tel", group=group)
                    tel.value = card[box]
                    tel.params["TYPE"] = types
                    if group:
                        component.add("x-ablabel", group=group).value = "PHONE 2"
            if card[EMAIL]:
                email = component.add("email")
                email.value = card[EMAIL]
                email.type_param = "INTERNET"
            if card[MEMO]:
                component.add("note").value = card[MEMO]
            stream.write(component.serialize())


def main():
    cards_path, export4, export3, written = sys.argv[1:5]
    cards = load_cards(cards_path)
    problems, fields = [], 0
    for path, version in ((export4, "4.0"), (export3, "3.0")):
        fields += compare(cards, read(path), version, problems)
    write(cards, export3, written)
    return report("vobject", problems, fields, cards, f"; wrote {len(cards)} cards")


if __name__ == "__main__":
    sys.exit(main())
