#!/usr/bin/env python3
"""Names the functions in a test program's hang report.
   hang-symbols.py PROGRAM.exe < report     (or: hang-symbols.py PROGRAM.exe 'thread 36: a.exe+0x1c72f ...')
Each "module+0xOFFSET" of PROGRAM is replaced by the nearest symbol at or below it."""
import bisect, os, re, subprocess, sys

exe = sys.argv[1]
text = " ".join(sys.argv[2:]) if len(sys.argv) > 2 else sys.stdin.read()
base = next(int(line.split()[1], 16) for line in subprocess.run(
    ["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True, text=True).stdout.splitlines()
    if line.startswith("ImageBase"))
symbols = []
for line in subprocess.run(["x86_64-w64-mingw32-nm", "-C", "--defined-only", exe],
                           capture_output=True, text=True).stdout.splitlines():
    parts = line.split(" ", 2)
    if len(parts) == 3 and parts[1] in "tT":
        symbols.append((int(parts[0], 16), parts[2]))
symbols.sort()
addresses = [a for a, _ in symbols]
name = re.escape(os.path.basename(exe))

def lookup(match):
    address = base + int(match.group(1), 16)
    i = bisect.bisect_right(addresses, address) - 1
    return f"\n    {symbols[i][1]}+0x{address - symbols[i][0]:x}" if i >= 0 else match.group(0)

print(re.sub(name + r"\+0x([0-9a-f]+)", lookup, text))
