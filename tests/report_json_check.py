"""Checks of readiness_report.js's JSON output with Python's own json module,
for samples_test.sh. The document to check comes on standard input.

  report_json_check.py report TABLE            the /json report equals the table
  report_json_check.py row EXIT EXAMPLE CHANGES PROBLEMS
                                               a workstation table row's report:
                                               the example's answers but for the
                                               changes (MEMBER:VALUE[@HRESULT]
                                               words), the verdict of that exit
                                               code and those problems ("; ")
  report_json_check.py encoder                 report_json_test.js's lines
Exits 1 with the reasons on a mismatch."""
import json
import re
import struct
import sys

MEMBERS = ["GetPhysicalMemory", "Is64BitOS", "DoNotUpgradeTo64", "NetVersion", "ViewerType",
           "ViewerVersion", "GetLastClientInstallStatus"]
AWKWARD_STRINGS = 10


def table_rows(text):
    """Answer name -> (result, value) from the table's fixed columns."""
    rows = {}
    for line in text.splitlines():
        if len(line) > 46 and not line.startswith(("Answer", "------")):
            name = line[:34].strip().split("(")[0].strip()
            if "(write back)" in line[:34]:
                name = "DoNotUpgradeTo64Write"
            rows[name] = (line[34:46].strip(), line[46:])
    return rows


def table_value(name, text):
    if name in ("GetPhysicalMemory", "ViewerType", "GetLastClientInstallStatus"):
        return int(text.split()[0])
    if name == "Is64BitOS":
        return {"yes": True, "no": False}[text]
    if name == "DoNotUpgradeTo64":
        return {"set": True, "clear": False}[text]
    if name == "DoNotUpgradeTo64Write":
        return text == "written"
    return text


def check_header(report):
    errors = []
    if report.get("schema") != 1:
        errors.append("schema %r" % report.get("schema"))
    computer = report.get("computer")
    if not isinstance(computer, str) or not re.fullmatch(r"[^\x00-\x1f]+", computer):
        errors.append("computer %r" % computer)
    if not re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", str(report.get("time"))):
        errors.append("time %r" % report.get("time"))
    return errors


def check_report(table, document):
    report = json.loads(document)
    rows = table_rows(table)
    errors = check_header(report)
    for name in MEMBERS + ["DoNotUpgradeTo64Write"]:
        result, text = rows[name]
        expected = {"value": table_value(name, text), "hresult": "0x00000000"}
        if result != "S_OK" or report.get(name) != expected:
            errors.append("%s: JSON %r, table %s %r" % (name, report.get(name), result, text))
    if report.get("verdict") != "READY" or report.get("problems") != []:
        errors.append("verdict %r, problems %r" % (report.get("verdict"), report.get("problems")))
    return errors


def answers_of(words):
    """MEMBER:VALUE[@HRESULT] words -> {MEMBER: {"value": VALUE, "hresult": HRESULT}}."""
    answers = {}
    for word in words.split():
        name, _, rest = word.partition(":")
        value, _, hresult = rest.partition("@")
        answers[name] = {"value": json.loads(value), "hresult": hresult or "0x00000000"}
    return answers


def check_row(exit_code, example, changes, problems, document):
    report = json.loads(document)
    errors = check_header(report)
    expected = answers_of(example)
    expected.update(answers_of(changes))
    members = MEMBERS + ["DoNotUpgradeTo64Write"]
    for name in members:
        if report.get(name) != expected.get(name):
            errors.append("%s: %r, expected %r" % (name, report.get(name), expected.get(name)))
    order = ["schema", "computer", "time"] + [name for name in members if name in expected]
    if list(report) != order + ["verdict", "problems"]:
        errors.append("members %r" % list(report))
    verdict = "READY" if exit_code == "0" else "NOT READY"
    listed = problems.split("; ") if problems else []
    if report.get("verdict") != verdict or report.get("problems") != listed:
        errors.append("verdict %r, problems %r; expected %r, %r"
                      % (report.get("verdict"), report.get("problems"), verdict, listed))
    return errors


def check_encoder(document):
    errors = []
    lines = document.split("\n")
    # A case line starts with its units, or with the tab for the empty string.
    cases = [line.split("\t") for line in lines if line[:1].isdigit() or line[:1] == "\t"]
    if len(cases) != AWKWARD_STRINGS:
        errors.append("%d strings encoded, %d expected" % (len(cases), AWKWARD_STRINGS))
    for units, encoded in cases:
        codes = [int(unit) for unit in units.split(",") if unit]
        text = struct.pack("<%dH" % len(codes), *codes).decode("utf-16-le", "surrogatepass")
        if not all(" " <= character <= "~" for character in encoded):
            errors.append("not printable ASCII: %r" % encoded)
        elif json.loads(encoded) != text:
            errors.append("%r encoded as %s" % (text, encoded))
    expected_object = {"n": -1, "t": True, "f": False, "z": None, "a": [0, "\u00e9", []], "o": {}}
    tail = {line.split("\t")[0]: line.split("\t", 1)[-1] for line in lines}
    if json.loads(tail.get("object", "null")) != expected_object:
        errors.append("object encoded as %r" % tail.get("object"))
    if tail.get("unexpected") != "4":
        errors.append("exit code for an unexpected error: %r" % tail.get("unexpected"))
    if "end" not in tail:
        errors.append("the test script did not finish")
    return errors


def main():
    document = sys.stdin.read()
    try:
        if sys.argv[1] == "report":
            errors = check_report(sys.argv[2], document)
        elif sys.argv[1] == "row":
            errors = check_row(*sys.argv[2:6], document)
        else:
            errors = check_encoder(document)
    except (ValueError, KeyError) as error:
        errors = ["%s: %r" % (type(error).__name__, error)]
    for error in errors:
        print("JSON check: " + error)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
