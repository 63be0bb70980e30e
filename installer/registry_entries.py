"""What a DLL's regsvr32 added to HKEY_CLASSES_ROOT, as the <RegistryValue>
entries of a wixl package.

Windows Installer reads the Registry table's Key, Name and Value columns as
formatted text. Each text goes: .reg form -> plain text -> the scratch paths
cut out -> every bracket and brace escaped ([\\[] [\\]] [\\{] [\\}]), since
"[...]" names a property or file and a brace group may vanish ({{a}}, {},
x{{a}}y all install as nothing around them) -> the cut-out paths as the
installed file ([#FileId]) and folder ([DIRECTORY]) -> XML (ElementTree
escapes it).

Two views: HKLM\\SOFTWARE\\Classes is one key for 32-bit and 64-bit
processes, except CLSID, Interface, DirectShow, Media Type and
MediaFoundation, which exist once per view (Microsoft, "Registry Keys
Affected by WOW64"). A package that installs both DLLs gives each shared key
and value to one component only: two components that write one resource
break its reference count. The 64-bit component takes every shared entry that
the x64 DLL writes (its data where the two differ: the type library's
HELPDIR), the 32-bit one keeps the shared entries that only the i686 DLL
writes (TypeLib\\...\\win32).
"""

import re
import xml.etree.ElementTree as ET
from dataclasses import dataclass


ROOT = "HKEY_CLASSES_ROOT\\"
PER_VIEW_KEYS = {"clsid", "interface", "directshow", "media type", "mediafoundation"}
FORMATTED_SPECIAL = "[]{}"
# A lone + - or * as a value name, with no value, names a key action.
KEY_ACTIONS = {"+", "-", "*"}
XML_FORBIDDEN = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f]")


class PackagingError(Exception):
    pass


@dataclass(frozen=True)
class Scratch:
    """Where a DLL was registered, and what stands for it in the package."""
    dll: str        # Windows path of the scratch copy
    file_id: str    # its File Id in the package
    folder: str     # Windows path of its folder, with the trailing backslash
    directory: str  # that folder's Directory Id
    root: str       # Windows path below which nothing may be left in the data
    posix_root: str = ""

    def placeholders(self):
        return [(self.dll, f"[#{self.file_id}]"), (self.folder, f"[{self.directory}]")]


@dataclass(frozen=True)
class Row:
    """One Registry-table row in formatted text; NAME "" is the default value,
    "*" with VALUE "" a key that is created and removed with its subtree."""
    key: str
    name: str
    value: str
    owner: tuple  # what the row writes: (key, value name or None), folded


def added(before, after):
    """The Lines in AFTER that BEFORE lacks. A registration that removed or
    changed anything cannot be packaged. Wine's views show each redirected
    key again under HKCR\\Wow6432Node: that copy is left out."""
    kept = set(after)
    removed = [line for line in before if line not in kept]
    if removed:
        raise PackagingError("registration removed or changed entries: " +
                             "; ".join(map(str, removed[:10])))
    known = set(before)
    wow = (ROOT + "Wow6432Node\\").casefold()
    return [line for line in after if line not in known
            and not line.key.casefold().startswith(wow)
            and line.key.casefold() != wow[:-1]]


def per_view(key):
    """KEY (below HKEY_CLASSES_ROOT) exists once per view."""
    return key.split("\\", 1)[0].casefold() in PER_VIEW_KEYS


def reg_text(quoted):
    """The text of a string or value name that a .reg file writes as QUOTED."""
    body, text, i = quoted[1:-1], [], 0
    while i < len(body):
        if body[i] == "\\" and i + 1 < len(body):
            text.append({"n": "\n", "r": "\r"}.get(body[i + 1], body[i + 1]))
            i += 2
        else:
            text.append(body[i])
            i += 1
    return "".join(text)


def formatted(text):
    """Formatted text that Windows Installer resolves to TEXT itself."""
    return "".join(f"[\\{c}]" if c in FORMATTED_SPECIAL else c for c in text)


