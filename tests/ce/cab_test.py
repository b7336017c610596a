#!/usr/bin/env python3
"""A CAB of the calendar, unpacked as a Pocket PC's installer would find it:
exactly the module, the setup library and the provisioning document, and a
document that names the setup library, extracts the module into \\Windows
and registers the Today item.

    cab_test.py            checks $MESOLUNE_CE_DIR/Mesolune.cab; skipped (77) without it
    cab_test.py FOLDER     checks FOLDER/Mesolune.cab (the emulated device's)
"""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SKIPPED = 77
CE_DIR = sys.argv.pop(1) if len(sys.argv) > 1 else os.environ.get("MESOLUNE_CE_DIR", "")

ITEM_KEY = "HKLM\\Software\\Microsoft\\Today\\Items\\Mesolune"
ITEM_VALUES = {
    "DLL": ("\\Windows\\mesolune.dll", "string"),
    "Type": ("4", "integer"),
    "Enabled": ("1", "integer"),
    "Options": ("1", "integer"),
    "Order": ("1", "integer"),
    "Selectability": ("2", "integer"),  # selected with its consent: its keys reach it
}


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
        cls.document = ET.parse(os.path.join(cls.folder.name, "_setup.xml")).getroot()

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def extracted_member(self):
        file_operation = child(self.document, "FileOperation")
        windows = child(file_operation, "%CE2%")
        self.assertEqual("install", windows.get("translation"))
        module = child(windows, "mesolune.dll")
        return parms(child(module, "Extract"))["Source"].get("value")

    def setup_member(self):
        return parms(child(self.document, "Install"))["SetupDLL"].get("value")

    def test_holds_the_document_the_module_and_the_setup_library_only(self):
        self.assertEqual(sorted(["_setup.xml", self.extracted_member(), self.setup_member()]), self.members)

    def test_the_setup_member_is_the_setup_library(self):
        member = os.path.join(self.folder.name, self.setup_member())
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
