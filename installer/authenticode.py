"""Authenticode signatures (SHA-256, osslsigncode) on the package's files.

The certificate comes from the environment:
  TRIVELD_SIGN_PFX            PKCS#12 file: the code-signing certificate, its
                              private key and the chain up to the root
  TRIVELD_SIGN_PASSWORD_FILE  file whose first line is the PKCS#12 password
  TRIVELD_SIGN_TIMESTAMP_URL  optional RFC 3161 time-stamping server
  TRIVELD_SIGN_TSA_CERT and TRIVELD_SIGN_TSA_KEY
                              optional instead of a server: a time-stamping
                              authority's certificate chain and key, to stamp
                              offline
Without TRIVELD_SIGN_PFX nothing is signed. Each signature is verified right
after signing, against the chain in the PKCS#12 file and the system's
trusted roots: an expired certificate, or one without the code-signing
usage, signs without complaint but does not verify.
"""

import os
import re
import sys
from pathlib import Path

import child_processes

SYSTEM_ROOTS = Path("/etc/ssl/certs/ca-certificates.crt")
REASON = re.compile(r"error|failed|unsupported|expired|unable", re.IGNORECASE)


class SigningError(Exception):
    pass


def _reasons(result):
    """osslsigncode's or openssl's own words for a failure, each line once."""
    lines = [line.strip() for line in (result.stderr + result.stdout).splitlines()]
    picked = [line for line in lines if REASON.search(line)] or [line for line in lines if line]
    return "\n".join(dict.fromkeys(picked))


class Signer:
    def __init__(self, pfx, password, trusted, timestamp_options):
        self.pfx = pfx
        self.password = password
        self.trusted = trusted
        self.timestamp_options = timestamp_options

    @classmethod
    def from_environment(cls, environ, work):
        """The Signer that the environment asks for, None for none (said in one
        line); stops with the reason a signing set-up cannot work, before any
        file is touched."""
        pfx = environ.get("TRIVELD_SIGN_PFX", "")
        if not pfx:
            print("Not signed: TRIVELD_SIGN_PFX is not set.", file=sys.stderr)
            return None
        for variable in ("TRIVELD_SIGN_PFX", "TRIVELD_SIGN_PASSWORD_FILE"):
            path = environ.get(variable, "")
            if not path:
                raise SigningError(f"{variable} is not set")
            if not (os.path.isfile(path) and os.access(path, os.R_OK)):
                raise SigningError(f"cannot read {variable}={path}")
        password = _first_line(environ["TRIVELD_SIGN_PASSWORD_FILE"])
        options = []
        if environ.get("TRIVELD_SIGN_TIMESTAMP_URL"):
            options += ["-ts", environ["TRIVELD_SIGN_TIMESTAMP_URL"]]
        tsa = [environ.get("TRIVELD_SIGN_TSA_CERT", ""), environ.get("TRIVELD_SIGN_TSA_KEY", "")]
        if any(tsa):
            if not all(path and os.access(path, os.R_OK) for path in tsa):
                raise SigningError("TRIVELD_SIGN_TSA_CERT and TRIVELD_SIGN_TSA_KEY must both name "
                                   "readable files")
            options += ["-TSA-certs", tsa[0], "-TSA-key", tsa[1]]
        if not options:
            print("signing: warning: no time-stamp source (TRIVELD_SIGN_TIMESTAMP_URL, or "
                  "TRIVELD_SIGN_TSA_CERT and TRIVELD_SIGN_TSA_KEY): the signatures stop "
                  "verifying when the certificate expires", file=sys.stderr)
        trusted = Path(work) / "signing-trusted.pem"
        trusted.write_text(_chain(pfx, password) +
                           (SYSTEM_ROOTS.read_text() if SYSTEM_ROOTS.is_file() else ""))
        return cls(pfx, password, trusted, options)

    def sign(self, path, description):
        """Signs PATH in place, DESCRIPTION being the program name that Windows
        shows for the signature (the elevation prompt of a package). PATH is
        replaced only by a signed copy whose signature verifies."""
        signed = Path(f"{path}.signing")
        signed.unlink(missing_ok=True)
        try:
            result = child_processes.run(
                ["osslsigncode", "sign", "-pkcs12", self.pfx, "-readpass", "/dev/stdin",
                 "-h", "sha256", "-n", description, *self.timestamp_options,
                 "-in", path, "-out", signed], stdin_bytes=self.password)
            if result.returncode != 0:
                raise SigningError(
                    f"osslsigncode cannot sign {path} with TRIVELD_SIGN_PFX={self.pfx} "
                    f"(time-stamp server unreachable?):\n{_reasons(result)}")
            self.verify(signed, path)
            os.replace(signed, path)
        finally:
            signed.unlink(missing_ok=True)

    def verify(self, path, shown_as):
        result = child_processes.run(
            ["osslsigncode", "verify", "-CAfile", self.trusted, "-TSA-CAfile", self.trusted,
             "-in", path])
        if result.returncode != 0 or "Signature verification: ok" not in result.stdout:
            raise SigningError(f"the signature on {shown_as} does not verify against the chain "
                               f"in TRIVELD_SIGN_PFX={self.pfx}:\n{_reasons(result)}")


def _first_line(path):
    """The password: the file's first line, without its line break."""
    return Path(path).read_bytes().split(b"\n", 1)[0].removesuffix(b"\r")


def _chain(pfx, password):
    """The CA certificates in PFX, as PEM. Older Windows exports need
    OpenSSL 3's legacy algorithms."""
    first = None
    for extra in ([], ["-legacy"]):
        result = child_processes.run(
            ["openssl", "pkcs12", "-in", pfx, "-passin", "stdin", "-nokeys", "-cacerts",
             *extra], stdin_bytes=password + b"\n")
        if result.returncode == 0:
            return result.stdout
        first = first or result
    raise SigningError(f"cannot open TRIVELD_SIGN_PFX={pfx} with the password in "
                       f"TRIVELD_SIGN_PASSWORD_FILE (wrong password, or not a PKCS#12 file?):\n"
                       f"{_reasons(first)}")
