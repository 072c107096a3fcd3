"""A throwaway PostgreSQL cluster for the tests and the benchmark.

`PostgresCluster` runs Debian's own server binaries: `initdb` into a fresh
temporary directory, then `pg_ctl start` with the server listening on a Unix
socket inside that directory (and, when asked, on a free loopback port). The
server refuses to run as root, so under root every server command runs as an
unprivileged user (`postgres` where Debian's package created it, `nobody`
otherwise) through `runuser`, and the directory is handed to that user.
`stop()` stops the server and removes the directory; it also runs at exit.

bench/ledger.py imports this file by path, so it uses nothing from
pytest.
"""

import atexit
import glob
import os
import pwd
import re
import shutil
import socket
import subprocess
import tempfile
from typing import List, Optional

SERVER_GLOB = "/usr/lib/postgresql/*/bin"
SERVER_PROGRAMS = ("initdb", "pg_ctl")
# The socket file's name is derived from the port even when no TCP port is
# open; any number will do inside a private directory.
SOCKET_PORT = 5432
SUPERUSER = "orvex"
UNPRIVILEGED_USERS = ("postgres", "nobody")
START_TIMEOUT_SECONDS = 60


def server_bindir() -> Optional[str]:
    """The newest of Debian's server installations that has initdb and pg_ctl, or None."""
    def version(path: str) -> List[int]:
        return [int(part) for part in re.findall(r"\d+", os.path.basename(os.path.dirname(path)))]

    for bindir in sorted(glob.glob(SERVER_GLOB), key=version, reverse=True):
        if all(os.access(os.path.join(bindir, p), os.X_OK) for p in SERVER_PROGRAMS):
            return bindir
    return None


def missing_reason() -> Optional[str]:
    """Why a cluster cannot be started here (one line), or None when it can."""
    if server_bindir() is None:
        return ("no PostgreSQL server binaries (%s/initdb): install Debian's postgresql"
                % SERVER_GLOB)
    try:
        import psycopg  # noqa: F401
    except ImportError as error:
        return "psycopg 3 cannot be imported (%s): pip install 'orvex-core[postgres]'" % error
    if os.geteuid() == 0 and _unprivileged_user() is None:
        return "running as root and no unprivileged user (%s) to run the server" % (
            ", ".join(UNPRIVILEGED_USERS))
    return None


def _unprivileged_user() -> Optional[pwd.struct_passwd]:
    for name in UNPRIVILEGED_USERS:
        try:
            return pwd.getpwnam(name)
        except KeyError:
            continue
    return None


def _free_loopback_port() -> int:
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return int(probe.getsockname()[1])


class PostgresCluster:
    """One server on a fresh data directory. `durable=False` turns fsync off,
    which the tests use (nothing they check survives a power cut); the
    benchmark keeps the server's defaults."""

    def __init__(self, *, tcp: bool = False, durable: bool = True) -> None:
        bindir = server_bindir()
        if bindir is None:
            raise RuntimeError(missing_reason() or "no PostgreSQL server binaries")
        self.bindir = bindir
        self.root = tempfile.mkdtemp(prefix="orvex-pg-")
        self.data = os.path.join(self.root, "data")
        self.socket_dir = self.root
        self.log = os.path.join(self.root, "server.log")
        self.port = _free_loopback_port() if tcp else SOCKET_PORT
        self.tcp = tcp
        self.durable = durable
        self.user: Optional[pwd.struct_passwd] = None
        if os.geteuid() == 0:
            self.user = _unprivileged_user()
            if self.user is None:
                raise RuntimeError(missing_reason() or "no unprivileged user")
            os.chown(self.root, self.user.pw_uid, self.user.pw_gid)
        self.running = False
        atexit.register(self.stop)
        self._run("initdb", "-D", self.data, "-U", SUPERUSER, "-A", "trust", "-E", "UTF8",
                  "--no-locale", "--no-sync")
        self.start()

    def _run(self, program: str, *args: str) -> None:
        command = [os.path.join(self.bindir, program), *args]
        if self.user is not None:
            command = ["runuser", "-u", self.user.pw_name, "--", *command]
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              cwd=self.root, timeout=START_TIMEOUT_SECONDS)
        if done.returncode != 0:
            raise RuntimeError("%s failed (%d): %s%s" % (
                program, done.returncode, done.stdout.decode(errors="replace"), self.server_log()))

    def server_log(self) -> str:
        try:
            with open(self.log, encoding="utf-8", errors="replace") as log:
                return log.read()[-4000:]
        except OSError:
            return ""

    def start(self) -> None:
        """Starts the server; does nothing when it runs."""
        if self.running:
            return
        options = ["-k", self.socket_dir, "-p", str(self.port),
                   "-c", "listen_addresses=%s" % ("127.0.0.1" if self.tcp else ""),
                   "-c", "max_connections=200"]
        if not self.durable:
            options += ["-c", "fsync=off", "-c", "synchronous_commit=off",
                        "-c", "full_page_writes=off"]
        self._run("pg_ctl", "-D", self.data, "-l", self.log, "-w",
                  "-t", str(START_TIMEOUT_SECONDS), "-o", " ".join(options), "start")
        self.running = True

    def stop_server(self, mode: str = "fast") -> None:
        """Stops the server and keeps its data; `start()` brings it back."""
        if self.running:
            self.running = False
            self._run("pg_ctl", "-D", self.data, "-m", mode, "-w", "stop")

    def stop(self) -> None:
        """Stops the server and removes its directory; safe to call twice."""
        try:
            self.stop_server("immediate")
        finally:
            shutil.rmtree(self.root, ignore_errors=True)

    def dsn(self, dbname: str = "postgres", *, tcp: bool = False) -> str:
        host = "127.0.0.1" if tcp else self.socket_dir
        return "host=%s port=%d dbname=%s user=%s" % (host, self.port, dbname, SUPERUSER)

    def create_database(self, name: str) -> str:
        """A new empty database; returns its DSN (over the Unix socket)."""
        import psycopg
        from psycopg import sql
        with psycopg.connect(self.dsn(), autocommit=True) as connection:
            connection.execute(sql.SQL("CREATE DATABASE {}").format(sql.Identifier(name)))
        return self.dsn(name)
