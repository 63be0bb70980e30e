#!/usr/bin/env python3
"""Builds the Windows Installer packages of Triveld from installer/Triveld.wxs.

  make_package.py OUTPUT_DIR --i686 DLL PROGRAM [--x64 DLL PROGRAM] [--version VERSION]
  make_package.py OUTPUT_DIR --remove-outputs

OUTPUT_DIR receives <ProductName>-<version>.msi, for 32-bit Windows, and with
--x64 <ProductName>-<version>-x64.msi, for 64-bit Windows; the files as
packaged: Triveld.dll and readiness_report.exe (i686), x64/Triveld.dll and
x64/readiness_report.exe; and SHA256SUMS for all of them. They appear
together at the end or not at all: the last run's outputs go first, before
anything can fail (--remove-outputs does only that). VERSION overrides the
DLL's own (for the upgrade tests).

The registry data is what each DLL itself registers: it is registered in a
fresh scratch prefix by the regsvr32 of its kind, its view of
HKEY_CLASSES_ROOT is compared before and after, and what was added becomes
the registry entries of its component (installer/registry_entries.py). With
a certificate (installer/authenticode.py) every program is signed before it
is registered and packaged, then each package.
"""

import argparse
import hashlib
import os
import re
import shutil
import signal
import sys
from dataclasses import dataclass
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import authenticode  # noqa: E402
import child_processes  # noqa: E402
import registry_entries  # noqa: E402
import registry_snapshot  # noqa: E402
from registry_entries import PackagingError  # noqa: E402

HERE = Path(__file__).resolve().parent
SUMS = "SHA256SUMS"
PROGRAM = "readiness_report.exe"


@dataclass(frozen=True)
class Architecture:
    """What differs between the two DLLs' parts of a package."""
    name: str          # the build's name, and the scratch folder's
    windres: str
    regsvr32: str      # the regsvr32 of the DLL's kind of process
    view: str          # its registry view, for registry_snapshot
    file_id: str       # the DLL's File Id in Triveld.wxs
    directory: str     # its folder's Directory Id
    output_dir: str    # where its files go in OUTPUT_DIR


I686 = Architecture("i686", "i686-w64-mingw32-windres", "C:\\windows\\syswow64\\regsvr32.exe",
                    "32", "TriveldDll", "INSTALLDIR", "")
X64 = Architecture("x64", "x86_64-w64-mingw32-windres", "C:\\windows\\system32\\regsvr32.exe",
                   "64", "TriveldDll64", "INSTALLDIR64", "x64")


def fail(message):
    raise PackagingError(message)


def remove_outputs(out):
    """Removes what the last run left in OUT: every file its SHA256SUMS lists,
    the files of this layout, then SHA256SUMS."""
    sums = out / SUMS
    names = {"Triveld.dll", PROGRAM, "x64/Triveld.dll", f"x64/{PROGRAM}"}
    if sums.is_file():
        for line in sums.read_text(errors="replace").splitlines():
            name = line[66:] if re.match(r"^[0-9a-f]{64} [ *]", line) else ""
            if name and not name.startswith("/") and ".." not in name.split("/"):
                names.add(name)
    for name in sorted(names):
        (out / name).unlink(missing_ok=True)
    sums.unlink(missing_ok=True)
    if (out / "x64").is_dir() and not any((out / "x64").iterdir()):
        (out / "x64").rmdir()


def version_resource(dll, architecture):
    """Product name, manufacturer, description and version from DLL's
    version resource."""
    if not dll.is_file():
        fail(f"no such DLL: {dll}")
    result = child_processes.run([architecture.windres, "-i", dll, "-O", "rc"])
    if result.returncode != 0:
        fail(f"cannot read the version resource of {dll}: {result.stderr.strip()}")

    def field(name):
        match = re.search(rf'^ *VALUE "{name}", "(.*)"$', result.stdout, re.MULTILINE)
        return match[1] if match else ""

    return {"ProductName": field("ProductName"), "Manufacturer": field("CompanyName"),
            "Description": field("FileDescription"), "FileVersion": field("ProductVersion")}


def product_code(seed):
    """One ProductCode per version and package: a rebuilt package of the same
    version is the same product; every new version is a new product that
    replaces the old (major upgrade)."""
    digest = hashlib.sha1(seed.encode()).hexdigest().upper()
    return (f"{digest[0:8]}-{digest[8:12]}-5{digest[13:16]}-A{digest[17:20]}-"
            f"{digest[20:32]}")


def next_version(version):
    """The smallest version above VERSION that Windows Installer tells apart
    (it compares three fields, at most 255.255.65535)."""
    major, minor, build = map(int, version.split("."))
    if build < 65535:
        return f"{major}.{minor}.{build + 1}"
    return f"{major}.{minor + 1}.0" if minor < 255 else f"{major + 1}.0.0"


