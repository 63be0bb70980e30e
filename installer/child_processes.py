"""The package build's child processes, and stopping them on an interrupt.

Every child runs in a session of its own, so that a Ctrl-C reaches this
program alone: Wine's programs catch SIGINT and carry on as if nothing had
happened. An interrupt (SIGINT, SIGTERM, SIGHUP) becomes an Interrupted
exception; stop_all() then kills the running children and the wineserver of
every prefix that a child ran in (cmake/wine_run.sh leaves one behind, in a
session of its own, for 30 seconds).
"""

import os
import signal
import subprocess
from pathlib import Path

WINE_RUN = Path(__file__).resolve().parent.parent / "cmake" / "wine_run.sh"
WINESERVER = "/usr/lib/wine/wineserver64"
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)

_running = set()
_prefixes = set()


class Interrupted(Exception):
    def __init__(self, signum):
        super().__init__(signal.Signals(signum).name)
        self.signum = signum


def _raise_interrupted(signum, _frame):
    raise Interrupted(signum)


def catch_interrupts():
    """Turns the stop signals into Interrupted, except those that the caller
    made this program ignore (nohup, a background job of a script)."""
    for signum in STOP_SIGNALS:
        if signal.getsignal(signum) is not signal.SIG_IGN:
            signal.signal(signum, _raise_interrupted)


def run(command, *, stdin_bytes=None, cwd=None, env=None):
    """Runs COMMAND to its end; returns a CompletedProcess with its output as text."""
    process = subprocess.Popen(
        [str(part) for part in command], cwd=cwd, env=env, start_new_session=True,
        stdin=subprocess.PIPE if stdin_bytes is not None else subprocess.DEVNULL,
        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    _running.add(process)
    try:
        stdout, stderr = process.communicate(stdin_bytes)
    finally:
        if process.returncode is None:
            _kill(process)
        _running.discard(process)
    return subprocess.CompletedProcess(command, process.returncode,
                                       stdout.decode(errors="replace"),
                                       stderr.decode(errors="replace"))


def in_prefix(prefix, program, *args):
    """Runs a Windows PROGRAM in the Wine prefix PREFIX (cmake/wine_run.sh)."""
    _prefixes.add(Path(prefix))
    return run([WINE_RUN, prefix, program, *args],
               env=dict(os.environ, WINEDEBUG=os.environ.get("WINEDEBUG", "-all")))


def stop_wineserver(prefix):
    subprocess.run([WINESERVER, "-k"], env=dict(os.environ, WINEPREFIX=str(prefix)),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)


def stop_all():
    """Kills the running children, then every wineserver they used."""
    for process in list(_running):
        _kill(process)
    for prefix in sorted(_prefixes):
        stop_wineserver(prefix)


def _kill(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def windows_path(path):
    """PATH as Wine's Z: drive names it."""
    return "Z:" + os.path.realpath(path).replace("/", "\\")
