#!/usr/bin/env python3
"""Gives what the build ships one date, the sources' own, so that two builds
of one commit are the same bytes wherever and whenever they run.

    fixed_date.py epoch SOURCE_DIR        prints the date (seconds since 1970)
    fixed_date.py pe SOURCE_DIR FILE...   the PE files' time stamps set to it
                                          and their checksums made good
    fixed_date.py touch SOURCE_DIR FILE...  the files' times set to it
    fixed_date.py stamp SOURCE_DIR FILE   the date written to FILE, when it
                                          differs from what FILE holds

The date is SOURCE_DATE_EPOCH when set, else the time of the sources' last
commit, else (sources outside git) the earliest date a CAB can hold."""
import os
import struct
import subprocess
import sys

# 1980-01-01: the first day a CAB's (MS-DOS) dates can tell.
EARLIEST_CAB_DATE = 315532800


def source_date(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], capture_output=True,
                             text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        return EARLIEST_CAB_DATE


class Image:
    """A PE file's headers and the file offsets of what its directories name."""

    EXPORT, RESOURCE, DEBUG = 0, 2, 6

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a PE file")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        coff = self.pe + 4
        sections, optional_size = struct.unpack_from("<H", data, coff + 2)[0], struct.unpack_from("<H", data, coff + 16)[0]
        self.time_stamp = coff + 4
        self.optional = coff + 20
        magic = struct.unpack_from("<H", data, self.optional)[0]
        self.checksum = self.optional + 64
        directories = self.optional + (96 if magic == 0x10B else 112)
        count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(count)]
        table = self.optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def directory(self, index):
        if index >= len(self.directories) or not self.directories[index][0]:
            return None
        return self.offset(self.directories[index][0]), self.directories[index][1]

    def time_stamps(self):
        """Where the file holds a time stamp."""
        stamps = [self.time_stamp]
        export = self.directory(self.EXPORT)
        if export:
            stamps.append(export[0] + 4)
        resource = self.directory(self.RESOURCE)
        if resource:
            pending = [resource[0]]
            while pending:
                table = pending.pop()
                stamps.append(table + 4)
                named, ids = struct.unpack_from("<HH", self.data, table + 12)
                for entry in range(named + ids):
                    target = struct.unpack_from("<I", self.data, table + 16 + 8 * entry + 4)[0]
                    if target & 0x80000000:
                        pending.append(resource[0] + (target & 0x7FFFFFFF))
        debug = self.directory(self.DEBUG)
        if debug:
            stamps += [debug[0] + 28 * i + 4 for i in range(debug[1] // 28)]
        return stamps

    def pe_checksum(self):
        """The image checksum as the platform computes it: 16-bit words summed
        with their carries, the checksum field left out, plus the length."""
        data = bytes(self.data) + b"\0" * (len(self.data) % 2)
        total = 0
        for i, (word,) in enumerate(struct.iter_unpack("<H", data)):
            if i * 2 in (self.checksum, self.checksum + 2):
                continue
            total += word
            total = (total & 0xFFFF) + (total >> 16)
        return ((total & 0xFFFF) + (total >> 16) + len(self.data)) & 0xFFFFFFFF


def fix_pe(path, date):
    with open(path, "rb") as f:
        image = Image(bytearray(f.read()))
    for stamp in image.time_stamps():
        struct.pack_into("<I", image.data, stamp, date)
    struct.pack_into("<I", image.data, image.checksum, image.pe_checksum())
    with open(path, "wb") as f:
        f.write(image.data)


def main(argv):
    if len(argv) < 3 or argv[1] not in ("epoch", "pe", "touch", "stamp"):
        sys.exit(__doc__)
    date = source_date(argv[2])
    if argv[1] == "epoch":
        print(date)
    for path in argv[3:]:
        if argv[1] == "stamp":
            try:
                with open(path) as f:
                    if f.read().strip() == str(date):
                        continue
            except OSError:
                pass
            with open(path, "w") as f:
                f.write("%d\n" % date)
        elif argv[1] == "pe":
            fix_pe(path, date)
        else:
            os.utime(path, (date, date))


if __name__ == "__main__":
    main(sys.argv)
