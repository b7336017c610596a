#!/usr/bin/env python3
"""Makes an ARM module's returns and calls through a register serve ARMv4
processors, which have no BX, as well as the later ones: each BX in the
module's code becomes a branch, under the same condition, to the entry for
its register of the module's __interworking_returns table, which takes an
even address with MOV and an odd one (a Thumb caller) with BX. The link map
tells where the code and the table lie; the words the code loads as data
(literal pools, switch tables) are left as they are.

  returns_for_armv4.py MODULE MAP
"""
import re
import struct
import sys

TABLE_SYMBOL = "__interworking_returns"
ENTRY_BYTES = 12
REGISTERS = 15


class ModuleError(Exception):
    pass


def sections(image):
    """The PE image's sections: (virtual address with the image base, raw offset, raw size)."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    base = struct.unpack_from("<I", image, pe + 24 + 28)[0]
    table = pe + 24 + optional_size
    found = []
    for i in range(count):
        _, virtual_size, address, raw_size, raw_offset = struct.unpack_from("<8sIIII", image, table + 40 * i)
        found.append((base + address, raw_offset, min(virtual_size, raw_size)))
    return found


def file_offset(image_sections, address):
    for start, raw_offset, size in image_sections:
        if start <= address < start + size:
            return raw_offset + address - start
    raise ModuleError("0x%08x lies in no section of the module" % address)


def code_ranges(map_text):
    """Each object's .text in the module: (start, end, object)."""
    ranges = []
    for match in re.finditer(r"^ \.text\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)$", map_text, re.M):
        start, size = int(match.group(1), 16), int(match.group(2), 16)
        if size:
            ranges.append((start, start + size, match.group(3)))
    return ranges


def table_address(map_text):
    match = re.search(r"^\s+0x([0-9a-f]+)\s+" + TABLE_SYMBOL + r"$", map_text, re.M)
    if not match:
        raise ModuleError("the map names no " + TABLE_SYMBOL + " (is its source linked in?)")
    return int(match.group(1), 16)


def data_words(words):
    """Addresses the code reads as data: pc-relative literals (of ldr, and
    of ldrd, which a later processor's code may have) and the address tables
    after a pc-relative jump."""
    data = set()
    addresses = sorted(words)
    for i, address in enumerate(addresses):
        w = words[address]
        if w >> 28 == 0xF:
            continue
        if w & 0x0F7F0000 == 0x051F0000:  # ldr rt, [pc, #+-imm12]
            offset = w & 0xFFF
            data.add(address + 8 + (offset if w & (1 << 23) else -offset))
        elif w & 0x0E5F00D0 == 0x004F00D0:  # ldrd rt, [pc, #+-imm8]
            offset = ((w >> 4) & 0xF0) | (w & 0xF)
            target = address + 8 + (offset if w & (1 << 23) else -offset)
            data.update((target, target + 4))
        elif w & 0x0FFFFFF0 == 0x079FF100:  # ldr pc, [pc, rm, lsl #2]
            register = w & 0xF
            for back in addresses[max(0, i - 4):i][::-1]:
                if words[back] & 0x0FFFF000 == 0x03500000 | (register << 16):  # cmp rm, #imm
                    data.update(address + 8 + 4 * n for n in range((words[back] & 0xFF) + 1))
                    break
            else:
                raise ModuleError("a jump table at 0x%08x without its bound" % address)
    return data


def entry_words(register):
    return [0xE3100001 | register << 16, 0x01A0F000 | register, 0xE12FFF10 | register]


def rewrite(image, map_text):
    image = bytearray(image)
    image_sections = sections(image)
    table = table_address(map_text)
    for register in range(REGISTERS):
        at = file_offset(image_sections, table + ENTRY_BYTES * register)
        if list(struct.unpack_from("<3I", image, at)) != entry_words(register):
            raise ModuleError("the module's %s is not the table it should be" % TABLE_SYMBOL)
    table_end = table + ENTRY_BYTES * REGISTERS
    words = {}
    for start, end, _ in code_ranges(map_text):
        for address in range(start, end, 4):
            words[address] = struct.unpack_from("<I", image, file_offset(image_sections, address))[0]
    data = data_words(words)
    changed = 0
    for address, w in words.items():
        if address in data or table <= address < table_end or w >> 28 == 0xF or w & 0x0FFFFFF0 != 0x012FFF10:
            continue
        target = table + ENTRY_BYTES * (w & 0xF)
        offset = (target - (address + 8)) >> 2
        branch = (w & 0xF0000000) | 0x0A000000 | (offset & 0xFFFFFF)
        struct.pack_into("<I", image, file_offset(image_sections, address), branch)
        changed += 1
    if not changed:
        raise ModuleError("the module has no BX to change: was it changed already?")
    return bytes(image)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    module, map_file = sys.argv[1:]
    try:
        with open(module, "rb") as f:
            image = f.read()
        with open(map_file) as f:
            map_text = f.read()
        rewritten = rewrite(image, map_text)
    except (ModuleError, OSError, struct.error) as error:
        sys.exit("returns_for_armv4.py: %s: %s" % (module, error))
    with open(module, "wb") as f:
        f.write(rewritten)


if __name__ == "__main__":
    main()