def fresh_prefixes(work, architectures):
    """A fresh scratch prefix per architecture in WORK: one made by Wine, the
    others copies of it (making one takes 10 s, copying it 3 s)."""
    prefixes = [work / f"prefix-{architecture.name}" for architecture in architectures]
    for prefix in prefixes:
        child_processes.stop_wineserver(prefix)
        shutil.rmtree(prefix, ignore_errors=True)
    result = child_processes.in_prefix(prefixes[0], "cmd", "/c", "exit", "0")
    if result.returncode != 0:
        fail(f"cannot make the Wine prefix {prefixes[0]}: {result.stderr.strip()}")
    child_processes.stop_wineserver(prefixes[0])
    for prefix in prefixes[1:]:
        shutil.copytree(prefixes[0], prefix, symlinks=True)
    return prefixes


def register(work, prefix, architecture, dll):
    """The Lines that the DLL at DLL (in WORK) adds to its view when the
    regsvr32 of its kind registers it in the fresh scratch PREFIX."""
    snapshot = work / f"{architecture.name}-snapshot.reg"
    before = registry_snapshot.take(prefix, architecture.view, snapshot)
    result = child_processes.in_prefix(prefix, architecture.regsvr32, "/s",
                                       child_processes.windows_path(dll))
    if result.returncode != 0:
        fail(f"{architecture.regsvr32} failed to register {dll} (exit code {result.returncode})")
    after = registry_snapshot.take(prefix, architecture.view, snapshot)
    child_processes.stop_wineserver(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    registry_snapshot.write(before, work / f"{architecture.name}-before.txt")
    registry_snapshot.write(after, work / f"{architecture.name}-after.txt")
    lines = registry_entries.added(before, after)
    registry_snapshot.write(lines, work / f"{architecture.name}-added.txt")
    if not any(line.key.endswith("\\InprocServer32") for line in lines):
        fail(f"registering {dll} added no InprocServer32 key")
    return lines


def build_package(work, arch, name, variables, includes, signer):
    """NAME.msi in WORK/package-ARCH from Triveld.wxs; INCLUDES maps each
    include file to its rows."""
    folder = work / f"package-{arch}"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir()
    for include, rows in includes.items():
        registry_entries.write_include(rows, folder / include,
                                       "Generated by installer/make_package.py; do not edit.")
    msi = folder / name
    defines = [part for key, value in dict(variables, Arch=arch).items()
               for part in ("-D", f"{key}={value}")]
    # wixl finds sources relative to the working directory only, and stops
    # on an include folder named with non-ASCII letters: both relative.
    result = child_processes.run(["wixl", "-a", arch, "-I", folder.name, "-o", msi.relative_to(work),
                                  *defines, HERE / "Triveld.wxs"], cwd=work)
    if result.returncode != 0:
        fail(f"wixl failed on {name}:\n{result.stderr.strip()}")
    # wixl leaves the database at code page 0 (ignoring Codepage) with its
    # texts in Windows-1252; a machine with another ANSI code page would
    # install other letters.
    (folder / "_ForceCodepage.idt").write_bytes(b"\r\n\r\n1252\t_ForceCodepage\r\n")
    result = child_processes.run(["msibuild", msi, "-i", folder / "_ForceCodepage.idt"])
    if result.returncode != 0:
        fail(f"cannot set the code page of {name}: {result.stderr.strip()}")
    if signer:
        signer.sign(msi, variables["ProductName"])
    return msi


def stage(work, inputs, signer, name):
    """Copies each architecture's DLL and program to WORK/<architecture>,
    signed when SIGNER; returns each copy's name in OUTPUT_DIR."""
    staged = {}
    for architecture, (dll, program) in inputs.items():
        folder = work / architecture.name
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir()
        for source, file_name in ((dll, "Triveld.dll"), (program, PROGRAM)):
            if not source.is_file():
                fail(f"no such file: {source}")
            copy = folder / file_name
            shutil.copyfile(source, copy)
            if signer:
                signer.sign(copy, name)
            staged[copy] = Path(architecture.output_dir) / file_name
    return staged


def make(out, inputs, version, work):
    resource = version_resource(inputs[I686][0], I686)
    if X64 in inputs:
        other = version_resource(inputs[X64][0], X64)
        if any(other[field] != resource[field]
               for field in ("ProductName", "Manufacturer", "FileVersion")):
            fail(f"{inputs[X64][0]} and {inputs[I686][0]} are not one product and version")
    name = resource["ProductName"]
    version = version or resource["FileVersion"].rsplit(".", 1)[0]  # Windows Installer reads 3 fields
    if not (name and resource["Manufacturer"] and re.fullmatch(r"\d+\.\d+\.\d+", version)):
        fail(f"no product name, manufacturer or version in the version resource of "
             f"{inputs[I686][0]}")
    signer = authenticode.Signer.from_environment(os.environ, work)
    staged = stage(work, inputs, signer, name)
    lines = {}
    for architecture, prefix in zip(inputs, fresh_prefixes(work, list(inputs))):
        lines[architecture] = register(work, prefix, architecture,
                                       work / architecture.name / "Triveld.dll")

    rows = {}
    for architecture in inputs:
        folder = child_processes.windows_path(work / architecture.name) + "\\"
        scratch = registry_entries.Scratch(
            folder + "Triveld.dll", architecture.file_id, folder, architecture.directory,
            child_processes.windows_path(work), str(work.resolve()))
        rows[architecture] = registry_entries.rows(lines[architecture], scratch)

    variables = {"ProductName": name, "Manufacturer": resource["Manufacturer"],
                 "Description": resource["Description"], "Version": version,
                 "NextVersion": next_version(version),
                 "Dll": "i686/Triveld.dll", "Program": f"i686/{PROGRAM}"}
    packages = [build_package(
        work, "x86", f"{name}-{version}.msi",
        dict(variables, ProductCode=product_code(f"Triveld ProductCode {version}")),
        {"registry32.wxi": rows[I686]}, signer)]
    if X64 in inputs:
        rows_32, rows_64 = registry_entries.split_views(rows[I686], rows[X64], lines[X64])
        packages.append(build_package(
            work, "x64", f"{name}-{version}-x64.msi",
            dict(variables, ProductCode=product_code(f"Triveld x64 ProductCode {version}"),
                 Dll64="x64/Triveld.dll", Program64=f"x64/{PROGRAM}"),
            {"registry32.wxi": rows_32, "registry64.wxi": rows_64}, signer))
    for msi in packages:
        staged[msi] = Path(msi.name)
    publish(out, staged)
    return [out / msi.name for msi in packages]


def publish(out, staged):
    """Moves the STAGED files (path -> name in OUT) into OUT with their
    SHA256SUMS, that one last; an interrupt waits until all are there."""
    sums = "".join(f"{hashlib.sha256(path.read_bytes()).hexdigest()}  {target.as_posix()}\n"
                   for path, target in sorted(staged.items(), key=lambda item: str(item[1])))
    blocked = signal.pthread_sigmask(signal.SIG_BLOCK, child_processes.STOP_SIGNALS)
    try:
        for path, target in staged.items():
            (out / target).parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(path, out / f"{target}.new")
            os.replace(out / f"{target}.new", out / target)
        (out / f"{SUMS}.new").write_text(sums)
        os.replace(out / f"{SUMS}.new", out / SUMS)
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, blocked)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog="make_package.py", description=__doc__.split("\n")[0])
    parser.add_argument("output_dir", type=Path)
    parser.add_argument("--remove-outputs", action="store_true")
    parser.add_argument("--i686", nargs=2, type=Path, metavar=("DLL", "PROGRAM"))
    parser.add_argument("--x64", nargs=2, type=Path, metavar=("DLL", "PROGRAM"))
    parser.add_argument("--version")
    arguments = parser.parse_args(argv)
    if not arguments.remove_outputs and not arguments.i686:
        parser.error("--i686 DLL PROGRAM is required")
    return arguments


