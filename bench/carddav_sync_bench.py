#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""kestrix --sync against a local Radicale, beside the server's own time.

    carddav_sync_bench.py KESTRIX [--cards N] [--runs R] [--table FILE]

Rows: the first sync of an address book of N cards into an empty card
file, a sync with nothing changed, and the first sync of a card file of
--pushed cards to an empty address book. The floor of each is the same
requests made by a bare HTTP client on one kept-alive connection: the
sync-collection report and the multigets, the report alone, or the PUTs.
Medians of R runs (at least 5 for nothing changed), wall-clock time of
the whole kestrix process.
"""

import argparse
import base64
import http.client
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "carddav"))
import dav_server_test as dav  # noqa: E402

FIRST = ["Anna", "Jan", "Maria", "Piotr", "Ewa", "Tomasz", "Sofia", "Lukas", "Chloe", "Omar"]
LAST = ["Nowak", "Kowalski", "Müller", "Dubois", "García", "Rossi", "Smith", "Jensen", "Novák", "Yilmaz"]


def vcards(count):
    for i in range(count):
        name = f"{FIRST[i % 10]} {LAST[(i // 10) % 10]} {i}"
        yield i, ("BEGIN:VCARD\r\nVERSION:3.0\r\n"
                  f"UID:bench-{i}\r\nFN:{name}\r\nN:{LAST[(i // 10) % 10]} {i};{FIRST[i % 10]};;;\r\n"
                  f"ORG:Firma {i % 977}\r\nTEL;TYPE=WORK:+48 22 {i:07d}\r\nTEL;TYPE=CELL:+48 600 {i:06d}\r\n"
                  f"EMAIL:person{i}@example.com\r\nADR;TYPE=WORK:;;ul. Długa {i % 200};Warszawa;;00-{i % 1000:03d};\r\n"
                  "END:VCARD\r\n").encode()


class Bare:
    """A bare client: one connection, kept alive."""

    def __init__(self, port):
        self.connection = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
        self.auth = "Basic " + base64.b64encode(f"{dav.USER}:{dav.PASSWORD}".encode()).decode()

    def send(self, method, path, body=b"", headers=None):
        self.connection.request(method, path, body=body, headers=dict({"Authorization": self.auth}, **(headers or {})))
        reply = self.connection.getresponse()
        return reply.status, reply.read()

    def make_book(self, name):
        body = ('<?xml version="1.0"?><d:mkcol xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav"><d:set><d:prop>'
                '<d:resourcetype><d:collection/><c:addressbook/></d:resourcetype></d:prop></d:set></d:mkcol>')
        status, _ = self.send("MKCOL", f"/{dav.USER}/{name}/", body.encode(), {"Content-Type": "application/xml"})
        assert status == 201, status

    def report(self, book, token=""):
        body = ('<?xml version="1.0"?><d:sync-collection xmlns:d="DAV:"><d:sync-token>'
                f'{token}</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop>'
                '</d:sync-collection>').encode()
        status, reply = self.send("REPORT", f"/{dav.USER}/{book}/", body, {"Content-Type": "application/xml"})
        assert status == 207, status
        return re.search(rb"<[^>]*sync-token>([^<]*)<", reply).group(1).decode()


def timed(action):
    started = time.perf_counter()
    action()
    return (time.perf_counter() - started) * 1000


def main():
    options = argparse.ArgumentParser()
    options.add_argument("kestrix")
    options.add_argument("--cards", type=int, default=10000)
    options.add_argument("--runs", type=int, default=3)
    # Radicale's PUT grows slower with each card the book holds.
    options.add_argument("--pushed", type=int, default=300)
    options.add_argument("--table")
    arguments = options.parse_args()
    arguments.kestrix = os.path.abspath(arguments.kestrix)
    cards = list(vcards(arguments.cards))
    with tempfile.TemporaryDirectory(prefix="kestrix-sync-bench-") as root:
        port = dav.free_port()
        server_root = os.path.join(root, "server")
        os.makedirs(server_root)
        dav.radicale_command(server_root, port)  # writes its config and users
        fill_book(server_root, "big", cards)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": server_root, "LANG": "C.UTF-8"}
        server = subprocess.Popen(dav.radicale_command(server_root, port), env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, start_new_session=True, preexec_fn=dav.die_with_parent)
        try:
            dav.wait_for_port(port, server)
            password = os.path.join(root, "password")
            with open(password, "w", encoding="utf-8") as file:
                file.write(dav.PASSWORD + "\n")
            os.chmod(password, 0o600)
            rows = pulled(arguments, port, root, password, "big")
            rows += pushed(arguments, port, root, password, cards[:arguments.pushed])
        finally:
            os.killpg(server.pid, signal.SIGKILL)
            server.wait()
    table = ["| Operation | Cards | Median (ms) | Floor (ms) | Ratio to floor |", "|---|---:|---:|---:|---:|"]
    for name, count, ours, floor in rows:
        table.append(f"| {name} | {count} | {ours:.0f} | {floor:.0f} | {ours / floor:.1f}× |")
    print("\n".join(table))
    if arguments.table:
        with open(arguments.table, "w", encoding="utf-8") as file:
            file.write("\n".join(table) + "\n")


def multiget(bare, book, hrefs):
    body = ('<?xml version="1.0"?><c:addressbook-multiget xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav">'
            '<d:prop><d:getetag/><c:address-data/></d:prop>'
            + "".join(f"<d:href>{href}</d:href>" for href in hrefs) + "</c:addressbook-multiget>").encode()
    status, _ = bare.send("REPORT", f"/{dav.USER}/{book}/", body, {"Content-Type": "application/xml", "Depth": "1"})
    assert status == 207, status


def fill_book(server_root, book, cards):
    """A book of many cards, laid into the server's folder before it starts:
    PUTting them would take Radicale hours, each PUT slower than the last."""
    folder = os.path.join(server_root, "collections", "collection-root", dav.USER, book)
    os.makedirs(folder)
    with open(os.path.join(folder, ".Radicale.props"), "w", encoding="utf-8") as file:
        file.write('{"tag": "VADDRESSBOOK"}')
    for i, card in cards:
        with open(os.path.join(folder, f"bench-{i}.vcf"), "wb") as file:
            file.write(card)


class Desk:
    def __init__(self, kestrix, folder, password, port):
        self.folder = folder
        os.makedirs(os.path.join(folder, "home"))
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": os.path.join(folder, "home"),
                    "LANG": "C.UTF-8"}
        self.sync = [kestrix, "--sync", "--password-file", password, "--server", f"http://127.0.0.1:{port}/",
                     "--user", dav.USER]

    def run(self, *command):
        done = subprocess.run(list(command), cwd=self.folder, env=self.env, capture_output=True, text=True)
        if done.returncode != 0:
            raise SystemExit(f"{' '.join(command)}: {done.stdout}{done.stderr}")


def pulled(arguments, port, root, password, book):
    """The server's cards to empty card files, and then nothing changed."""
    bare = Bare(port)
    hrefs = [f"/{dav.USER}/{book}/bench-{i}.vcf" for i in range(arguments.cards)]

    def bare_first():
        bare.report(book)
        for first in range(0, len(hrefs), 200):
            multiget(bare, book, hrefs[first:first + 200])
    first, first_floor, again, again_floor = [], [], [], []
    bare_first()  # the server reads the book into its cache once
    for run in range(arguments.runs):
        first_floor.append(timed(bare_first))
        desk = Desk(arguments.kestrix, os.path.join(root, f"pull-{run}"), password, port)
        first.append(timed(lambda: desk.run(*desk.sync, "--address-book", book)))
    token = bare.report(book)
    for _ in range(max(5, arguments.runs)):
        again.append(timed(lambda: desk.run(*desk.sync)))
        again_floor.append(timed(lambda: bare.report(book, token)))
    return [(f"CardDAV first sync, server cards into an empty card file (Radicale)", arguments.cards,
             statistics.median(first), statistics.median(first_floor)),
            (f"CardDAV sync, nothing changed (Radicale)", arguments.cards, statistics.median(again),
             statistics.median(again_floor))]


def pushed(arguments, port, root, password, cards):
    """The desk's cards to an empty address book: a PUT each."""
    bare = Bare(port)
    source = os.path.join(root, "push.vcf")
    with open(source, "wb") as file:
        file.write(b"".join(card for _, card in cards))
    ours, floor = [], []
    for run in range(arguments.runs):
        bare.make_book(f"floor-{run}")

        def put_all(book=f"floor-{run}"):
            for i, card in cards:
                status, _ = bare.send("PUT", f"/{dav.USER}/{book}/bench-{i}.vcf", card,
                                      {"Content-Type": "text/vcard", "If-None-Match": "*"})
                assert status == 201, status
            bare.report(book)
        floor.append(timed(put_all))
        desk = Desk(arguments.kestrix, os.path.join(root, f"push-{run}"), password, port)
        desk.run(arguments.kestrix, "--import", source)
        bare.make_book(f"push-{run}")
        ours.append(timed(lambda: desk.run(*desk.sync, "--address-book", f"push-{run}")))
    return [("CardDAV first sync, card file to an empty address book (Radicale)", len(cards),
             statistics.median(ours), statistics.median(floor))]


if __name__ == "__main__":
    main()
