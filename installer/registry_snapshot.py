#!/usr/bin/env python3
"""One registry view of HKEY_CLASSES_ROOT in a Wine prefix, as a process of
that view's own kind sees it: the 32-bit view through the 32-bit reg.exe
(C:\\windows\\syswow64), the 64-bit view through the 64-bit one. No
KEY_WOW64_32KEY (/reg:32) from a 64-bit process: Wine 8 sends that flag's
opens of shared keys, such as a ProgID, to a Wow6432Node\\Classes key that no
32-bit process sees.

A snapshot is a list of Lines, one per key ("KEY") and per value
("KEY<tab>NAME<tab>DATA"), sorted by code point (the C collation of their
UTF-8 form). NAME and DATA are as a .reg file writes them: @ the default
value, a named value in quotes (so that a value named "@" stays apart), data
as "text", dword:..., hex(N):...

Usage: registry_snapshot.py PREFIX 32|64 OUTPUT
"""

import os
import re
import sys
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import child_processes  # noqa: E402

REG_EXE = {"32": "C:\\windows\\syswow64\\reg.exe", "64": "C:\\windows\\system32\\reg.exe"}
QUOTED_NAME = re.compile(r'"(?:[^"\\]|\\.)*"')


class SnapshotError(Exception):
    pass


@dataclass(frozen=True)
class Line:
    key: str
    name: str = None
    data: str = None

    def __str__(self):
        return self.key if self.name is None else f"{self.key}\t{self.name}\t{self.data}"

    @classmethod
    def parse(cls, text):
        key, tab, rest = text.partition("\t")
        if not tab:
            return cls(key)
        name = "@" if rest.startswith("@\t") else (QUOTED_NAME.match(rest) or [None])[0]
        if name is None or rest[len(name):len(name) + 1] != "\t":
            raise SnapshotError(f"not a snapshot line: {text}")
        return cls(key, name, rest[len(name) + 1:])


def parse_export(text):
    """The Lines of a .reg export (UTF-16 decoded), continuation lines joined."""
    lines, key, pending = [], None, ""
    for raw in text.replace("\r", "").split("\n"):
        raw, pending = pending + raw, ""
        if raw.endswith("\\") and not raw.startswith("["):
            pending = raw[:-1]
            continue
        if raw.startswith("[") and raw.endswith("]"):
            key = raw[1:-1]
            lines.append(Line(key))
        elif raw.startswith("@="):
            lines.append(Line(key, "@", raw[2:]))
        elif raw.startswith('"') and (name := QUOTED_NAME.match(raw)) and \
                raw[name.end():name.end() + 1] == "=":
            lines.append(Line(key, name[0], raw[name.end() + 1:]))
        elif raw.strip() and not raw.startswith("Windows Registry Editor"):
            raise SnapshotError(f"unparsed line of the export: {raw}")
    return sorted(lines, key=str)


def take(prefix, view, export_file):
    """The snapshot of VIEW ("32" or "64") in PREFIX, exported through EXPORT_FILE."""
    result = child_processes.in_prefix(prefix, REG_EXE[view], "export", "HKCR",
                                       child_processes.windows_path(export_file), "/y")
    try:
        if result.returncode != 0:
            raise SnapshotError(f"the {view}-bit reg.exe could not export HKCR in {prefix}: "
                                f"{result.stdout.strip()} {result.stderr.strip()}")
        return parse_export(Path(export_file).read_bytes().decode("utf-16"))
    finally:
        Path(export_file).unlink(missing_ok=True)


def write(lines, path):
    Path(path).write_text("".join(f"{line}\n" for line in lines), encoding="utf-8")


def read(path):
    return [Line.parse(text) for text in Path(path).read_text(encoding="utf-8").splitlines()]


def main(argv):
    if len(argv) != 4 or argv[2] not in REG_EXE:
        print(__doc__.rsplit("Usage: ", 1)[1].strip(), file=sys.stderr)
        return 2
    output = os.path.realpath(argv[3])
    try:
        write(take(argv[1], argv[2], output + ".reg"), output)
    except SnapshotError as error:
        print(f"registry_snapshot: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
