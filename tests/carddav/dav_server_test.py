#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

"""The CardDAV client against a real server on the loopback.

Starts Debian's Radicale (with a user and password in a plain htpasswd
file) or Xandikos (which asks for no password) in a fresh folder on a free
port, runs the scenario child against it, and stops the server whatever
happens.
    dav_server_test.py radicale|xandikos SCENARIO_CHILD
Installs the server's package where it is missing (through sudo when not
root); exits with 77 (skipped) where it cannot be had or will not start.
"""

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
USER = "jo"
PASSWORD = "pa55:w\u00f6rd"
# A run takes a few seconds; a server that never listens, or a child that
# hangs, fails well before ctest's own limit.
START_S = 20
CHILD_S = 60


class Skip(Exception):
    pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def die_with_parent():
    # Should this driver be killed outright, the server goes with it.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def ensure_installed(package, program):
    if shutil.which(program):
        return
    as_root = [] if os.geteuid() == 0 else ["sudo", "-n"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    for step in (["apt-get", "update", "-qq"], ["apt-get", "install", "-y", "-qq", "--no-install-recommends", package]):
        try:
            done = subprocess.run(as_root + step, env=env, capture_output=True, text=True, timeout=300)
        except (OSError, subprocess.TimeoutExpired) as error:
            raise Skip(f"could not install {package}: {error}")
        if done.returncode != 0:
            raise Skip(f"could not install {package}: {done.stderr.strip()[-500:]}")
    if not shutil.which(program):
        raise Skip(f"{package} installed no {program}")


def radicale_command(root, port):
    users = os.path.join(root, "users")
    with open(users, "w", encoding="utf-8") as file:
        file.write(f"{USER}:{PASSWORD}\n")
    config = os.path.join(root, "config")
    with open(config, "w", encoding="utf-8") as file:
        file.write(f"""[server]
hosts = 127.0.0.1:{port}
[auth]
type = htpasswd
htpasswd_filename = {users}
htpasswd_encryption = plain
[rights]
type = owner_only
[storage]
filesystem_folder = {os.path.join(root, "collections")}
[web]
type = none
[logging]
level = warning
""")
    return ["radicale", "--config", config]


def xandikos_command(root, port):
    return ["xandikos", "--defaults", "-d", os.path.join(root, "data"), "-l", "127.0.0.1", "-p", str(port),
            "--current-user-principal", f"/{USER}/"]


# Each server's package, command, and what the scenario may expect of it.
# Xandikos asks for no password, and answers an unknown sync token with 500.
SERVERS = {
    "radicale": ("radicale", radicale_command, ["--token-errors"]),
    "xandikos": ("xandikos", xandikos_command, ["--no-auth"]),
}


def wait_for_port(port, server):
    deadline = time.monotonic() + START_S
    while time.monotonic() < deadline:
        if server.poll() is not None:
            raise Skip(f"the server ended at once with {server.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    raise Skip(f"the server did not listen within {START_S} s")


def run(name, child):
    package, command, extra = SERVERS[name]
    ensure_installed(package, package)
    with tempfile.TemporaryDirectory(prefix=f"kestrix-{name}-") as root:
        port = free_port()
        log_path = os.path.join(root, "server.log")
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": root, "LANG": "C.UTF-8"}
        with open(log_path, "wb") as log:
            server = subprocess.Popen(command(root, port), env=env, stdout=log, stderr=subprocess.STDOUT,
                                      stdin=subprocess.DEVNULL, start_new_session=True, preexec_fn=die_with_parent)
        try:
            wait_for_port(port, server)
            done = subprocess.run([child, f"http://127.0.0.1:{port}/", USER, PASSWORD] + extra,
                                  capture_output=True, text=True, timeout=CHILD_S, preexec_fn=die_with_parent)
            print(done.stdout, end="")
            print(done.stderr, end="", file=sys.stderr)
            if done.returncode != 0:
                with open(log_path, encoding="utf-8", errors="replace") as log:
                    print(f"--- {name}'s log ---\n{log.read()[-4000:]}", file=sys.stderr)
            return done.returncode
        finally:
            os.killpg(server.pid, signal.SIGKILL)
            server.wait()


def main():
    name, child = sys.argv[1], sys.argv[2]
    try:
        return run(name, child)
    except Skip as reason:
        print(f"SKIP: {reason}")
        return SKIPPED
    except subprocess.TimeoutExpired:
        print(f"FAIL: the scenario did not finish within {CHILD_S} s")
        return 1


if __name__ == "__main__":
    sys.exit(main())
