#!/usr/bin/env python3
"""Writes small tracker modules of several formats into a folder, each one
pattern of 64 rows with a looped square-wave note sounding from the first
row (about eight seconds at the default speed):

  nosig15.mod  a 15-instrument module with no signature
  fest.mod     a 31-instrument module signed "FEST"
  four.s3m     a 4-channel S3M
  bidi.xm      an XM whose sample loops back and forth
  loop.it      an IT whose first eight rows loop three times (SB0 ... SB2)
"""

import os
import struct
import sys

SQUARE = [100] * 16 + [-100] * 16  # signed 8-bit, looped whole
ROWS = 64


def signed_bytes(values):
    return bytes(v & 0xFF for v in values)


def mod_pattern():
    rows = []
    for row in range(ROWS):
        cells = []
        for channel in range(4):
            cell = bytes(4)
            if row == 0 and channel == 0:
                period = 428
                cell = bytes([period >> 8, period & 0xFF, 1 << 4, 0])  # sample 1
            cells.append(cell)
        rows.append(b"".join(cells))
    return b"".join(rows)


def mod(instruments, signature):
    title = b"square".ljust(20, b"\0")
    words = len(SQUARE) // 2
    headers = b"square".ljust(22, b"\0") + struct.pack(">HBBHH", words, 0, 64, 0, words)
    for i in range(instruments - 1):
        headers += b"".ljust(22, b"\0") + struct.pack(">HBBHH", 0, 0, 0, 0, 1)
    # One order; the byte after it is the restart (the tempo for 15-instrument ones).
    orders = bytes([1, 0x78 if instruments == 15 else 0x7F]) + bytes(128)
    return title + headers + orders + signature + mod_pattern() + signed_bytes(SQUARE)


def pad16(data):
    return data + bytes(-len(data) % 16)


def s3m():
    header = b"square".ljust(28, b"\0") + bytes([0x1A, 16, 0, 0])
    header += struct.pack("<HHHHHH", 2, 1, 1, 0, 0x1320, 2)  # orders, instruments, patterns, flags, version, unsigned samples
    header += b"SCRM" + bytes([64, 6, 125, 0xB0, 0, 0]) + bytes(8) + struct.pack("<H", 0)
    header += bytes([0, 8, 1, 9] + [255] * 28)
    header += bytes([0, 255])  # orders
    # The instrument and the pattern follow, each on a 16-byte boundary.
    table_end = len(header) + 2 + 2
    instrument_at = (table_end + 15) // 16 * 16
    pattern_at = instrument_at + 0x50
    rows = b""
    for row in range(ROWS):
        if row == 0:
            rows += bytes([0x20 | 0x40, 0x40, 1, 64])  # channel 0: C-4, instrument 1, volume 64
        rows += b"\0"
    pattern = struct.pack("<H", len(rows) + 2) + rows
    sample_at = (pattern_at + len(pattern) + 15) // 16 * 16
    header += struct.pack("<HH", instrument_at // 16, pattern_at // 16)
    instrument = bytes([1]) + b"SQUARE.RAW".ljust(12, b"\0")
    instrument += bytes([sample_at >> 20 & 0xFF]) + struct.pack("<H", sample_at >> 4 & 0xFFFF)
    instrument += struct.pack("<III", len(SQUARE), 0, len(SQUARE))
    instrument += bytes([64, 0, 0, 1]) + struct.pack("<I", 8363) + bytes(12)
    instrument += b"square".ljust(28, b"\0") + b"SCRS"
    data = header.ljust(instrument_at, b"\0") + instrument + pattern
    data = data.ljust(sample_at, b"\0") + bytes((v + 128) & 0xFF for v in SQUARE)
    return data


def xm():
    channels = 4
    header = b"Extended Module: " + b"square".ljust(20, b"\0") + b"\x1a" + b"quav tests".ljust(20, b"\0")
    header += struct.pack("<H", 0x0104)
    orders = bytes([0]) + bytes(255)
    header += struct.pack("<IHHHHHHHH", 276, 1, 0, channels, 1, 1, 1, 6, 125) + orders
    packed = b""
    for row in range(ROWS):
        for channel in range(channels):
            if row == 0 and channel == 0:
                packed += bytes([0x80 | 0x01 | 0x02, 49, 1])  # C-4, instrument 1
            else:
                packed += b"\x80"
    pattern = struct.pack("<IBHH", 9, 0, ROWS, len(packed)) + packed
    instrument = b"square".ljust(22, b"\0") + bytes([0]) + struct.pack("<H", 1) + struct.pack("<I", 40)
    instrument += bytes(96) + bytes(48) + bytes(48) + bytes(16) + bytes(2)
    instrument = struct.pack("<I", 4 + len(instrument)) + instrument
    deltas = []
    previous = 0
    for v in SQUARE:
        deltas.append((v - previous) & 0xFF)
        previous = v
    sample_header = struct.pack("<III", len(SQUARE), 0, len(SQUARE)) + bytes([64, 0, 2, 128, 0, 0])
    sample_header += b"square".ljust(22, b"\0")
    return header + pattern + instrument + sample_header + bytes(deltas)


def it():
    orders = bytes([0, 255])
    header = b"IMPM" + b"square".ljust(26, b"\0") + bytes([4, 16])
    header += struct.pack("<HHHHHHHH", len(orders), 0, 1, 1, 0x0214, 0x0214, 0x0009, 0)
    header += bytes([128, 48, 6, 125, 128, 0]) + struct.pack("<HII", 0, 0, 0)
    header += bytes([32] * 4 + [0xA0] * 60) + bytes([64] * 64)
    assert len(header) == 0xC0
    sample_at = 0xC0 + len(orders) + 4 + 4
    pattern_at = sample_at + 0x50
    rows = b""
    for row in range(ROWS):
        if row == 0:
            # Channel 1: C-5, sample 1, and S B0 (the loop starts here).
            rows += bytes([0x81, 0x01 | 0x02 | 0x08, 60, 1, 19, 0xB0])
        if row == 7:
            rows += bytes([0x81, 0x08, 19, 0xB2])  # back to row 0, twice more
        rows += b"\0"
    pattern = struct.pack("<HH", len(rows), ROWS) + bytes(4) + rows
    data_at = pattern_at + len(pattern)
    sample = b"IMPS" + b"SQUARE.RAW".ljust(12, b"\0") + bytes([0, 64, 0x01 | 0x10, 64])
    sample += b"square".ljust(26, b"\0") + bytes([1, 0])
    sample += struct.pack("<IIIIIII", len(SQUARE), 0, len(SQUARE), 8363, 0, 0, data_at) + bytes(4)
    assert len(sample) == 0x50
    return header + orders + struct.pack("<II", sample_at, pattern_at) + sample + pattern + signed_bytes(SQUARE)


def write_all(out):
    os.makedirs(out, exist_ok=True)
    files = {
        "nosig15.mod": mod(15, b""),
        "fest.mod": mod(31, b"FEST"),
        "four.s3m": s3m(),
        "bidi.xm": xm(),
        "loop.it": it(),
    }
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    write_all(sys.argv[1])
