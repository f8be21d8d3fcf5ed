#!/usr/bin/env python3
"""Two clean builds of the same sources and values, in two directories, give the same program and
the same package, byte for byte, and neither program holds a path of the machine that built it.

    reproducible_test.py FIRST_BUILD SECOND_BUILD --forbid PATH...

A link timestamp, a build path (through __FILE__ or debug information), or a package entry dated
by the clock shows here as a difference; a path is looked for as UTF-8 and as UTF-16.
"""

import argparse
import glob
import hashlib
import os
import sys

from checks import Checks


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("first")
    parser.add_argument("second")
    parser.add_argument("--forbid", action="append", default=[])
    args = parser.parse_args()
    checks = Checks()
    check = checks.check

    exes = [os.path.join(build, "launcher.exe") for build in (args.first, args.second)]
    digests = [sha256(exe) for exe in exes]
    for exe, digest in zip(exes, digests):
        print(f"{digest}  {exe}")
    check(digests[0] == digests[1], "the two builds' launcher.exe differ")

    zips = [sorted(glob.glob(os.path.join(build, "*.zip"))) for build in (args.first, args.second)]
    check(len(zips[0]) == 1 and len(zips[1]) == 1, f"want one package in each build, got {zips}")
    if len(zips[0]) == 1 and len(zips[1]) == 1:
        check(os.path.basename(zips[0][0]) == os.path.basename(zips[1][0]),
              "the packages are named differently")
        check(sha256(zips[0][0]) == sha256(zips[1][0]), "the two builds' packages differ")

    for exe in exes:
        with open(exe, "rb") as f:
            data = f.read()
        for path in args.forbid:
            for encoding in ("utf-8", "utf-16-le"):
                check(path.encode(encoding) not in data,
                      f"{exe} holds the path {path} ({encoding})")

    return checks.report("reproducible")


if __name__ == "__main__":
    sys.exit(main())
