#!/usr/bin/env python3
"""Writes a zip archive with Python's own zip implementation.

usage: zipwrite.py OUT.zip [--stored] NAME=FILE ...

Each NAME=FILE adds the bytes of FILE as the entry NAME (deflated unless
--stored is given)."""
import sys
import zipfile


def main(argv):
    out = argv[1]
    method = zipfile.ZIP_DEFLATED
    entries = []
    for arg in argv[2:]:
        if arg == "--stored":
            method = zipfile.ZIP_STORED
            continue
        name, path = arg.split("=", 1)
        entries.append((name, path))
    with zipfile.ZipFile(out, "w", compression=method) as archive:
        for name, path in entries:
            with open(path, "rb") as source:
                archive.writestr(name, source.read())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
