# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""A second opinion on Kestrix's vCards from an independent reader and writer.

    vobject_peer.py CARDS.json EXPORT4.vcf EXPORT3.vcf WRITTEN.vcf

CARDS.json holds the cards, each a list of its first 13 fields. EXPORT4.vcf
and EXPORT3.vcf are those cards as Kestrix exported them (vCard 4.0 and
3.0): vobject reads every card, and FN, N, ORG, TEL, EMAIL, NOTE and ADR
must hold the fields, a company's own card marked as one. Then vobject
writes the same cards to WRITTEN.vcf, with the names it read from the 3.0
export, for Kestrix to read back. Prints the counts; exits 1 on any
difference.
"""

import json
import sys

import vobject

(COMPANY, CONTACT, ADDRESS, ADDRESS2, CITY, ST, ZIP, PHONE, PHONE2, CELL, FAX, EMAIL, MEMO) = range(13)


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
        if box in found:
            raise ValueError(f"two numbers for box {box + 1}")
        found[box] = line.value
    return found


def full_name(card):
    """FN: the contact, else the company, else how the contact is reached."""
    if card[CONTACT]:
        return card[CONTACT]
    if card[COMPANY]:
        return card[COMPANY]
    for box in (EMAIL, PHONE, PHONE2, CELL, FAX, ADDRESS, ADDRESS2, CITY, ST, ZIP):
        if card[box].strip():
            return card[box].strip()
    return "(no name)"


def name_words(name):
    """The words of a vobject Name, whose parts may be lists."""
    words = []
    for part in (name.family, name.given, name.additional, name.prefix, name.suffix):
        for value in part if isinstance(part, list) else [part]:
            words += value.split()
    return sorted(words)


def check(cards, path, version):
    problems, fields = [], 0
    with open(path, encoding="utf-8") as stream:
        components = list(vobject.readComponents(stream.read()))
    if len(components) != len(cards):
        return [f"{path}: {len(components)} cards where {len(cards)} were written"], 0
    for number, (card, component) in enumerate(zip(cards, components), 1):
        def compare(what, got, wanted):
            nonlocal fields
            fields += 1
            if got != wanted:
                problems.append(f"{version} card {number} {what}: {got!r} where {wanted!r} was written")

        compare("FN", component.fn.value, full_name(card))
        names = component.contents.get("n", [])
        compare("N words", name_words(names[0].value) if names else None,
                sorted(card[CONTACT].replace(",", " ").split()))
        company_card = not card[CONTACT] and bool(card[COMPANY])
        marks = component.contents.get("kind" if version == "4.0" else "x-abshowas", [])
        compare("company mark", [mark.value for mark in marks],
                (["org"] if version == "4.0" else ["COMPANY"]) if company_card else [])
        orgs = component.contents.get("org", [])
        compare("ORG", orgs[0].value[0] if orgs else "", card[COMPANY])
        phones = phones_of(component)
        for box in (PHONE, PHONE2, CELL, FAX):
            compare(f"TEL of box {box + 1}", phones.get(box, ""), card[box])
        emails = component.contents.get("email", [])
        compare("EMAIL", emails[0].value if emails else "", card[EMAIL])
        notes = component.contents.get("note", [])
        compare("NOTE", notes[0].value if notes else "", card[MEMO])
        addresses = component.contents.get("adr", [])
        if addresses:
            adr = addresses[0].value
            got = [adr.street, adr.extended, adr.city, adr.region, adr.code]
        else:
            got = [""] * 5
        for name, value, wanted in zip(("street", "extended", "city", "region", "code"), got,
                                       card[ADDRESS:ZIP + 1]):
            compare(f"ADR {name}", value, wanted)
    return problems, fields


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
    with open(cards_path, encoding="utf-8") as stream:
        cards = json.load(stream)
    problems, fields = [], 0
    for path, version in ((export4, "4.0"), (export3, "3.0")):
        found, compared = check(cards, path, version)
        problems += found
        fields += compared
    write(cards, export3, written)
    for problem in problems[:20]:
        print(problem)
    print(f"vobject read {2 * len(cards)} cards (4.0 and 3.0), compared {fields} fields, "
          f"{len(problems)} differ; wrote {len(cards)} cards")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
