#!/usr/bin/env python3
"""A deployer's signed launcher goes into the package in place of the built one, and only a signed
copy of this very build is accepted.

    signed_package_test.py BUILD --cmake CMAKE --cpack CPACK --osslsigncode O --openssl S
                           --name N --version V

Signs BUILD/launcher.exe with a throwaway self-signed certificate (no timestamp server: no
network), configures BUILD with LAUNCHER_SIGNED_EXE and packages it. Then each refused case: a
file signed from a launcher that differs in one byte (another build, other values), the unsigned
launcher itself, a missing file. BUILD is configured back to LAUNCHER_SIGNED_EXE="" and packaged
again at the end.
"""

import argparse
import os
import subprocess
import sys
import zipfile

from checks import Checks


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    for option in ("--cmake", "--cpack", "--osslsigncode", "--openssl", "--name", "--version"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    work = os.path.join(args.build, "signing-test")
    os.makedirs(work, exist_ok=True)
    checks = Checks()
    check = checks.check

    def run(command, **kwargs):
        return subprocess.run(command, capture_output=True, text=True, **kwargs)

    def required(command):
        result = run(command)
        if result.returncode != 0:
            sys.exit(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")

    key, cert, pfx = (os.path.join(work, n) for n in ("key.pem", "cert.pem", "cert.pfx"))
    required([args.openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
              "-out", cert, "-days", "1", "-subj", "/CN=Release Test Publisher"])
    required([args.openssl, "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
              "-passout", "pass:test"])

    def sign(source, target):
        if os.path.exists(target):
            os.remove(target)
        required([args.osslsigncode, "sign", "-pkcs12", pfx, "-pass", "test", "-n", args.name,
                  "-in", source, "-out", target])

    launcher = os.path.join(args.build, "launcher.exe")
    with open(launcher, "rb") as f:
        built = f.read()
    signed = os.path.join(work, "signed.exe")
    sign(launcher, signed)
    other_build = os.path.join(work, "other-build.exe")
    with open(other_build, "wb") as f:
        middle = len(built) // 2
        f.write(built[:middle] + bytes([built[middle] ^ 1]) + built[middle + 1:])
    signed_other = os.path.join(work, "signed-other-build.exe")
    sign(other_build, signed_other)

    package = os.path.join(args.build, f"{args.name}-{args.version}-win64.zip")
    program = f"{args.name}.exe"

    def package_with(exe):
        configured = run([args.cmake, args.build, f"-DLAUNCHER_SIGNED_EXE={exe}"])
        if configured.returncode != 0:
            return configured
        if os.path.exists(package):
            os.remove(package)
        return run([args.cpack], cwd=args.build)

    result = package_with(signed)
    check(result.returncode == 0, f"packaging the signed launcher failed:\n{result.stdout}")
    if result.returncode == 0:
        with zipfile.ZipFile(package) as archive, open(signed, "rb") as f:
            check(archive.read(program) == f.read(), f"{program} is not the signed launcher")

    refused = [
        ("signed from another build", signed_other, "is not a signed copy of this build's"),
        ("the unsigned launcher", launcher, "it holds no signature"),
        ("a missing file", os.path.join(work, "missing.exe"), "the file does not exist"),
    ]
    for what, exe, expected in refused:
        result = package_with(exe)
        output = " ".join((result.stdout + result.stderr).split())
        check(result.returncode != 0, f"{what}: packaged")
        check(expected in output, f"{what}: no {expected!r} in:\n{output}")
        check(not os.path.exists(package), f"{what}: a package was written")

    result = package_with("")
    check(result.returncode == 0, f"packaging the built launcher again failed:\n{result.stdout}")

    return checks.report("signed package")


if __name__ == "__main__":
    sys.exit(main())
