#!/usr/bin/env python3
"""Synthesises the capture sound: a short camera-shutter double click, 8-bit mono PCM WAVE.

Usage: make_sound.py OUTPUT.wav
About a quarter of a second at 22050 Hz, so the resource stays near 5.5 kB.
"""
import math
import random
import struct
import sys

RATE = 22050
LENGTH = 0.25


def click(t, start, decay, pitch):
    """A burst of noise and a falling tone, dying away exponentially from start."""
    if t < start:
        return 0.0
    dt = t - start
    envelope = math.exp(-dt / decay)
    tone = math.sin(2 * math.pi * pitch * dt * (1 - 2 * dt))
    return envelope * (0.6 * random.uniform(-1, 1) + 0.4 * tone)


def main():
    random.seed(20261208)  # the same bytes on every build
    count = int(RATE * LENGTH)
    samples = bytearray()
    for i in range(count):
        t = i / RATE
        value = 0.9 * click(t, 0.0, 0.012, 1800) + 0.7 * click(t, 0.085, 0.018, 1200)
        value = max(-1.0, min(1.0, value))
        samples.append(int(128 + 127 * value))
    header = b'RIFF' + struct.pack('<I', 36 + len(samples)) + b'WAVE'
    fmt = b'fmt ' + struct.pack('<IHHIIHH', 16, 1, 1, RATE, RATE, 1, 8)
    data = b'data' + struct.pack('<I', len(samples)) + bytes(samples)
    with open(sys.argv[1], 'wb') as f:
        f.write(header + fmt + data)


if __name__ == '__main__':
    main()
