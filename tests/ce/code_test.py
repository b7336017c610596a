#!/usr/bin/env python3
"""The ARM code of the Windows CE module (make ce), read word by word with
the link map that tells where each object's code lies: nothing newer than
ARMv4T anywhere, and no BX but in the module's table of returns, so that
the StrongARM of Pocket PC 2002 (ARMv4, no BX) runs every instruction; every
function of the item's own objects returns through that table, which
returns to a caller in Thumb state (Windows Mobile 5 and later) with BX.
The words of literal pools and switch tables, which the code loads as data,
are left out.

    code_test.py        (MESOLUNE_CE_DIR names the Windows CE build)
"""
import os
import re
import struct
import sys
import unittest

# The module's sections and its objects' code are read as the build's rewrite
# reads them; what this test checks is the code it finds there.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "arm"))
import returns_for_armv4  # noqa: E402

CE_DIR = os.environ.get("MESOLUNE_CE_DIR", "")
SKIPPED = 77


def sections(image):
    """The PE image's sections: (virtual address, raw data), image base added."""
    return [(address, image[offset:offset + size]) for address, offset, size in returns_for_armv4.sections(image)]


code_ranges = returns_for_armv4.code_ranges


def is_items_own(obj):
    """The item's objects, as against the toolchain's (libgcc, import stubs)."""
    return "CMakeFiles/" in obj or "/libmesolune_" in obj


data_words = returns_for_armv4.data_words


def newer_than_v4t(w):
    """The name of the ARMv5-or-later instruction class of an instruction
    word, or None for one that ARMv4T knows."""
    if w >> 28 == 0xF:
        return "unconditional (blx, pld, second coprocessor forms, ...)"
    if w & 0x0FFFFFF0 == 0x012FFF30:
        return "blx register"
    if w & 0x0FFF0FF0 == 0x016F0F10:
        return "clz"
    if w & 0x0E1000D0 == 0x000000D0 and w & 0x00000060 in (0x40, 0x60):
        return "ldrd or strd"
    if w & 0x0F900FF0 == 0x01000050 or w & 0x0F900090 == 0x01000080:
        return "saturating or DSP multiply"
    if w & 0x0FE00000 == 0x0C400000:
        return "mcrr or mrrc"
    return newer_than_v5te(w)


def newer_than_v5te(w):
    """The name of the ARMv6-or-later instruction class of an instruction word,
    or None for one that ARMv5TE knows."""
    if w >> 28 == 0xF:
        if w & 0xFE000000 == 0xFA000000:  # blx label
            return None
        if w & 0xFD70F000 == 0xF550F000:  # pld
            return None
        if w & 0xFE000000 == 0xFC000000 or w & 0xFF000000 == 0xFE000000:  # coprocessor, second forms
            return None
        return "unconditional (cps, setend, srs, rfe, barriers, NEON)"
    if w & 0x0E000010 == 0x06000010:
        return "media (rev, sxt, uxt, parallel arithmetic, bitfields)"
    if w & 0x0F8000F0 == 0x01800090:
        return "exclusive load or store"
    if w & 0x0FB00000 == 0x03000000:
        return "movw or movt"
    if w & 0x0FFFFF00 == 0x0320F000:
        return "hint (nop, yield, wfe, wfi, sev)"
    if w & 0x0FF000F0 in (0x00400090, 0x00600090):
        return "umaal or mls"
    if w & 0x0C000E00 == 0x0C000A00:
        return "VFP"
    return None


def returns_without_bx(w):
    if w >> 28 == 0xF:
        return False
    if w & 0x0FEFFFFF == 0x01A0F00E:  # mov(s) pc, lr
        return True
    if w & 0x0E108000 == 0x08108000:  # ldm ..., {..., pc}
        return True
    return w & 0x0FFFFFFF == 0x049DF004  # ldr pc, [sp], #4


def is_bx(w):
    return w >> 28 != 0xF and w & 0x0FFFFFF0 == 0x012FFF10


def branch_target(address, w):
    """Where a B (not BL) goes, or None for another instruction."""
    if w >> 28 == 0xF or w & 0x0F000000 != 0x0A000000:
        return None
    offset = w & 0xFFFFFF
    return address + 8 + 4 * (offset - (1 << 24) if offset & 0x800000 else offset)


def table_of_returns(map_text):
    """The module's table of returns: its address, and its entries' words."""
    address = int(re.search(r"^\s+0x([0-9a-f]+)\s+__interworking_returns$", map_text, re.M).group(1), 16)
    # For each register: tst rN, #1; moveq pc, rN; bx rN.
    words = [word for n in range(15) for word in (0xE3100001 | n << 16, 0x01A0F000 | n, 0xE12FFF10 | n)]
    return address, words


class ArmCode(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(CE_DIR, "mesolune.dll"), "rb") as f:
            image = f.read()
        with open(os.path.join(CE_DIR, "mesolune.map")) as f:
            map_text = f.read()
        cls.ranges = code_ranges(map_text)
        cls.table, cls.table_words = table_of_returns(map_text)
        words = {}
        for start, end, _ in cls.ranges:
            for address, data in sections(image):
                if address <= start and end <= address + len(data):
                    for at in range(start, end, 4):
                        words[at] = struct.unpack_from("<I", data, at - address)[0]
        cls.words = words
        cls.data = data_words(words)

    def instructions(self, start, end):
        return [(a, self.words[a]) for a in range(start, end, 4) if a not in self.data]

    def in_table(self, address):
        return self.table <= address < self.table + 4 * len(self.table_words)

    def test_the_map_covers_the_items_code(self):
        own = [r for r in self.ranges if is_items_own(r[2])]
        self.assertGreater(sum(end - start for start, end, _ in own), 0x2000)
        self.assertEqual(len(self.words) * 4, sum(end - start for start, end, _ in self.ranges))

    def test_nothing_is_newer_than_armv4t(self):
        newer = [f"0x{a:08x} {w:08x} {kind} in {obj}" for start, end, obj in self.ranges
                 for a, w in self.instructions(start, end) if (kind := newer_than_v4t(w))]
        self.assertEqual([], newer)

    def test_the_table_of_returns_is_whole(self):
        self.assertEqual(self.table_words,
                         [self.words[self.table + 4 * n] for n in range(len(self.table_words))])

    def test_no_bx_lies_outside_the_table_of_returns(self):
        outside = [f"0x{a:08x} {w:08x} in {obj}" for start, end, obj in self.ranges
                   for a, w in self.instructions(start, end) if is_bx(w) and not self.in_table(a)]
        self.assertEqual([], outside)

    def test_the_items_functions_return_through_the_table(self):
        for start, end, obj in self.ranges:
            if not is_items_own(obj) or self.in_table(start):
                continue
            with self.subTest(obj=obj):
                code = self.instructions(start, end)
                self.assertEqual([], [f"0x{a:08x} {w:08x}" for a, w in code if returns_without_bx(w)])
                # The return through lr is the table's entry 14.
                self.assertTrue(any(branch_target(a, w) == self.table + 12 * 14 for a, w in code))


if __name__ == "__main__":
    if not CE_DIR or not os.path.isfile(os.path.join(CE_DIR, "mesolune.map")):
        print("skipped: no Windows CE build named (make ce builds one)")
        sys.exit(SKIPPED)
    unittest.main(verbosity=2)
