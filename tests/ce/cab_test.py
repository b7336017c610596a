#!/usr/bin/env python3
"""A CAB of the calendar, unpacked as a Pocket PC's installer would find it:
exactly the setup file, the module and the setup library, in the platform's
order, and no _setup.xml, as the platform's CAB tool writes a Pocket PC's
CAB; a setup file (.000), read as the public description of the format has
it, that installs the module into \\Windows and registers the Today item,
for every Windows CE version from Pocket PC 2002's (3.0) to Windows Mobile
6.5's (5.2); and the provisioning document the build writes it from, which
says the same.

    cab_test.py            checks $MESOLUNE_CE_DIR/Mesolune.cab; skipped (77) without it
    cab_test.py FOLDER     checks FOLDER/Mesolune.cab (the emulated device's)
"""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SKIPPED = 77
DEVICE_CAB = len(sys.argv) > 1
CE_DIR = sys.argv.pop(1) if DEVICE_CAB else os.environ.get("MESOLUNE_CE_DIR", "")
# The build the CAB lies in (the emulated device's lies in its bin folder).
BUILD_DIR = os.path.dirname(os.path.abspath(CE_DIR)) if DEVICE_CAB else CE_DIR
# The platform's installer takes the member .999 as the setup library.
SETUP_MEMBER = "mesolune.999"

ITEM_KEY = "HKLM\\Software\\Microsoft\\Today\\Items\\Mesolune"
ITEM_VALUES = {
    "DLL": ("\\Windows\\mesolune.dll", "string"),
    "Type": ("4", "integer"),
    "Enabled": ("1", "integer"),
    "Options": ("1", "integer"),
    "Order": ("1", "integer"),
    "Selectability": ("2", "integer"),  # selected with its consent: its keys reach it
}


# What the setup file says of the processor: StrongARM for ARM devices, none
# for the emulated device's own CAB.
ARCHITECTURE = 0 if DEVICE_CAB else 2577
# The registry roots as the setup file numbers them.
HKLM = 3
TYPE_SZ, TYPE_DWORD = 0x00000000, 0x00010001


