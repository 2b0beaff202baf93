#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""Kestrix's merge of the conflict copies a real Syncthing makes.

Two Syncthing instances on the loopback share one folder. Side A makes a few
cards and Syncthing carries them to side B; then the folder is paused on both
sides while each adds cards of its own (A also deletes one, B changes
another), and resumed, so Syncthing keeps one card file and puts the other
beside it as a conflict copy. Kestrix on side A merges; both sides must end
with the same cards, each once: the deleted one gone, the changed one as B
changed it; no copy left, the counter at the largest number issued, and a
second merge changing nothing.
    syncthing_merge.py SYNC_CHILD
Exits with 77 (skipped) where Syncthing is missing or will not start.
"""

import copy
import ctypes
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request
import xml.etree.ElementTree as ET

SKIPPED = 77
FOLDER_ID = "kestrix-cards"
# Far more than a run takes; Syncthing that never connects or never makes a
# copy fails here, well before ctest's own limit.
BUDGET_S = 120


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def die_with_parent():
    # Should this driver be killed outright, Syncthing goes with it.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def conflict_copies(folder):
    return sorted(name for name in os.listdir(folder) if ".sync-conflict-" in name)


def snapshot(folder):
    """The folder's files and their bytes, without Syncthing's own."""
    files = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if name == ".stfolder" or name.startswith((".syncthing.", "~syncthing~")) or not os.path.isfile(path):
            continue
        try:
            with open(path, "rb") as file:
                files[name] = file.read()
        except FileNotFoundError:
            pass  # renamed by Syncthing meanwhile; the next look sees it
    return files


class Side:
    """One computer: a Syncthing home, its synced folder, Kestrix in it."""

    def __init__(self, name, root, child):
        self.name = name
        self.home = os.path.join(root, "home-" + name)
        self.folder = os.path.join(root, "cards-" + name)
        self.log_path = os.path.join(root, "syncthing-" + name + ".log")
        self.child = child
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            # Nothing of the user's own Syncthing is read or written.
            "HOME": root,
            "STNODEFAULTFOLDER": "1",
            "STNOUPGRADE": "1",
            "STNORESTART": "1",
            # Without its monitor process, which would outlive a driver killed
            # outright: Syncthing itself is our child, and dies with us.
            "STMONITORED": "1",
        }
        self.process = None
        self.gui_port = free_port()
        self.listen_port = free_port()
        os.makedirs(os.path.join(self.folder, ".stfolder"))
        generated = subprocess.run(
            ["syncthing", "generate", "--home", self.home, "--no-default-folder", "--skip-port-probing"],
            env=self.env, capture_output=True, text=True, timeout=30)
        if generated.returncode != 0:
            raise Skip(f"syncthing generate failed: {generated.stderr.strip() or generated.stdout.strip()}")
        self.config = ET.parse(os.path.join(self.home, "config.xml"))
        self.device_id = self.config.find("device").get("id")
        self.api_key = self.config.findtext("gui/apikey")
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))

    def configure(self, peer):
        root = self.config.getroot()
        root.find("device").set("name", self.name)
        root.find("gui").find("address").text = f"127.0.0.1:{self.gui_port}"
        options = root.find("options")
        for listen in options.findall("listenAddress"):
            options.remove(listen)
        ET.SubElement(options, "listenAddress").text = f"tcp://127.0.0.1:{self.listen_port}"
        # Only the peer on the loopback, found at its fixed address; nothing
        # sent out, and a lost connection tried again soon.
        for option, value in {
                "globalAnnounceEnabled": "false", "localAnnounceEnabled": "false", "relaysEnabled": "false",
                "natEnabled": "false", "crashReportingEnabled": "false", "urAccepted": "-1",
                "startBrowser": "false", "autoUpgradeIntervalH": "0", "reconnectionIntervalS": "1"}.items():
            options.find(option).text = value

        other = copy.deepcopy(root.find("defaults/device"))
        other.set("id", peer.device_id)
        other.set("name", peer.name)
        other.find("address").text = f"tcp://127.0.0.1:{peer.listen_port}"
        root.insert(1, other)

        folder = copy.deepcopy(root.find("defaults/folder"))
        folder.attrib.update({"id": FOLDER_ID, "label": "cards", "path": self.folder, "rescanIntervalS": "5",
                              "fsWatcherEnabled": "true", "fsWatcherDelayS": "1"})
        shared = copy.deepcopy(folder.find("device"))
        shared.set("id", peer.device_id)
        folder.insert(1, shared)
        root.insert(0, folder)
        self.config.write(os.path.join(self.home, "config.xml"))

    def start(self):
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                ["syncthing", "serve", "--home", self.home, "--no-browser", "--no-restart", "--no-upgrade"],
                env=self.env, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                start_new_session=True, preexec_fn=die_with_parent)

    def stop(self):
        if self.process is None or self.process.poll() is not None:
            return
        os.killpg(self.process.pid, signal.SIGTERM)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()

    def log_tail(self, lines=15):
        try:
            with open(self.log_path, errors="replace") as log:
                return "".join(log.readlines()[-lines:])
        except OSError:
            return ""

    def check_running(self):
        if self.process.poll() is not None:
            raise Failure(f"Syncthing {self.name} exited with {self.process.returncode}:\n{self.log_tail()}")

    def api(self, method, path, body=None):
        request = urllib.request.Request(f"http://127.0.0.1:{self.gui_port}/rest/{path}", method=method,
                                         headers={"X-API-Key": self.api_key},
                                         data=None if body is None else json.dumps(body).encode())
        with self.opener.open(request, timeout=30) as response:
            body = response.read()
        return json.loads(body) if body else None

    def answers(self):
        try:
            return self.api("GET", "system/ping") == {"ping": "pong"}
        except OSError:
            return False

    def pause(self, paused):
        self.api("PATCH", f"config/folders/{FOLDER_ID}", {"paused": paused})

    def connected(self, peer):
        connection = self.api("GET", "system/connections")["connections"].get(peer.device_id, {})
        return connection.get("connected", False)

    def done_with(self, peer):
        """Nothing left to pull, and the peer known to have it all."""
        status = self.api("GET", f"db/status?folder={FOLDER_ID}")
        completion = self.api("GET", f"db/completion?folder={FOLDER_ID}&device={peer.device_id}")
        return status["state"] == "idle" and status["needTotalItems"] == 0 and completion["completion"] == 100

    def kestrix(self, *arguments):
        # Each side is a computer of its own, with its own identity.
        env = dict(os.environ, XDG_STATE_HOME=os.path.join(self.home, "state"))
        run = subprocess.run([self.child, self.folder, *arguments], capture_output=True, text=True, timeout=30,
                             env=env)
        if run.returncode != 0:
            raise Failure(f"kestrix_sync_child {' '.join(arguments)} on {self.name} failed: {run.stderr.strip()}")
        return run.stdout.splitlines()

    def add(self, contact):
        """Adds a card; the number issued for it."""
        added = [line for line in self.kestrix("add", contact) if line.startswith("added ")]
        return float(added[0].rsplit(" ", 1)[1])

    def contacts(self):
        return sorted(line.split("\t")[0] for line in self.kestrix("list"))

    def city_of(self, contact):
        cities = [line.split("\t")[2] for line in self.kestrix("list") if line.split("\t")[0] == contact]
        return cities[0] if len(cities) == 1 else cities


class Run:
    def __init__(self, sides, deadline):
        self.sides = sides
        self.deadline = deadline

    def wait_for(self, what, check):
        while not check():
            for side in self.sides:
                side.check_running()
            if time.monotonic() > self.deadline:
                raise Failure(f"{what}: not within {BUDGET_S} s of the start")
            time.sleep(0.25)

    def in_sync(self):
        a, b = self.sides
        return snapshot(a.folder) == snapshot(b.folder) and a.done_with(b) and b.done_with(a)


def expect_every_card(side, expected, when):
    contacts = side.contacts()
    if contacts != expected:
        missing = sorted(set(expected) - set(contacts))
        twice = sorted({c for c in contacts if contacts.count(c) > 1})
        raise Failure(f"{when}, side {side.name}'s card file holds {len(contacts)} cards, not {len(expected)}; "
                      f"missing: {missing}; more than once: {twice}")


def expect_no_copy(side, when):
    if left := conflict_copies(side.folder):
        raise Failure(f"{when}, conflict copies are left on side {side.name}: {left}")


def expect_counter(side, largest):
    with open(os.path.join(side.folder, "kestrec.rec"), "rb") as counter:
        held = counter.read()
    if held != b'"%d"\r\n' % largest:
        raise Failure(f"side {side.name}'s counter holds {held!r}, not the largest number issued, {largest}")


def merge_test(child, root, deadline):
    """What was measured, to be told once the instances are stopped."""
    a, b = Side("A", root, child), Side("B", root, child)
    a.configure(b)
    b.configure(a)
    run = Run([a, b], deadline)
    try:
        for side in (a, b):
            side.start()
        for side in (a, b):
            while not side.answers():
                if side.process.poll() is not None or time.monotonic() > deadline:
                    raise Skip(f"Syncthing {side.name} did not start:\n{side.log_tail()}")
                time.sleep(0.25)

        run.wait_for("Syncthing A and B never connected", lambda: a.connected(b) and b.connected(a))
        everyone = [f"Shared {n}" for n in (1, 2, 3)]
        issued = [a.add(contact) for contact in everyone]
        run.wait_for("the cards made on side A never reached side B",
                     lambda: "kest1.dat" in snapshot(b.folder) and run.in_sync())

        # The folder paused rather than the devices: two instances whose
        # devices were resumed together often took 20 s to connect again, a
        # Hello exchange between them waiting out its time limit.
        for side in (a, b):
            side.pause(True)
        # Meanwhile each side adds cards of its own, issuing its own numbers
        # from the same counter. B first: Syncthing keeps the newer file, A's,
        # so B's cards and B's larger number reach A only through the merge.
        # B also changes a shared card, and A deletes another: the merge
        # knows from B's records what B did, so the deletion stays and the
        # change replaces the old version.
        only_b = ["Only on B 1", "Only on B 2"]
        b.kestrix("update", "Shared 2", "Changed on B")
        issued += [b.add(contact) for contact in only_b]
        time.sleep(1.1)
        only_a = ["Only on A"]
        a.kestrix("delete", "Shared 1")
        issued += [a.add(contact) for contact in only_a]
        expected = sorted(everyone[1:] + only_a + only_b)

        resumed = time.time()
        for side in (a, b):
            side.pause(False)
        run.wait_for("Syncthing made no conflict copy of the card file on both sides",
                     lambda: any(n.startswith("kest1.sync-conflict-") for n in conflict_copies(a.folder))
                     and run.in_sync())
        copies = conflict_copies(a.folder)
        # The copy is made by renaming, or written anew on the other side:
        # the earlier change time is when Syncthing made it.
        copy_made = min(os.stat(os.path.join(side.folder, copies[0])).st_ctime for side in (a, b)) - resumed
        before = a.contacts()

        said = a.kestrix("merge")
        merged = sum(int(line.split()[1]) for line in said if line.startswith("merged "))
        expect_every_card(a, expected, "after the merge")
        expect_no_copy(a, "after the merge")
        if merged != len(expected) - len(before):
            raise Failure(f"the merge told of {merged} cards, but {len(expected) - len(before)} were added: {said}")
        expect_counter(a, max(issued))
        if a.city_of("Shared 2") != "Changed on B":
            raise Failure(f"after the merge, side A holds Shared 2 as {a.city_of('Shared 2')!r}, not as B changed it")
        settled = snapshot(a.folder).get("kest1.dat")
        a.kestrix("merge")
        if snapshot(a.folder).get("kest1.dat") != settled:
            raise Failure("a second merge on side A changed the card file")

        run.wait_for("side B never received the merged card file and the copies' removal",
                     lambda: not conflict_copies(b.folder) and run.in_sync())
        # Kestrix started on side B afterwards: nothing left to merge.
        said_b = b.kestrix("merge")
        expect_every_card(b, expected, "after the merged file reached it")
        if b.city_of("Shared 2") != "Changed on B":
            raise Failure(f"side B holds Shared 2 as {b.city_of('Shared 2')!r} after the merge reached it")
        expect_counter(b, max(issued))

        return [f"Syncthing made the card file's conflict copy {copy_made:.1f} s after the folder was resumed",
                f"cards merged: {merged} ({', '.join(said)}); side B afterwards: {', '.join(said_b) or 'nothing to merge'}",
                f"conflict copies removed: {len(copies)} ({', '.join(copies)}); counter: {max(issued):g}"]
    except Failure as failure:
        tails = "".join(f"\n--- Syncthing {side.name}, last lines:\n{side.log_tail()}" for side in (a, b))
        raise Failure(f"{failure}{tails}") from None
    finally:
        for side in (a, b):
            side.stop()


def main():
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} SYNC_CHILD", file=sys.stderr)
        return 2
    # Stopped from outside, the instances are stopped too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("stopped from outside"))
    if shutil.which("syncthing") is None:
        print("SKIP: syncthing is not installed (apt-get install syncthing)")
        return SKIPPED
    started = time.monotonic()
    root = tempfile.mkdtemp(prefix="kestrix-syncthing-")
    try:
        figures = merge_test(os.path.abspath(sys.argv[1]), root, started + BUDGET_S)
    except Skip as skip:
        print(f"SKIP: {skip}")
        return SKIPPED
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"run time {time.monotonic() - started:.1f} s", *figures, sep="\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
