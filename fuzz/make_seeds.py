#!/usr/bin/env python3
"""Writes the fuzz targets' seed files into the folder given: for every reader of outside bytes,
well-formed inputs beside deep nesting, huge counts and truncations, the shapes a hostile file,
message or reply takes."""
import json, os, struct, sys, zlib

out = sys.argv[1]

def put(target, name, data):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))

def hostile(target, valid, prefix=b""):
    """valid, then the same cut short, deep nesting and a huge count, each behind prefix."""
    valid = valid if isinstance(valid, bytes) else valid.encode("utf-8")
    put(target, "valid", prefix + valid)
    for n, cut in enumerate((len(valid) // 2, len(valid) - 1, 1)):
        put(target, f"truncated-{n}", prefix + valid[:cut])
    put(target, "deep-arrays", prefix + b"[" * 100000 + b"]" * 100000)
    put(target, "deep-objects-open", prefix + b'{"a":' * 50000)
    put(target, "huge-count", prefix + b"[" + b"{}," * 60000 + b"{}]")
    put(target, "long-string", prefix + b'{"command":"capture","x":"' + b"x" * 200000 + b'"}')

def utf16(text):
    return text.encode("utf-16-le") + b"\0\0"

# The fixed picture of editable_png_fuzz: R = 4x, G = 5y, B = 0x30, 64 x 48.
rows = b"".join(bytes(v for x in range(64) for v in (4 * x, 5 * y, 0x30)) for y in range(48))
crc = zlib.crc32(rows)
objects = [{"id": 1, "kind": "rectangle", "color": "#FF0000", "size": 3, "points": [[2, 2], [40, 30]]},
           {"id": 7, "kind": "text", "color": "#0000FF", "size": 24, "points": [[5, 5], [60, 40]], "text": "Läuft 한국어"},
           {"id": 4294967280, "kind": "step", "color": "#00AA00", "size": 3, "points": [[30, 30]], "serial": 4294967280},
           {"id": 9, "kind": "pen", "color": "#123456", "size": 5, "points": [[1, 1], [3, 4], [9, 2]]}]
meta = {"format": "tovasen-annotations", "version": 2, "width": 64, "height": 48, "picture_crc": crc, "objects": objects}
tiles = [0, 1, 2, 3]
tile_rgb = b""
for t in tiles:
    x0, y0 = (t % 2) * 32, (t // 2) * 32
    for y in range(y0, min(y0 + 32, 48)):
        tile_rgb += bytes(v for x in range(x0, min(x0 + 32, 64)) for v in (4 * x, 5 * y, 0x30))
entry = b"TVES" + struct.pack("<III", 64, 48, len(tiles)) + b"".join(struct.pack("<I", t) for t in tiles) + zlib.compress(tile_rgb)
text = json.dumps(meta, ensure_ascii=False).encode("utf-8")
hostile("editable_png_fuzz", text + b"\0" + entry, b"J")
put("editable_png_fuzz", "entry-cut", b"J" + text + b"\0" + entry[:30])
put("editable_png_fuzz", "many-objects", b"J" + json.dumps(dict(meta, objects=[objects[0]] * 12000)).encode() + b"\0" + entry)
put("editable_png_fuzz", "deep-objects", b"J" + text.replace(b'"objects": [', b'"objects": ' + b"[" * 300000, 1))
first = dict(meta, version=1, restore={"tile": 32, "tiles": tiles})
put("editable_png_fuzz", "first-version", b"J" + json.dumps(first).encode())
put("editable_png_fuzz", "file-png", b"F\x89PNG\r\n\x1a\n" + struct.pack(">I", 13) + b"IHDR" + struct.pack(">IIBBBBB", 64, 48, 8, 2, 0, 0, 0) + b"\0" * 4)
put("editable_png_fuzz", "file-jpeg", b"F\xff\xd8\xff\xe0\0\x10JFIF")

hostile("untrusted_json_fuzz", json.dumps(meta))
hostile("copydata_command_fuzz", utf16('{"command":"history","limit":250,"reply_to":5,"token":"9c2e"}'))
put("copydata_command_fuzz", "deep-utf16", utf16('{"command":"capture","a":' + "[" * 100000))
put("copydata_command_fuzz", "capture-mode", utf16('{"command":"capture","mode":"window-control","delay":3,"reply_to":5}'))
put("copydata_command_fuzz", "capture-mode-mistyped", utf16('{"command":"capture","mode":["region"]}'))
hostile("upload_reply_fuzz", '{"status":"success","url":"https:\\/\\/img.example\\/a\\u0041.png"}')
hostile("update_reply_fuzz", '{"update":"","notify":"https://x.example/n","info":{"style":"note","text":"Hi","flag":"stayontop","url":"https://x.example"}}')
hostile("web_address_fuzz", "https://example.com/a?b=c#d")
hostile("process_text_fuzz", "frame=  100 fps= 30 q=28.0 size=    1024kB time=00:00:03.33 bitrate=2517.9kbits/s\r\n")
put("thumbnail_fuzz", "jpeg-head", b"\xff\xd8\xff\xe0\0\x10JFIF\0")
put("thumbnail_fuzz", "png-head", b"\x89PNG\r\n\x1a\n")
# The secret finder's table lines (markers dropped), and long runs of the pieces its scanners restart on.
table = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "native", "redact", "secret_lines.txt")
for n, line in enumerate(l for l in open(table, encoding="utf-8") if " | " in l and not l.startswith("#")):
    text = line.split(" | ", 1)[1].rstrip("\n")
    for mark in ("\u27e6", "\u27e7"):
        text = text.replace(mark, "")
    put("secrets_fuzz", f"line-{n:03}", text.encode("utf-16-le"))
for name, piece in (("digits", "4111 "), ("ats", "a@b."), ("labels", "password:'"), ("jwt", "eyJhbGciOiJ-"), ("colons", "fe80:")):
    put("secrets_fuzz", f"long-{name}", (piece * (30000 // len(piece))).encode("utf-16-le"))
