#!/usr/bin/env python3
"""Writes small sound files for the sound tests into a folder:
tone.wav (a quarter second of 440 Hz), ramp.wav (1,000 frames rising from
low to high, so a back-and-forth loop shows which way it plays), tone.ogg
(the tone through oggenc), tiny.mod (a four-channel tracker module of eight
rows: one looped square-wave note, then a pattern break that ends the song)
song.mid (one half-second note), and the modules of make_modules.py."""

import math
import os
import shutil
import struct
import subprocess
import sys
import wave

import make_modules


def write_wav(path, frames):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(44100)
        out.writeframes(b"".join(struct.pack("<h", v) for v in frames))


def module():
    title = b"tiny".ljust(20, b"\0")
    square = bytes([100] * 16 + [256 - 100] * 16)
    # Sample 1: 16 words, finetune 0, volume 64, looped whole.
    headers = b"tone".ljust(22, b"\0") + struct.pack(">HBBHH", len(square) // 2, 0, 64, 0, len(square) // 2)
    headers += (b"\0" * 22 + struct.pack(">HBBHH", 0, 0, 0, 0, 1)) * 30
    orders = bytes([1, 127]) + bytes(128)
    rows = []
    for row in range(64):
        cells = []
        for channel in range(4):
            cell = bytes(4)
            if row == 0 and channel == 0:
                period = 428
                cell = bytes([(1 & 0xF0) | (period >> 8), period & 0xFF, (1 & 0x0F) << 4, 0])
            if row == 7 and channel == 1:
                cell = bytes([0, 0, 0x0D, 0])  # pattern break: the song ends
            cells.append(cell)
        rows.append(b"".join(cells))
    return title + headers + orders + b"M.K." + b"".join(rows) + square


def midi():
    track = bytes([0x00, 0xC0, 0x00, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00])
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(track)) + track


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    tone = [int(16000 * math.sin(2 * math.pi * 440 * i / 44100)) for i in range(11025)]
    write_wav(os.path.join(out, "tone.wav"), tone)
    write_wav(os.path.join(out, "ramp.wav"), [int(-20000 + 40 * i) for i in range(1000)])
    with open(os.path.join(out, "tiny.mod"), "wb") as f:
        f.write(module())
    with open(os.path.join(out, "song.mid"), "wb") as f:
        f.write(midi())
    make_modules.write_all(out)
    if shutil.which("oggenc"):
        subprocess.run(["oggenc", "-Q", "-o", os.path.join(out, "tone.ogg"), os.path.join(out, "tone.wav")],
                       check=True)


if __name__ == "__main__":
    main()
