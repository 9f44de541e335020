#!/usr/bin/env python3
"""Writes a short 16-bit stereo PCM WAV tone: the player's demo file and test media.

usage: make_tone.py OUT.wav [seconds] [rate] [channels] [bits]
"""
import math
import struct
import sys


def main():
    out = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 6.0
    rate = int(sys.argv[3]) if len(sys.argv) > 3 else 44100
    channels = int(sys.argv[4]) if len(sys.argv) > 4 else 2
    bits = int(sys.argv[5]) if len(sys.argv) > 5 else 16
    frames = int(seconds * rate)
    width = bits // 8
    data = bytearray()
    for i in range(frames):
        t = i / rate
        # A440 with a slow fade in and out, a fifth above on the right channel.
        envelope = min(1.0, t * 4, (seconds - t) * 4)
        for c in range(channels):
            freq = 440.0 if c == 0 else 660.0
            v = 0.4 * envelope * math.sin(2 * math.pi * freq * t)
            if width == 1:
                data += struct.pack('<B', int(128 + v * 127))
            else:
                data += struct.pack('<h', int(v * 32767))
    block = channels * width
    # A LIST/INFO chunk names the tone, so players that read it show a title.
    title = b'Kestrun demo tone\x00'
    info = b'INFO' + b'INAM' + struct.pack('<I', len(title)) + title
    if len(info) % 2:
        info += b'\x00'
    fmt = struct.pack('<HHIIHH', 1, channels, rate, rate * block, block, bits)
    body = (b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt)) + fmt
            + b'LIST' + struct.pack('<I', len(info)) + info
            + b'data' + struct.pack('<I', len(data)) + bytes(data))
    with open(out, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)


if __name__ == '__main__':
    main()
