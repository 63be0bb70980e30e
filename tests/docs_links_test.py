#!/usr/bin/env python3
"""Checks README.md and docs/*.md: every relative link reaches a file, and a
heading where it names one (#anchor); every source path that docs/design.md
names in backticks exists. Usage: docs_links_test.py SOURCE_DIR"""
import pathlib
import re
import sys

LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
CODE_SPAN = re.compile(r"`[^`]*`")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")


def blank_code(text):
    """The text with code blocks and code spans blanked, lines kept in place."""
    lines, in_block, previous_blank = [], False, True
    for line in text.split("\n"):
        if line.strip():
            in_block = line.startswith("    ") and (in_block or previous_blank)
        previous_blank = not line.strip()
        lines.append("" if in_block else line)
    return CODE_SPAN.sub(lambda m: re.sub(r"[^\n]", " ", m.group()), "\n".join(lines))


def anchors(path):
    """The anchors of the headings in a Markdown file, as GitHub makes them."""
    found = set()
    for line in blank_code(path.read_text(encoding="utf-8")).split("\n"):
        match = HEADING.match(line)
        if not match:
            continue
        slug = re.sub(r"[^\w\- ]", "", match.group(2).replace("`", "").lower()).replace(" ", "-")
        unique, n = slug, 0
        while unique in found:
            n += 1
            unique = f"{slug}-{n}"
        found.add(unique)
    return found


def check(root):
    problems, links = [], 0
    documents = [root / "README.md"] + sorted((root / "docs").glob("*.md"))
    for document in documents:
        text = blank_code(document.read_text(encoding="utf-8"))
        for match in LINK.finditer(text):
            target, links = match.group(1), links + 1
            where = f"{document.relative_to(root)}:{text.count(chr(10), 0, match.start()) + 1}"
            if re.match(r"[a-z][a-z0-9+.-]*:", target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = (document.parent / file_part).resolve() if file_part else document
            if not linked.exists():
                problems.append(f"{where}: {target}: no such file")
            elif anchor and linked.suffix == ".md" and anchor not in anchors(linked):
                problems.append(f"{where}: {target}: no heading #{anchor} in {linked.name}")
    design = root / "docs" / "design.md"
    text = design.read_text(encoding="utf-8")
    paths = [m for m in CODE_SPAN.finditer(text) if re.fullmatch(r"`[\w.\-]+/[\w.\-/]*`", m.group())]
    for match in paths:
        if not (root / match.group().strip("`")).exists():
            line = text.count("\n", 0, match.start()) + 1
            problems.append(f"docs/design.md:{line}: {match.group()}: no such path")
    for problem in problems:
        print(problem)
    print(f"{len(documents)} documents, {links} links, {len(paths)} paths in docs/design.md, "
          f"{len(problems)} broken")
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(check(pathlib.Path(sys.argv[1]).resolve()))
