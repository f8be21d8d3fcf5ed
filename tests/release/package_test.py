#!/usr/bin/env python3
"""The package holds the launcher as "<APP_NAME>.exe", unchanged, and a README.txt that tells its
users what the program opens, which browsers it looks for (the launcher's own candidates, read
from launcher/constants.h, in their order) and that it installs nothing.

    package_test.py BUILD --name N --version V --url U --constants launcher/constants.h
"""

import argparse
import os
import re
import sys
import zipfile

from checks import Checks


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--name", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--url", required=True)
    parser.add_argument("--constants", required=True)
    args = parser.parse_args()
    checks = Checks()
    check = checks.check

    package = os.path.join(args.build, f"{args.name}-{args.version}-win64.zip")
    if not os.path.exists(package):
        check(False, f"no package {package}")
        return checks.report("package")
    with open(os.path.join(args.build, "launcher.exe"), "rb") as f:
        built = f.read()
    with zipfile.ZipFile(package) as archive:
        check(archive.testzip() is None, "a damaged entry")
        names = sorted(archive.namelist())
        program = f"{args.name}.exe"
        check(names == sorted([program, "README.txt"]), f"entries {names}")
        check(program in names and archive.read(program) == built,
              f"{program} is not the built launcher.exe")
        readme_bytes = archive.read("README.txt") if "README.txt" in names else b""

    readme = readme_bytes.decode("utf-8", errors="replace")
    # Notepad before Windows 10 1903 reads UTF-8 as such only after a byte order mark.
    check(readme_bytes.startswith(b"\xef\xbb\xbf") == (not readme.isascii()),
          "README.txt: want a byte order mark exactly when it is not all ASCII")
    check(readme_bytes.count(b"\n") > 0 and
          readme_bytes.count(b"\n") == readme_bytes.count(b"\r\n"),
          "README.txt lines do not all end in CRLF")
    for text in (args.name, args.url, args.version, program):
        check(text in readme, f"README.txt does not mention {text!r}")
    with open(args.constants, encoding="utf-8") as f:
        constants = f.read()
    block = re.search(r"BROWSER_CANDIDATES\s*=\s*\{(.*?)\};", constants, re.S)
    candidates = re.findall(r'R"\((.*?)\)"', block.group(1)) if block else []
    check(len(candidates) > 0, "found no browser candidate in launcher/constants.h")
    positions = [readme.find(path) for path in candidates]
    check(all(p >= 0 for p in positions) and positions == sorted(positions),
          f"README.txt does not list {candidates} in this order")
    for browser in ("Microsoft Edge", "Google Chrome"):
        check(browser in readme, f"README.txt does not name {browser}")
    check("default web browser" in readme, "README.txt does not mention the fallback")
    check("nothing to install" in readme.lower(), "README.txt does not say it installs nothing")

    return checks.report("package")


if __name__ == "__main__":
    sys.exit(main())
