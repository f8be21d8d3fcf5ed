#!/usr/bin/env python3
"""Builds and packages the launcher twice from scratch, in two directories whose paths differ in
length, with the same cache values, for the release tests to compare and inspect.

    release_builds.py SOURCE WORK --cmake CMAKE --cpack CPACK --toolchain FILE --generator G
                      --build-type T [--icon-script make_icon.py] --set NAME=VALUE...

WORK/first and WORK/second-copy-at-another-path are removed first. With --icon-script an icon of
its own is made at WORK/test.ico (other colour, two sizes), for a --set APP_ICON=WORK/test.ico to
prove that APP_ICON reaches the program. The values go in through an initial-cache script, as a
deployer's would through -D.
"""

import argparse
import os
import shutil
import subprocess
import sys

COPIES = ("first", "second-copy-at-another-path")


def run(command, cwd=None):
    print("+", " ".join(command), flush=True)
    subprocess.run(command, cwd=cwd, check=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("work")
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--toolchain", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--build-type", required=True)
    parser.add_argument("--icon-script")
    parser.add_argument("--set", action="append", default=[])
    args = parser.parse_args()

    os.makedirs(args.work, exist_ok=True)
    if args.icon_script:
        run([sys.executable, args.icon_script, os.path.join(args.work, "test.ico"),
             "--sizes", "16,32", "--color", "C2410C"])
    cache = os.path.join(args.work, "values.cmake")
    with open(cache, "w", encoding="utf-8") as f:
        for item in args.set:
            name, value = item.split("=", 1)
            f.write(f'set({name} [==[{value}]==] CACHE STRING "")\n')

    for copy in COPIES:
        build = os.path.join(args.work, copy)
        shutil.rmtree(build, ignore_errors=True)
        run([args.cmake, "-S", args.source, "-B", build, "-G", args.generator,
             f"--toolchain={args.toolchain}", f"-DCMAKE_BUILD_TYPE={args.build_type}",
             "-DLAUNCHER_TESTS=OFF", "-C", cache])
        run([args.cmake, "--build", build, "--target", "launcher"])
        run([args.cpack], cwd=build)
    return 0


if __name__ == "__main__":
    sys.exit(main())
