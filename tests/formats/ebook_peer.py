# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""Another opinion on Kestrix's vCards: GNOME's address book library.

    ebook_peer.py CARDS.json EXPORT4.vcf EXPORT3.vcf

CARDS.json holds the cards (see peer_cards.py). EXPORT4.vcf and EXPORT3.vcf
are those cards as Kestrix exported them (vCard 4.0 and 3.0): each card is
parsed by libebook-contacts (through python3-gi), and its fields as that
library names them must hold the card's. Prints the differences and the
counts; exits 1 on any difference, 3 when the library is not installed.
"""

import re
import sys

from peer_cards import CELL, FAX, MISSING, PHONE, PHONE2, Reading, compare, load_cards, report

try:
    import gi
except ImportError:
    print("ebook_peer.py cannot run: Debian's python3-gi is missing")
    sys.exit(MISSING)
try:
    gi.require_version("EBookContacts", "1.2")
    from gi.repository import EBookContacts
except (ImportError, ValueError):
    print("ebook_peer.py cannot run: Debian's gir1.2-ebookcontacts-1.2 is missing")
    sys.exit(MISSING)

Field = EBookContacts.ContactField
# The library parses one card at a time. A card ends at a line of its own;
# a folded line's continuation starts with a blank, so it never is one.
CARD_END = re.compile(r"^END:VCARD\r?\n", re.IGNORECASE | re.MULTILINE)


def text(contact, field):
    return contact.get_property(EBookContacts.Contact.field_name(field)) or ""


def value_of(contact, name):
    attribute = contact.get_attribute(name)
    return attribute.get_values()[0] if attribute and attribute.get_values() else ""


def reading_of(contact):
    # The library keeps a card's phones in its own slots, by type: a number
    # of type cell is the mobile phone, of work and fax the business fax. It
    # knows no label, so the work phones fill its two business slots in
    # order (compare() is told so).
    phones = {box: text(contact, field) for box, field in ((PHONE, Field.PHONE_BUSINESS),
                                                           (PHONE2, Field.PHONE_BUSINESS_2),
                                                           (CELL, Field.PHONE_MOBILE), (FAX, Field.PHONE_BUSINESS_FAX))}
    address = contact.get_property(EBookContacts.Contact.field_name(Field.ADDRESS_WORK))
    return Reading(fn=text(contact, Field.FULL_NAME),
                   organisation=value_of(contact, "KIND").lower() == "org"
                   or value_of(contact, "X-ABShowAs").upper() == "COMPANY",
                   org=text(contact, Field.ORG), phones={box: number for box, number in phones.items() if number},
                   email=text(contact, Field.EMAIL_1), note=text(contact, Field.NOTE),
                   address=[address.street, address.ext, address.locality, address.region, address.code]
                   if address else [""] * 5)


def read(path):
    with open(path, encoding="utf-8", newline="") as stream:
        cards = CARD_END.split(stream.read())
    return [reading_of(EBookContacts.Contact.new_from_vcard(card + "END:VCARD\r\n"))
            for card in cards if card.strip()]


def main():
    cards_path, export4, export3 = sys.argv[1:4]
    cards = load_cards(cards_path)
    problems, fields = [], 0
    for path, version in ((export4, "4.0"), (export3, "3.0")):
        fields += compare(cards, read(path), version, problems, knows_labels=False)
    return report("libebook-contacts", problems, fields, cards)


if __name__ == "__main__":
    sys.exit(main())