def formatted_with_paths(text, scratch, where):
    """TEXT as formatted text, the scratch DLL and folder as the installed
    ones. What is left around them must not name the scratch root, in
    whatever case: checked on the plain text, so escaping cannot hide it."""
    placeholders = scratch.placeholders()  # the DLL before its folder
    pattern = re.compile("|".join(f"({re.escape(path)})" for path, _ in placeholders),
                         re.IGNORECASE)
    pieces, at = [], 0
    for match in pattern.finditer(text):
        pieces.append(_literal(text[at:match.start()], scratch, where))
        pieces.append(placeholders[match.lastindex - 1][1])
        at = match.end()
    pieces.append(_literal(text[at:], scratch, where))
    return "".join(pieces)


def _literal(text, scratch, where):
    folded = text.casefold()
    for root in filter(None, (scratch.root, scratch.posix_root)):
        if root.casefold() in folded:
            raise PackagingError(f"a scratch path is left in {where}")
    return formatted(text)


def rows(lines, scratch):
    """The rows for LINES (one DLL's additions): one per value, with
    SCRATCH's paths as the installed ones; plus a "*" row per key that has
    neither values nor keys below it in LINES. Windows Installer makes every
    other key when it writes what lies below, and removes it on uninstall once
    it is empty; a "*" row on such a parent would delete its whole subtree,
    other products' entries with it."""
    filled = {(line.key if line.name is not None else line.key.rsplit("\\", 1)[0]).casefold()
              for line in lines}
    result = []
    for line in lines:
        if line.key.casefold() == ROOT[:-1].casefold() or not line.key.startswith(ROOT):
            raise PackagingError(f"not below HKEY_CLASSES_ROOT: {line.key}")
        key = line.key[len(ROOT):]
        _check_text(key, line.key, scratch)
        if line.name is None:
            if line.key.casefold() not in filled:
                result.append(Row(formatted(key), "*", "", (key.casefold(), None)))
            continue
        where = f"{line.key} : {line.name}"
        if not (len(line.data) >= 2 and line.data[0] == line.data[-1] == '"'):
            raise PackagingError(f"not a string value: {where} = {line.data}")
        name = "" if line.name == "@" else reg_text(line.name)
        _check_text(name, where, scratch)
        value = reg_text(line.data)
        if XML_FORBIDDEN.search(value):
            raise PackagingError(f"control characters that XML cannot carry in {where}")
        name_text = f"[\\{name}]" if name in KEY_ACTIONS else formatted(name)
        row = Row(formatted(key), name_text, formatted_with_paths(value, scratch, where),
                  (key.casefold(), name.casefold()))
        _check_code_page(row, where)
        result.append(row)
    return result


def _check_text(text, where, scratch):
    if XML_FORBIDDEN.search(text):
        raise PackagingError(f"control characters that XML cannot carry in {where}")
    _literal(text, scratch, where)


def _check_code_page(row, where):
    """The package's texts are Windows-1252 (its code page); wixl silently
    empties a text that it cannot convert."""
    try:
        (row.key + row.name + row.value).encode("cp1252")
    except UnicodeEncodeError:
        raise PackagingError(f"characters outside Windows-1252 in {where}") from None


def split_views(rows_32, rows_64, lines_64):
    """The rows of the 32-bit and of the 64-bit component of a package that
    installs both DLLs: each per-view row stays with its DLL, each shared
    key and value goes to one component (see the module's comment)."""
    keys_64 = set()
    for line in lines_64:
        key = line.key[len(ROOT):].casefold()
        while key:
            keys_64.add((key, None))
            key = key.rpartition("\\")[0]
    values_64 = {row.owner for row in rows_64}
    taken = keys_64 | values_64

    kept_32 = [row for row in rows_32 if per_view(row.owner[0]) or row.owner not in taken]
    return kept_32, rows_64


def write_include(rows_, path, comment):
    include = ET.Element("Include")
    include.append(ET.Comment(f" {comment} "))
    for row in rows_:
        attributes = {"Root": "HKCR", "Key": row.key}
        if row.name:
            attributes["Name"] = row.name
        attributes.update(Type="string", Value=row.value)
        ET.SubElement(include, "RegistryValue", attributes)
    ET.indent(include)
    ET.ElementTree(include).write(path, encoding="utf-8", xml_declaration=True)

