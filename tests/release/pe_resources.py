"""A reader for the resources of a PE file, written from the file format, not from the tools that
write it, so the release tests see what Windows will see.

    read_resources(data)     {(type, name, language): bytes}; ids as ints, names as str
    parse_version_info(blob) the VS_VERSIONINFO tree: fixed part, string tables, translations
    parse_group_icon(blob)   the entries of an RT_GROUP_ICON
    read_icon_file(data)     the images of an .ico file
"""

import struct

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24


class FormatError(Exception):
    pass


def _u16(data, at):
    return struct.unpack_from("<H", data, at)[0]


def _u32(data, at):
    return struct.unpack_from("<I", data, at)[0]


def read_resources(data):
    if data[:2] != b"MZ":
        raise FormatError("no MZ header")
    pe = _u32(data, 0x3C)
    if data[pe:pe + 4] != b"PE\0\0":
        raise FormatError("no PE signature")
    sections = _u16(data, pe + 6)
    optional_size = _u16(data, pe + 20)
    optional = pe + 24
    magic = _u16(data, optional)
    directories = optional + {0x10B: 96, 0x20B: 112}.get(magic, -1)
    if directories < optional:
        raise FormatError(f"unknown optional header magic {magic:#x}")
    # Data directory 2 is the resource table.
    rsrc_rva, rsrc_size = struct.unpack_from("<II", data, directories + 2 * 8)
    if rsrc_rva == 0:
        return {}
    table = optional + optional_size
    mapping = []
    for i in range(sections):
        at = table + 40 * i
        virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
        mapping.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset_of(rva):
        for start, size, raw in mapping:
            if start <= rva < start + size:
                return raw + rva - start
        raise FormatError(f"RVA {rva:#x} is in no section")

    base = offset_of(rsrc_rva)

    def name_at(entry_name):
        if entry_name & 0x80000000:
            at = base + (entry_name & 0x7FFFFFFF)
            length = _u16(data, at)
            return data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
        return entry_name

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield name_at(name), target

    resources = {}
    # Three levels: type, name, language; then an IMAGE_RESOURCE_DATA_ENTRY.
    for kind, kind_target in entries(0):
        for name, name_target in entries(kind_target & 0x7FFFFFFF):
            for language, leaf in entries(name_target & 0x7FFFFFFF):
                if leaf & 0x80000000:
                    raise FormatError("a fourth level in the resource tree")
                rva, size = struct.unpack_from("<II", data, base + leaf)
                start = offset_of(rva)
                resources[(kind, name, language)] = bytes(data[start:start + size])
    return resources


def _align4(at):
    return (at + 3) & ~3


def _parse_block(blob, at):
    """One version block: (key, type, value bytes, children, end offset)."""
    length, value_length, kind = struct.unpack_from("<HHH", blob, at)
    end = at + length
    key_at = at + 6
    key_end = key_at
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[key_at:key_end].decode("utf-16-le")
    value_at = _align4(key_end + 2)
    # A text value's length counts UTF-16 units, a binary value's bytes.
    value_bytes = value_length * 2 if kind == 1 else value_length
    value = blob[value_at:value_at + value_bytes]
    children = []
    child = _align4(value_at + value_bytes)
    while child < end:
        parsed = _parse_block(blob, child)
        children.append(parsed)
        child = _align4(parsed[4])
    return key, kind, value, children, end


def parse_version_info(blob):
    key, _, value, children, _ = _parse_block(blob, 0)
    if key != "VS_VERSION_INFO":
        raise FormatError(f"version resource key {key!r}")
    fields = struct.unpack_from("<13I", value, 0)
    if fields[0] != 0xFEEF04BD:
        raise FormatError("no VS_FIXEDFILEINFO signature")

    def four(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    fixed = {
        "file_version": four(fields[2], fields[3]),
        "product_version": four(fields[4], fields[5]),
        "file_flags": fields[7],
        "file_os": fields[8],
        "file_type": fields[9],
    }
    tables = {}
    translations = []
    for child_key, _, _, grandchildren, _ in children:
        if child_key == "StringFileInfo":
            for table_key, _, _, strings, _ in grandchildren:
                tables[table_key] = {
                    name: text.decode("utf-16-le").rstrip("\0")
                    for name, _, text, _, _ in strings
                }
        elif child_key == "VarFileInfo":
            for var_key, _, var_value, _, _ in grandchildren:
                if var_key == "Translation":
                    translations += [struct.unpack_from("<HH", var_value, i)
                                     for i in range(0, len(var_value), 4)]
    return {"fixed": fixed, "tables": tables, "translations": translations}


def parse_group_icon(blob):
    """GRPICONDIR entries: (width, height, planes, bit count, bytes, RT_ICON id)."""
    reserved, kind, count = struct.unpack_from("<HHH", blob, 0)
    if reserved != 0 or kind != 1:
        raise FormatError("not an icon group")
    return [struct.unpack_from("<BBxxHHIH", blob, 6 + 14 * i) for i in range(count)]


def read_icon_file(data):
    """ICONDIRENTRY images: (width, height, planes, bit count, image bytes)."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise FormatError("not an .ico file")
    images = []
    for i in range(count):
        width, height, planes, bits, size, offset = struct.unpack_from("<BBxxHHII", data,
                                                                       6 + 16 * i)
        images.append((width, height, planes, bits, data[offset:offset + size]))
    return images
