#!/usr/bin/env python3
"""launcher.exe carries the resources it was configured with, as Windows reads them.

    resources_test.py EXE --name N --version V --publisher P --icon ICO

- The version resource: binary file and product versions, file type and OS, and the strings
  Explorer shows under Details (ProductName, CompanyName, FileDescription, the versions,
  OriginalFilename as packaged), in the one string table its translation names. A lost
  code-page pragma shows here as a non-ASCII name read back as other characters.
- The icon: one icon group whose images are those of ICO, byte for byte, in its order.
- The manifest: RT_MANIFEST resource 1, well-formed XML, asInvoker without UI access, and the
  Windows versions from 7 to 11.
"""

import argparse
import sys
import xml.etree.ElementTree as ElementTree

import pe_resources as pe
from checks import Checks

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
VOS_NT_WINDOWS32 = 0x40004
VFT_APP = 1
US_ENGLISH_UTF16 = (0x409, 1200)


def of_type(resources, kind):
    return {(name, language): data for (k, name, language), data in resources.items() if k == kind}


def check_version(checks, resources, name, version, publisher):
    blobs = of_type(resources, pe.RT_VERSION)
    checks.expect("version resources", [n for n, _ in blobs], [1])
    if not blobs:
        return
    info = pe.parse_version_info(next(iter(blobs.values())))
    numbers = tuple(int(part) for part in version.split("."))
    fixed = info["fixed"]
    checks.expect("binary file version", fixed["file_version"], numbers)
    checks.expect("binary product version", fixed["product_version"], numbers)
    checks.expect("file OS", fixed["file_os"], VOS_NT_WINDOWS32)
    checks.expect("file type", fixed["file_type"], VFT_APP)
    checks.expect("file flags", fixed["file_flags"], 0)
    checks.expect("translations", info["translations"], [US_ENGLISH_UTF16])
    table_key = "%04x%04x" % US_ENGLISH_UTF16
    tables = {key.lower(): strings for key, strings in info["tables"].items()}
    checks.expect("string tables", sorted(tables), [table_key])
    strings = tables.get(table_key, {})
    want = {
        "CompanyName": publisher,
        "FileDescription": f"{name} launcher",
        "FileVersion": version,
        "InternalName": name,
        "OriginalFilename": f"{name}.exe",
        "ProductName": name,
        "ProductVersion": version,
    }
    for key, value in want.items():
        checks.expect(f"version string {key}", strings.get(key), value)


def check_icon(checks, resources, icon_path):
    with open(icon_path, "rb") as f:
        images = pe.read_icon_file(f.read())
    groups = of_type(resources, pe.RT_GROUP_ICON)
    checks.expect("icon groups", len(groups), 1)
    if len(groups) != 1:
        return
    entries = pe.parse_group_icon(next(iter(groups.values())))
    checks.expect("images in the icon group", len(entries), len(images))
    icons = {name: data for (name, _), data in of_type(resources, pe.RT_ICON).items()}
    for i, (entry, image) in enumerate(zip(entries, images)):
        width, height, planes, bits, size, icon_id = entry
        checks.expect(f"image {i} size and depth", (width, height, bits), image[:2] + image[3:4])
        checks.expect(f"image {i} length", size, len(image[4]))
        checks.expect(f"image {i} bytes", icons.get(icon_id) == image[4], True)


def check_manifest(checks, resources):
    manifests = of_type(resources, pe.RT_MANIFEST)
    checks.expect("manifest resources", [n for n, _ in manifests], [1])
    if not manifests:
        return
    try:
        root = ElementTree.fromstring(next(iter(manifests.values())))
    except ElementTree.ParseError as error:
        checks.expect("manifest is well-formed XML", str(error), "")
        return
    checks.expect("manifest root", root.tag, ASM_V1 + "assembly")
    levels = root.findall(f"{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
                          f"{ASM_V3}requestedExecutionLevel")
    checks.expect("requested execution levels",
                  [(e.get("level"), e.get("uiAccess")) for e in levels], [("asInvoker", "false")])
    systems = root.findall(f"{COMPATIBILITY}compatibility/{COMPATIBILITY}application/"
                           f"{COMPATIBILITY}supportedOS")
    checks.expect("supported Windows versions",
                  sorted(SUPPORTED_OS.get(e.get("Id"), e.get("Id")) for e in systems),
                  sorted(SUPPORTED_OS.values()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--name", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--publisher", required=True)
    parser.add_argument("--icon", required=True)
    args = parser.parse_args()
    with open(args.exe, "rb") as f:
        resources = pe.read_resources(f.read())
    checks = Checks()
    check_version(checks, resources, args.name, args.version, args.publisher)
    check_icon(checks, resources, args.icon)
    check_manifest(checks, resources)
    return checks.report("resources")


if __name__ == "__main__":
    sys.exit(main())