def main(argv):
    arguments = parse_arguments(argv)
    out = arguments.output_dir.resolve()
    out.mkdir(parents=True, exist_ok=True)
    remove_outputs(out)
    if arguments.remove_outputs:
        return 0
    inputs = {I686: tuple(path.resolve() for path in arguments.i686)}
    if arguments.x64:
        inputs[X64] = tuple(path.resolve() for path in arguments.x64)
    work = out / "package-work"
    work.mkdir(exist_ok=True)
    child_processes.catch_interrupts()
    try:
        for msi in make(out, inputs, arguments.version, work):
            print(msi)
        return 0
    except child_processes.Interrupted as interrupted:
        stop(work)
        print(f"make_package: interrupted ({interrupted}); nothing was built", file=sys.stderr)
        signal.signal(interrupted.signum, signal.SIG_DFL)
        os.kill(os.getpid(), interrupted.signum)
        return 128 + interrupted.signum
    except (PackagingError, authenticode.SigningError, registry_snapshot.SnapshotError) as error:
        stop(work)
        print(f"make_package: {error}\nmake_package: nothing was built", file=sys.stderr)
        return 1


def stop(work):
    """After a failure: no child, no wineserver, no scratch prefix left."""
    for signum in child_processes.STOP_SIGNALS:
        signal.signal(signum, signal.SIG_IGN)
    child_processes.stop_all()
    for prefix in work.glob("prefix-*"):
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