class SetupFile:
    """The .000 member: a 100-byte header, then sections the header places."""

    def __init__(self, data):
        self.data = data
        (self.signature, _, self.length, _, _, self.architecture, min_major, min_minor, max_major, max_minor,
         self.build_min, self.build_max) = struct.unpack_from("<4s11I", data, 0)
        self.version_min, self.version_max = (min_major, min_minor), (max_major, max_minor)
        counts = struct.unpack_from("<6H", data, 48)
        offsets = struct.unpack_from("<6I", data, 60)
        names = struct.unpack_from("<6H", data, 84)
        self.app_name = self.text(names[0], names[1])
        self.provider = self.text(names[2], names[3])
        self.strings = {}
        at = offsets[0]
        for _ in range(counts[0]):
            number, size = struct.unpack_from("<HH", data, at)
            self.strings[number] = self.text(at + 4, size)
            at += 4 + size
        self.dirs, at = {}, offsets[1]
        for _ in range(counts[1]):
            number, size = struct.unpack_from("<HH", data, at)
            self.dirs[number] = self.path(at + 4, size)
            at += 4 + size
        self.files, at = [], offsets[2]
        for _ in range(counts[2]):
            number, folder, _, flags, size = struct.unpack_from("<HHHIH", data, at)
            self.files.append((number, self.dirs[folder], flags, self.text(at + 12, size)))
            at += 12 + size
        self.hives, at = {}, offsets[3]
        for _ in range(counts[3]):
            number, root, _, size = struct.unpack_from("<HHHH", data, at)
            self.hives[number] = (root, self.path(at + 8, size))
            at += 8 + size
        self.values, at = [], offsets[4]
        for _ in range(counts[4]):
            _, hive, _, kind, size = struct.unpack_from("<HHHIH", data, at)
            entry = data[at + 12:at + 12 + size]
            name, _, rest = entry.partition(b"\0")
            if kind == TYPE_DWORD:
                value = str(struct.unpack("<I", rest)[0]), "integer"
            elif kind == TYPE_SZ:
                value = rest.rstrip(b"\0").decode("ascii"), "string"
            else:
                value = rest, hex(kind)
            self.values.append((self.hives[hive], name.decode("ascii"), value))
            at += 12 + size
        self.links = counts[5]

    def text(self, at, size):
        return self.data[at:at + size].rstrip(b"\0").decode("ascii")

    def path(self, at, size):
        numbers = struct.unpack_from("<%dH" % (size // 2), self.data, at)
        return "\\".join(self.strings[n] for n in numbers[:-1])


def parms(characteristic):
    return {p.get("name"): p for p in characteristic.findall("parm")}


def child(characteristic, type_):
    found = [c for c in characteristic.findall("characteristic") if c.get("type") == type_]
    if len(found) != 1:
        raise AssertionError(f"{len(found)} characteristics of type {type_!r}")
    return found[0]


class Cab(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        subprocess.run(["cabextract", "-q", "-d", cls.folder.name, os.path.join(CE_DIR, "Mesolune.cab")],
                       check=True)
        cls.members = sorted(os.listdir(cls.folder.name))
        cls.document = ET.parse(os.path.join(BUILD_DIR, "packaging", "cab", "stage", "_setup.xml")).getroot()
        listing = subprocess.run(["cabextract", "-l", os.path.join(CE_DIR, "Mesolune.cab")], check=True,
                                 capture_output=True, text=True).stdout
        cls.order = [line.split("|")[-1].strip() for line in listing.splitlines() if line.count("|") == 2][1:]
        setup_files = [m for m in cls.members if m.endswith(".000")]
        with open(os.path.join(cls.folder.name, setup_files[0]), "rb") as f:
            cls.setup_file = SetupFile(f.read()) if len(setup_files) == 1 else None

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def extracted_member(self):
        """The module's member: the one numbered as the setup file's file."""
        (number, _, _, _), = self.setup_file.files
        return "mesolune.%03d" % number

    def test_holds_the_setup_file_the_module_and_the_setup_library_only(self):
        self.assertEqual(sorted(["mesolune.000", self.extracted_member(), SETUP_MEMBER]), self.members)

    def test_the_document_names_the_members_the_setup_file_does(self):
        file_operation = child(self.document, "FileOperation")
        windows = child(file_operation, "%CE2%")
        self.assertEqual("install", windows.get("translation"))
        module = child(windows, "mesolune.dll")
        self.assertEqual(self.extracted_member(), parms(child(module, "Extract"))["Source"].get("value"))
        self.assertEqual(SETUP_MEMBER, parms(child(self.document, "Install"))["SetupDLL"].get("value"))

    def test_the_setup_file_comes_first_and_the_numbered_members_by_their_numbers_highest_first(self):
        numbered = [m for m in self.order if m[-4:-3] == "." and m[-3:].isdigit()]
        self.assertEqual("mesolune.000", self.order[0])
        self.assertEqual(["mesolune.000"] + sorted(numbered[1:], key=lambda m: -int(m[-3:])), numbered)

    def test_the_setup_file_names_the_calendar_the_processor_and_every_pocket_pc(self):
        setup = self.setup_file
        self.assertEqual(b"MSCE", setup.signature)
        self.assertEqual(len(setup.data), setup.length)
        self.assertEqual("Mesolune", setup.app_name)
        self.assertEqual("Orvik", setup.provider)
        self.assertEqual(ARCHITECTURE, setup.architecture)
        # Pocket PC 2002 is Windows CE 3.0; Windows Mobile 6.5 is 5.2.
        self.assertLessEqual(setup.version_min, (3, 0))
        self.assertGreaterEqual(setup.version_max, (5, 2))
        self.assertEqual(0, setup.build_min)
        self.assertEqual(0xE0000000, setup.build_max)
        self.assertEqual(0, setup.links)

    def test_the_setup_file_installs_the_module_into_windows_from_its_member(self):
        self.assertEqual([(1, "%CE2%", 0x40000002, "mesolune.dll")], self.setup_file.files)
        self.assertEqual("mesolune.001", self.extracted_member())
        self.assertIn(SETUP_MEMBER, self.members)

    def test_the_setup_file_registers_the_today_item(self):
        key = (HKLM, ITEM_KEY.split("\\", 1)[1])
        self.assertEqual({(key, name, value) for name, value in ITEM_VALUES.items()}, set(self.setup_file.values))
        self.assertEqual(len(ITEM_VALUES), len(self.setup_file.values))

    def test_the_setup_member_is_the_setup_library(self):
        member = os.path.join(self.folder.name, SETUP_MEMBER)
        self.assertTrue(filecmp.cmp(member, os.path.join(CE_DIR, "mesolune_setup.dll"), shallow=False))

    def test_the_member_is_the_module(self):
        member = os.path.join(self.folder.name, self.extracted_member())
        self.assertTrue(filecmp.cmp(member, os.path.join(CE_DIR, "mesolune.dll"), shallow=False))

    def test_is_a_provisioning_document_of_three_parts(self):
        self.assertEqual("wap-provisioningdoc", self.document.tag)
        self.assertEqual(["Install", "FileOperation", "Registry"],
                         [c.get("type") for c in self.document.findall("characteristic")])

    def test_install_counts_what_it_installs(self):
        install = parms(child(self.document, "Install"))
        self.assertEqual("install", install["InstallPhase"].get("value"))
        self.assertEqual("Mesolune", install["AppName"].get("value"))
        # The one folder it installs into is the one it declares.
        folders = [c.get("type") for c in child(self.document, "FileOperation").findall("characteristic")]
        self.assertEqual([install["InstallDir"].get("value")], folders)
        self.assertEqual(str(len(folders)), install["NumDirs"].get("value"))
        self.assertEqual("1", install["NumFiles"].get("value"))
        self.assertEqual("1", install["NumRegKeys"].get("value"))
        self.assertEqual(str(len(ITEM_VALUES)), install["NumRegVals"].get("value"))

    def test_registers_the_today_item(self):
        registry = child(self.document, "Registry")
        self.assertEqual([ITEM_KEY], [c.get("type") for c in registry.findall("characteristic")])
        values = {name: (p.get("value"), p.get("datatype")) for name, p in parms(child(registry, ITEM_KEY)).items()}
        self.assertEqual(ITEM_VALUES, values)


if __name__ == "__main__":
    if not CE_DIR or not os.path.isfile(os.path.join(CE_DIR, "Mesolune.cab")):
        print("skipped: no Windows CE build named (make ce builds one)")
        sys.exit(SKIPPED)
    unittest.main(verbosity=2)
