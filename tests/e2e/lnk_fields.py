#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk) points at, one "field=value" line each:
target, working_dir, arguments, icon, icon_index. Reads the shell link binary format."""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, HAS_NAME, HAS_RELATIVE_PATH = 0x1, 0x2, 0x4, 0x8
HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION, IS_UNICODE = 0x10, 0x20, 0x40, 0x80


def c_string(data, offset, unicode):
    if unicode:
        end = offset
        while data[end:end + 2] != b"\0\0":
            end += 2
        return data[offset:end].decode("utf-16-le")
    return data[offset:data.index(b"\0", offset)].decode("cp1252")


def fields(data):
    header_size, = struct.unpack_from("<I", data, 0)
    if header_size != 0x4C or data[4:20] != bytes.fromhex("0114020000000000c000000000000046"):
        raise ValueError("not a shell link")
    flags, = struct.unpack_from("<I", data, 20)
    icon_index, = struct.unpack_from("<i", data, 56)
    pos = header_size
    if flags & HAS_ID_LIST:
        id_list_size, = struct.unpack_from("<H", data, pos)
        pos += 2 + id_list_size
    out = {"target": "", "working_dir": "", "arguments": "", "icon": "", "icon_index": str(icon_index)}
    if flags & HAS_LINK_INFO:
        size, header, info_flags, _, base, _, suffix = struct.unpack_from("<7I", data, pos)
        if info_flags & 1:
            if header >= 0x24:
                base_w, suffix_w = struct.unpack_from("<2I", data, pos + 28)
                out["target"] = c_string(data, pos + base_w, True) + c_string(data, pos + suffix_w, True)
            else:
                out["target"] = c_string(data, pos + base, False) + c_string(data, pos + suffix, False)
        pos += size
    unicode = bool(flags & IS_UNICODE)
    for flag, name in ((HAS_NAME, None), (HAS_RELATIVE_PATH, None), (HAS_WORKING_DIR, "working_dir"),
                       (HAS_ARGUMENTS, "arguments"), (HAS_ICON_LOCATION, "icon")):
        if not flags & flag:
            continue
        count, = struct.unpack_from("<H", data, pos)
        pos += 2
        length = count * 2 if unicode else count
        text = data[pos:pos + length].decode("utf-16-le" if unicode else "cp1252").rstrip("\0")
        pos += length
        if name:
            out[name] = text
    return out


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        for key, value in fields(f.read()).items():
            print(f"{key}={value}")
