#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""kestrix --sync against a real server on the loopback.

    sync_server_test.py radicale|xandikos KESTRIX [--vdirsyncer] [--cuts]

Starts the server as the CardDAV client's own test does, and plays a desk
(the kestrix program in a card folder of its own, with a home of its own)
against a phone (requests made here, or Debian's vdirsyncer). Each
scenario checks both sides card by card: nothing lost, nothing doubled.
--cuts cuts the connection at every request of a sync, before the server
sees it and after it answered, and checks that the next sync heals it.
Exits 77 (skipped) where the server cannot be had.
"""

import base64
import http.client
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import uuid

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "carddav"))
import dav_server_test as dav  # noqa: E402

SYNC_S = 60
PHOTO = "PHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg=="


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def vcard(name, phone, uid=None, extra=()):
    lines = ["BEGIN:VCARD", "VERSION:3.0", f"UID:{uid or uuid.uuid4()}", f"FN:{name}", f"N:{name.split()[-1]};{name.split()[0]};;;",
             "ORG:Phone Co", f"TEL;TYPE=WORK:{phone}"] + list(extra) + ["END:VCARD"]
    return ("\r\n".join(lines) + "\r\n").encode()


class Phone:
    """A second client, speaking plain HTTP to the address book."""

    def __init__(self, base, user, password, home):
        self.base = urllib.parse.urlsplit(base)
        self.auth = "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()
        self.home = home
        self.book = None

    def request(self, method, path, body=b"", headers=None):
        connection = http.client.HTTPConnection(self.base.hostname, self.base.port, timeout=20)
        try:
            connection.request(method, path, body=body, headers=dict({"Authorization": self.auth}, **(headers or {})))
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def make_book(self, name):
        self.book = f"{self.home}{name}/"
        body = ('<?xml version="1.0"?><d:mkcol xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav"><d:set><d:prop>'
                '<d:resourcetype><d:collection/><c:addressbook/></d:resourcetype>'
                f'<d:displayname>{name}</d:displayname></d:prop></d:set></d:mkcol>')
        status, _, reply = self.request("MKCOL", self.book, body.encode(), {"Content-Type": "application/xml"})
        check(status == 201, f"MKCOL {self.book}: {status} {reply[:200]!r}")

    def put(self, name, data, etag=None):
        headers = {"Content-Type": "text/vcard; charset=utf-8"}
        if etag:
            headers["If-Match"] = etag
        status, _, reply = self.request("PUT", self.book + name, data, headers)
        check(status in (200, 201, 204), f"PUT {name}: {status} {reply[:200]!r}")

    def get(self, href):
        status, headers, body = self.request("GET", href)
        check(status == 200, f"GET {href}: {status}")
        return {k.lower(): v for k, v in headers.items()}.get("etag"), body

    def delete(self, href):
        status, _, _ = self.request("DELETE", href)
        check(status in (200, 204), f"DELETE {href}: {status}")

    def cards(self):
        """Every member: href -> its vCard."""
        body = b'<?xml version="1.0"?><d:propfind xmlns:d="DAV:"><d:prop><d:getetag/></d:prop></d:propfind>'
        status, _, reply = self.request("PROPFIND", self.book, body, {"Depth": "1", "Content-Type": "application/xml"})
        check(status == 207, f"PROPFIND: {status}")
        import xml.etree.ElementTree as tree
        hrefs = [urllib.parse.unquote(node.text) for node in tree.fromstring(reply).iter("{DAV:}href")]
        hrefs = [href for href in hrefs if href.rstrip("/") != urllib.parse.unquote(self.book).rstrip("/")]
        return {href: self.get(urllib.parse.quote(href))[1].decode() for href in hrefs}

    def change(self, name, number):
        """As a phone edits a card: the same UID, over the version it read."""
        href = self.find(name)
        etag, body = self.get(href)
        uid = re.search(rb"^UID:(.*?)\r?$", body, re.M).group(1).decode()
        self.put(urllib.parse.unquote(href).rsplit("/", 1)[1], vcard(name, number, uid), etag)

    def find(self, text):
        found = [href for href, card in self.cards().items() if text in card]
        check(len(found) == 1, f"one card on the server holds {text!r}: {found}")
        return urllib.parse.quote(found[0])


class Desk:
    """The kestrix program in a card folder, with a home of its own."""

    def __init__(self, program, root, password):
        self.program = program
        self.home = os.path.join(root, "home")
        self.folder = os.path.join(root, "cards")
        os.makedirs(self.home)
        os.makedirs(self.folder)
        self.password_file = os.path.join(root, "password")
        with open(self.password_file, "w", encoding="utf-8") as file:
            file.write(password + "\n")
        os.chmod(self.password_file, 0o600)

    def run(self, *arguments, expect=0):
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.home, "LANG": "C.UTF-8"}
        done = subprocess.run([self.program, *arguments], cwd=self.folder, env=env, capture_output=True, text=True,
                              timeout=SYNC_S, preexec_fn=dav.die_with_parent)
        if expect is not None:
            check(done.returncode == expect,
                  f"kestrix {' '.join(arguments)} ended {done.returncode}: {done.stdout} {done.stderr}")
        return done

    def sync(self, *extra, expect=0):
        return self.run("--sync", "--password-file", self.password_file, *extra, expect=expect)

    def cards(self):
        """Each card's 14 fields; a memo may hold line breaks."""
        path = os.path.join(self.folder, "kest1.dat")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8", newline="") as file:
            fields = re.findall(r'"([^"]*)"', file.read())
        check(len(fields) % 14 == 0, f"whole cards: {fields}")
        return [fields[i:i + 14] for i in range(0, len(fields), 14)]

    def lines(self):
        return [",".join(f'"{field}"' for field in card) for card in self.cards()]

    def find(self, text):
        found = [line for line in self.lines() if text in line]
        check(len(found) == 1, f"one card here holds {text!r}: {found}")
        return found[0]

    def edit(self, old, new):
        path = os.path.join(self.folder, "kest1.dat")
        with open(path, encoding="utf-8", newline="") as file:
            text = file.read()
        check(text.count(old) == 1, f"{old!r} once in the card file")
        with open(path, "w", encoding="utf-8", newline="") as file:
            file.write(text.replace(old, new))

    def remove(self, text):
        path = os.path.join(self.folder, "kest1.dat")
        kept = [line for line in self.lines() if text not in line]
        with open(path, "w", encoding="utf-8", newline="") as file:
            file.write("".join(line + "\r\n" for line in kept))

    def add(self, name, phone):
        source = os.path.join(self.folder, "..", "new.vcf")
        with open(source, "wb") as file:
            file.write(vcard(name, phone).replace(b"Phone Co", b"Desk Co"))
        self.run("--import", source)


class Proxy:
    """Passes requests to the server, one connection each, until the network
    goes at one of them: before the server sees it, or after it answered, so
    the answer is lost. Nothing passes after that (a client resends a request
    whose connection closed), until it is armed again."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.cut_at = None
        self.cut_after = False
        self.count = 0
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.serve, daemon=True).start()

    def arm(self, cut_at=None, after=False):
        self.cut_at, self.cut_after, self.count, self.gone = cut_at, after, 0, False
        self.meddle = None

    def serve(self):
        while True:
            client, _ = self.listener.accept()
            threading.Thread(target=self.handle, args=(client,), daemon=True).start()

    @staticmethod
    def read_request(client):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = client.recv(65536)
            if not chunk:
                return None
            data += chunk
        head, body = data.split(b"\r\n\r\n", 1)
        length = 0
        lines = head.split(b"\r\n")
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        while len(body) < length:
            chunk = client.recv(65536)
            if not chunk:
                return None
            body += chunk
        kept = [line for line in lines if not line.lower().startswith(b"connection:")]
        return b"\r\n".join(kept + [b"Connection: close"]) + b"\r\n\r\n" + body

    def handle(self, client):
        with client:
            request = self.read_request(client)
            if request is None:
                return
            if self.gone:
                return
            if self.meddle:
                self.meddle(request)
            self.count += 1
            cut = self.count == self.cut_at
            self.gone = cut
            if cut and not self.cut_after:
                return
            with socket.create_connection(("127.0.0.1", self.target_port), timeout=20) as upstream:
                upstream.sendall(request)
                reply = b""
                while chunk := upstream.recv(65536):
                    reply += chunk
            if not cut:
                client.sendall(reply)


def phones_here(desk):
    return sorted(card[7] for card in desk.cards())


def phones_there(phone):
    found = []
    for card in phone.cards().values():
        found += [line.split(":", 1)[1].strip() for line in card.splitlines() if line.upper().startswith(("TEL", "ITEM1.TEL"))]
    return sorted(found)


def agree(desk, phone, expected):
    here, there = phones_here(desk), phones_there(phone)
    check(here == sorted(expected), f"the desk holds {here}, expected {sorted(expected)}")
    check(there == sorted(expected), f"the server holds {there}, expected {sorted(expected)}")


def everyday(server, program, root, name, options):
    """The Done-when walk: first sync, a phone's change, a desk's change, deletions, a conflict."""
    phone = Phone(server.url, dav.USER, dav.PASSWORD, server.home)
    phone.make_book("everyday")
    phone.put("ann.vcf", vcard("Ann Phone", "+1 555 0101", extra=[PHOTO, "BDAY:1980-04-01", "X-PHONE-OWN:keep me"]))
    for person, number in (("Bob Phone", "0102"), ("Cy Phone", "0103"), ("Di Phone", "0104")):
        phone.put(person.split()[0].lower() + ".vcf", vcard(person, "+1 555 " + number))
    desk = Desk(program, os.path.join(root, "everyday"), dav.PASSWORD)
    desk.add("Eve Desk", "+1 555 0201")
    desk.add("Fay Desk", "+1 555 0202")
    # A password typed into the address too must end up in no file.
    typed = server.url.replace("://", f"://{dav.USER}:{urllib.parse.quote(dav.PASSWORD)}@")
    first = desk.sync("--server", typed, "--user", dav.USER, *options)
    agree(desk, phone, ["+1 555 0101", "+1 555 0102", "+1 555 0103", "+1 555 0104", "+1 555 0201", "+1 555 0202"])
    check("4 cards from the server (4 new)" in first.stdout and "2 cards to the server (2 new)" in first.stdout,
          f"the first sync says what it did: {first.stdout}")
    check("nothing had changed" in desk.sync().stdout, "a second sync finds nothing to do")

    phone.change("Bob Phone", "+1 555 0112")
    done = desk.sync()
    said = done.stdout
    check("1 card from the server (0 new)" in said, f"the phone's change arrives: {said} {done.stderr}")
    check("nothing had changed" in desk.sync().stdout, "the phone's change arrives once")

    href = phone.find("Ann Phone")
    _, before = phone.get(href)
    desk.edit("+1 555 0101", "+1 555 0111")
    desk.sync()
    _, after = phone.get(href)
    for kept in (PHOTO.encode(), b"BDAY:1980-04-01", b"X-PHONE-OWN:keep me", [line for line in before.splitlines() if line.startswith(b"UID")][0]):
        check(kept in after, f"the server's card keeps {kept[:40]!r}: {after!r}")
    check(b"+1 555 0111" in after and b"0101" not in after, f"the desk's change reached the server: {after!r}")

    phone.delete(phone.find("Cy Phone"))
    check("1 card deleted here" in desk.sync().stdout, "a card deleted on the server goes from the card file")
    desk.remove("Fay Desk")
    check("1 card deleted on the server" in desk.sync().stdout, "a card deleted here goes from the server")

    phone.change("Di Phone", "+1 555 0124")
    desk.edit("+1 555 0104", "+1 555 0134")
    check("kept twice" in desk.sync().stdout, "a card changed on both sides is kept twice, and the user told")
    expected = ["+1 555 0111", "+1 555 0112", "+1 555 0124", "+1 555 0134", "+1 555 0201"]
    agree(desk, phone, expected)
    check("nothing had changed" in desk.sync().stdout, "the conflict settles in one sync")
    desk.run("--undo")
    desk.sync()
    check(len(desk.lines()) == 4 and len(phone.cards()) == 4, "an undone sync is a change like any other")
    for top in (desk.home, desk.folder):
        for folder, _, files in os.walk(top):
            for file in files:
                with open(os.path.join(folder, file), "rb") as opened:
                    text = opened.read().decode("utf-8", "replace")
                # Percent-encoded once or twice, it would still be there.
                for _ in range(3):
                    check(dav.PASSWORD not in text, f"{file} holds no password")
                    text = urllib.parse.unquote(text)
    return desk, phone


def with_vdirsyncer(server, program, root, desk, phone):
    """Debian's vdirsyncer as the other client: what it changes arrives, what the desk changes reaches it."""
    if not shutil.which("vdirsyncer"):
        dav.ensure_installed("vdirsyncer", "vdirsyncer")
    base = os.path.join(root, "vdirsyncer")
    cards = os.path.join(base, "cards")
    os.makedirs(cards)
    config = os.path.join(base, "config")
    with open(config, "w", encoding="utf-8") as file:
        file.write(f"""[general]
status_path = "{base}/status/"
[pair book]
a = "here"
b = "there"
collections = null
[storage here]
type = "filesystem"
path = "{cards}/"
fileext = ".vcf"
[storage there]
type = "carddav"
url = "{server.url.rstrip('/')}{phone.book}"
username = "{dav.USER}"
password = "{dav.PASSWORD}"
""")

    def vdirsyncer(*arguments):
        done = subprocess.run(["vdirsyncer", "-c", config, *arguments], input="y\n" * 10, capture_output=True,
                              text=True, timeout=SYNC_S, env=dict(os.environ, HOME=base))
        check(done.returncode == 0, f"vdirsyncer {arguments}: {done.stdout} {done.stderr}")

    vdirsyncer("discover")
    vdirsyncer("sync")
    files = {name: open(os.path.join(cards, name), encoding="utf-8").read() for name in os.listdir(cards)}
    check(sum("Eve Desk" in text for text in files.values()) == 1, "vdirsyncer reads the desk's card")
    eve = next(name for name, text in files.items() if "Eve Desk" in text)
    with open(os.path.join(cards, eve), "w", encoding="utf-8") as file:
        file.write(files[eve].replace("+1 555 0201", "+1 555 0301"))
    bob = next(name for name, text in files.items() if "Bob Phone" in text)
    os.remove(os.path.join(cards, bob))
    with open(os.path.join(cards, "gil.vcf"), "wb") as file:
        file.write(vcard("Gil Other", "+1 555 0401"))
    vdirsyncer("sync")
    desk.sync()
    agree(desk, phone, ["+1 555 0111", "+1 555 0301", "+1 555 0401", "+1 555 0134"])
    desk.edit("+1 555 0401", "+1 555 0411")
    desk.sync()
    vdirsyncer("sync")
    texts = [open(os.path.join(cards, name), encoding="utf-8").read() for name in os.listdir(cards)]
    check(sum("+1 555 0411" in text for text in texts) == 1, "vdirsyncer receives the desk's change")


def cut_everywhere(server, program, root, name, options):
    """A sync cut at each of its requests, before or after the server acted: the next sync heals it."""
    proxy = Proxy(server.port)
    url = f"http://127.0.0.1:{proxy.port}/"
    cuts = stopped = 0
    for after in (False, True):
        for at in range(1, 200):
            tag = f"cut-{'after' if after else 'before'}-{at}"
            phone = Phone(url, dav.USER, dav.PASSWORD, server.home)
            proxy.arm()
            phone.make_book(tag)
            for person, number in (("P1 Phone", "01"), ("P2 Phone", "02"), ("P3 Phone", "03"), ("P4 Phone", "04")):
                phone.put(person.split()[0].lower() + ".vcf", vcard(person, "+1 555 00" + number))
            desk = Desk(program, os.path.join(root, tag), dav.PASSWORD)
            for person, number in (("D1 Desk", "11"), ("D2 Desk", "12"), ("D3 Desk", "13")):
                desk.add(person, "+1 555 00" + number)
            desk.sync("--server", url, "--user", dav.USER, "--address-book", tag)
            phone.change("P1 Phone", "+1 555 0021")
            phone.change("P3 Phone", "+1 555 0023")
            phone.delete(phone.find("P2 Phone"))
            phone.put("p5.vcf", vcard("P5 Phone", "+1 555 0005"))
            desk.edit("+1 555 0011", "+1 555 0031")
            desk.edit("+1 555 0003", "+1 555 0033")
            desk.remove("D2 Desk")
            desk.add("D4 Desk", "+1 555 0014")
            proxy.arm(at, after)
            done = desk.sync(expect=None)
            requests = proxy.count
            proxy.arm()
            if done.returncode == 0 and requests < at:
                break
            cuts += 1
            stopped += done.returncode != 0
            desk.sync()
            check("nothing had changed" in desk.sync().stdout, f"{tag}: the sync after the healing one finds nothing")
            agree(desk, phone, ["+1 555 0021", "+1 555 0023", "+1 555 0033", "+1 555 0004", "+1 555 0005",
                                "+1 555 0031", "+1 555 0013", "+1 555 0014"])
    check(stopped == cuts and cuts >= 10, f"each cut stopped its sync: {stopped} of {cuts}")
    print(f"{cuts} cuts healed")


def races(server, program, root):
    """A phone writes the card the desk is writing, between the desk's read and
    its write: its change is never overwritten."""
    proxy = Proxy(server.port)
    url = f"http://127.0.0.1:{proxy.port}/"
    for kind in ("a box", "only a photo"):
        tag = "race-" + kind.split()[-1]
        phone = Phone(server.url, dav.USER, dav.PASSWORD, server.home)
        phone.make_book(tag)
        phone.put("ida.vcf", vcard("Ida Phone", "+1 555 0501"))
        desk = Desk(program, os.path.join(root, tag), dav.PASSWORD)
        proxy.arm()
        desk.sync("--server", url, "--user", dav.USER, "--address-book", tag)
        desk.edit("+1 555 0501", "+1 555 0511")

        def meddle(request, kind=kind, phone=phone):
            if not request.startswith(b"PUT "):
                return
            proxy.meddle = None
            if kind == "a box":
                phone.change("Ida Phone", "+1 555 0521")
                return
            href = phone.find("Ida Phone")
            etag, body = phone.get(href)
            phone.put(urllib.parse.unquote(href).rsplit("/", 1)[1], body.replace(b"END:VCARD", PHOTO.encode() + b"\r\nEND:VCARD"), etag)
        proxy.meddle = meddle
        said = desk.sync().stdout
        check(proxy.meddle is None, f"{tag}: the phone wrote during the sync")
        if kind == "a box":
            check("kept twice" in said, f"{tag}: both versions kept: {said}")
            agree(desk, phone, ["+1 555 0511", "+1 555 0521"])
        else:
            agree(desk, phone, ["+1 555 0511"])
            check(PHOTO in next(iter(phone.cards().values())), f"{tag}: the phone's photo stays")
        check("nothing had changed" in desk.sync().stdout, f"{tag}: settled in one sync")


class Server:
    def __init__(self, name, root):
        package, command, _ = dav.SERVERS[name]
        dav.ensure_installed(package, package)
        self.port = dav.free_port()
        self.url = f"http://127.0.0.1:{self.port}/"
        # Where the user's address books are made.
        self.home = f"/{dav.USER}/contacts/" if name == "xandikos" else f"/{dav.USER}/"
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": root, "LANG": "C.UTF-8"}
        self.log_path = os.path.join(root, "server.log")
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(command(root, self.port), env=env, stdout=log, stderr=subprocess.STDOUT,
                                            stdin=subprocess.DEVNULL, start_new_session=True,
                                            preexec_fn=dav.die_with_parent)
        dav.wait_for_port(self.port, self.process)

    def stop(self):
        os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait()


def main():
    name, program = sys.argv[1], sys.argv[2]
    extras = sys.argv[3:]
    try:
        with tempfile.TemporaryDirectory(prefix=f"kestrix-sync-{name}-") as root:
            server = Server(name, os.path.join(root, "server") if os.makedirs(os.path.join(root, "server")) is None else root)
            try:
                # Xandikos keeps an address book of its own beside ours: name ours.
                options = ["--address-book", "everyday"] if name == "xandikos" else []
                started = time.monotonic()
                desk, phone = everyday(server, program, root, name, options)
                print(f"everyday: {time.monotonic() - started:.1f} s")
                if "--vdirsyncer" in extras:
                    with_vdirsyncer(server, program, root, desk, phone)
                    print("vdirsyncer: passed")
                races(server, program, root)
                print("races: passed")
                if "--cuts" in extras:
                    started = time.monotonic()
                    cut_everywhere(server, program, root, name, [])
                    print(f"cuts: {time.monotonic() - started:.1f} s")
            except Failure as failure:
                print(f"FAIL: {failure}")
                with open(server.log_path, encoding="utf-8", errors="replace") as log:
                    print(f"--- {name}'s log ---\n{log.read()[-3000:]}", file=sys.stderr)
                return 1
            finally:
                server.stop()
    except dav.Skip as reason:
        print(f"SKIP: {reason}")
        return dav.SKIPPED
    return 0


if __name__ == "__main__":
    sys.exit(main())
