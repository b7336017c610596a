#!/usr/bin/env python3
"""Writes a Pocket PC CAB's setup file, the member whose name ends in .000,
from the CAB's provisioning document (_setup.xml), as the platform's CAB
tool writes it from an .inf file: a 100-byte header ("MSCE", the processor,
the Windows CE versions the CAB installs on), the application's and its
provider's names, then the strings, folders, files, registry hives and
values, and links the installer reads.

  make_setup_file.py DOCUMENT OUTPUT --provider NAME --architecture N
      --version-min M.m --version-max M.m [--build-max N]

Every characteristic of the document is translated or refused: a document
this cannot say in the setup file is an error, never a smaller CAB.
"""

import argparse
import base64
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

HEADER_SIZE = 100
SIGNATURE = b"MSCE"
# The registry roots as the setup file numbers them.
ROOTS = {"HKCR": 1, "HKCU": 2, "HKLM": 3, "HKU": 4}
# The registry datatypes of the provisioning document and the setup file's
# type codes for them.
TYPE_SZ, TYPE_BINARY, TYPE_MULTI_SZ, TYPE_DWORD = 0x00000000, 0x00000001, 0x00010000, 0x00010001
# A file of the application: always written over (an upgrade replaces it
# whatever its date), and not to be skipped.
FILE_OVERWRITE, FILE_NO_SKIP = 0x40000000, 0x00000002
# A member of the CAB: its three-digit extension is its file's number.
MEMBER = re.compile(r"^.+\.(\d{3})$")


class SetupFileError(Exception):
    pass


class Strings:
    """The setup file's table of strings, each ID given at its first use."""

    def __init__(self):
        self.ids = {}

    def path(self, text):
        """A path as the setup file spells it: the IDs of its parts, 0 last."""
        parts = [part for part in text.split("\\") if part]
        if not parts:
            raise SetupFileError("an empty path: " + repr(text))
        return [self.id(part) for part in parts] + [0]

    def id(self, text):
        if text not in self.ids:
            self.ids[text] = len(self.ids) + 1
        return self.ids[text]

    def section(self):
        return b"".join(struct.pack("<HH", number, len(ascii(text)) + 1) + ascii(text) + b"\0"
                        for text, number in self.ids.items())


def ascii(text):
    try:
        return text.encode("ascii")
    except UnicodeEncodeError:
        raise SetupFileError("not ASCII, which the setup file holds: " + repr(text))


def words(numbers):
    return struct.pack("<%dH" % len(numbers), *numbers)


def parms(characteristic):
    return {parm.get("name"): parm.get("value") for parm in characteristic.findall("parm")}


def value_data(parm):
    """A registry value's type code and data (its name first)."""
    name, value, datatype = parm.get("name"), parm.get("value"), parm.get("datatype")
    if datatype == "string":
        return TYPE_SZ, ascii(name) + b"\0" + ascii(value) + b"\0"
    if datatype == "integer":
        number = int(value, 16) if value.lower().startswith("0x") else int(value)
        return TYPE_DWORD, ascii(name) + b"\0" + struct.pack("<I", number)
    if datatype == "multiplestring":
        texts = [ascii(text) + b"\0" for text in value.split("\uf000") if text]
        return TYPE_MULTI_SZ, ascii(name) + b"\0" + b"".join(texts) + b"\0"
    if datatype == "binary":
        return TYPE_BINARY, ascii(name) + b"\0" + base64.b64decode(value, validate=True)
    raise SetupFileError("a registry value of an unknown datatype: " + repr(datatype))


