#!/usr/bin/env python3
"""Rewrites ZIP files so that the same contents always give the same bytes.

    normalize_zip.py SECONDS_SINCE_1970 ZIP...

CPack's ZIP writer (libarchive) stamps each entry with the staged file's modification, access and
inode change times and its Unix owner; the change time cannot be set back, so two packagings of
the same files differ. Each ZIP is rewritten in place: entries sorted by name, each dated the given
time (UTC), without extra fields, with a fixed mode (rwxr-xr-x for programs and folders,
rw-r--r-- for the rest), deflated at level 9. Names that are not ASCII keep the UTF-8 flag. The
entries are marked as made on Unix: unzip ignores the UTF-8 flag of entries marked as made on
MS-DOS. The deflated bytes are zlib's, so the same zlib version gives the same ZIP.
"""

import os
import sys
import time
import zipfile


def normalize(path, stamp):
    with zipfile.ZipFile(path) as source:
        entries = [(info.filename, source.read(info)) for info in source.infolist()]
    # The DOS date of an entry counts from 1980.
    date_time = time.gmtime(max(stamp, 315532800))[:6]
    temporary = path + ".normalizing"
    with zipfile.ZipFile(temporary, "w") as target:
        for name, data in sorted(entries):
            info = zipfile.ZipInfo(name, date_time=date_time)
            info.create_system = 3  # Unix: the high 16 bits of external_attr are st_mode
            if name.endswith("/"):
                mode = 0o40755
            elif name.lower().endswith(".exe"):
                mode = 0o100755
            else:
                mode = 0o100644
            info.external_attr = mode << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            target.writestr(info, data, compresslevel=9)
    os.replace(temporary, path)


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: normalize_zip.py SECONDS_SINCE_1970 ZIP...")
    stamp = int(sys.argv[1])
    for path in sys.argv[2:]:
        normalize(path, stamp)


if __name__ == "__main__":
    main()