def setup_file(document, provider, architecture, version_min, version_max, build_max):
    root = ElementTree.parse(document).getroot()
    strings = Strings()
    app_name, dirs, files, hives, keys = None, [], [], [], []
    for characteristic in root.findall("characteristic"):
        kind = characteristic.get("type")
        if kind == "Install":
            install = parms(characteristic)
            app_name = install.get("AppName")
            # The platform's installer knows the setup library by its number.
            if install.get("SetupDLL") and not install["SetupDLL"].endswith(".999"):
                raise SetupFileError("a setup library that is not the member .999: " + repr(install["SetupDLL"]))
        elif kind == "FileOperation":
            for folder in characteristic.findall("characteristic"):
                dir_id = len(dirs) + 1
                dirs.append(struct.pack("<H", dir_id) + path_entry(strings.path(folder.get("type"))))
                for entry in folder.findall("characteristic"):
                    if entry.get("type") == "MakeDir":
                        continue
                    extract = entry.find("characteristic[@type='Extract']")
                    source = parms(extract).get("Source") if extract is not None else None
                    member = MEMBER.match(source or "")
                    if not member:
                        raise SetupFileError("a file without a numbered member: " + repr(entry.get("type")))
                    file_id = int(member.group(1))
                    name = ascii(entry.get("type")) + b"\0"
                    files.append(struct.pack("<HHHIH", file_id, dir_id, file_id, FILE_OVERWRITE | FILE_NO_SKIP,
                                             len(name)) + name)
        elif kind == "Registry":
            for key in characteristic.findall("characteristic"):
                root_name, _, path = key.get("type").partition("\\")
                if root_name not in ROOTS:
                    raise SetupFileError("a registry key under an unknown root: " + repr(key.get("type")))
                hive_id = len(hives) + 1
                hives.append(struct.pack("<HHH", hive_id, ROOTS[root_name], 0) + path_entry(strings.path(path)))
                for parm in key.findall("parm"):
                    type_code, data = value_data(parm)
                    keys.append(struct.pack("<HHHIH", len(keys) + 1, hive_id, 0, type_code, len(data)) + data)
        else:
            raise SetupFileError("a characteristic the setup file cannot hold: " + repr(kind))
    if not app_name:
        raise SetupFileError("no AppName")

    # The strings and sections after the header, in the order the platform's
    # tool writes them; the header gives each one's place.
    app, vendor = ascii(app_name) + b"\0", ascii(provider) + b"\0"
    pieces = [("appname", app), ("provider", vendor), ("unsupported", b""), ("strings", strings.section()),
              ("dirs", b"".join(dirs)), ("files", b"".join(files)), ("hives", b"".join(hives)),
              ("keys", b"".join(keys)), ("links", b"")]
    at, offsets = HEADER_SIZE, {}
    for name, data in pieces:
        offsets[name] = at
        at += len(data)
    (min_major, min_minor), (max_major, max_minor) = version_min, version_max
    header = SIGNATURE + struct.pack(
        "<IIIII" "IIII" "II" "HHHHHH" "IIIIII" "HHHHHH" "HH",
        0, at, 0, 1, architecture,
        min_major, min_minor, max_major, max_minor,
        0, build_max,
        len(strings.ids), len(dirs), len(files), len(hives), len(keys), 0,
        offsets["strings"], offsets["dirs"], offsets["files"], offsets["hives"], offsets["keys"], offsets["links"],
        offsets["appname"], len(app), offsets["provider"], len(vendor), offsets["unsupported"], 0,
        0, 0)
    assert len(header) == HEADER_SIZE
    return header + b"".join(data for _, data in pieces)


def path_entry(path):
    """A path's entry after its ID: its length in bytes, then its string IDs."""
    return struct.pack("<H", 2 * len(path)) + words(path)


def version(text):
    major, _, minor = text.partition(".")
    return int(major), int(minor or 0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("document")
    parser.add_argument("output")
    parser.add_argument("--provider", required=True)
    parser.add_argument("--architecture", type=int, required=True)
    parser.add_argument("--version-min", type=version, required=True)
    parser.add_argument("--version-max", type=version, required=True)
    parser.add_argument("--build-max", type=lambda text: int(text, 0), default=0)
    arguments = parser.parse_args()
    try:
        data = setup_file(arguments.document, arguments.provider, arguments.architecture, arguments.version_min,
                          arguments.version_max, arguments.build_max)
    except (SetupFileError, ElementTree.ParseError, ValueError) as error:
        sys.exit("make_setup_file.py: %s: %s" % (arguments.document, error))
    with open(arguments.output, "wb") as output:
        output.write(data)


if __name__ == "__main__":
    main()
