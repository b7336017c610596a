#!/usr/bin/env python3
"""The CAB's setup file writer says everything a document asks, or refuses
it: a document it cannot translate whole stops the build with the reason.

    setup_file_test.py SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile
import unittest

WRITER = os.path.join(sys.argv.pop(1), "packaging", "cab", "make_setup_file.py")

GOOD_INSTALL = '<characteristic type="Install"><parm name="AppName" value="Tested" /></characteristic>'
GOOD_FILES = ('<characteristic type="FileOperation"><characteristic type="%CE2%" translation="install">'
              '<characteristic type="MakeDir" /><characteristic type="tested.dll" translation="install">'
              '<characteristic type="Extract"><parm name="Source" value="tested.001" /></characteristic>'
              '</characteristic></characteristic></characteristic>')


def document(*characteristics):
    return '<?xml version="1.0" encoding="utf-8"?><wap-provisioningdoc>%s</wap-provisioningdoc>' % "".join(
        characteristics)


def registry(key, parm):
    return '<characteristic type="Registry"><characteristic type="%s">%s</characteristic></characteristic>' % (
        key, parm)


class Writer(unittest.TestCase):
    def write(self, text):
        with tempfile.TemporaryDirectory() as folder:
            source, output = os.path.join(folder, "_setup.xml"), os.path.join(folder, "tested.000")
            with open(source, "w", encoding="utf-8") as f:
                f.write(text)
            run = subprocess.run([sys.executable, WRITER, source, output, "--provider", "Tester", "--architecture",
                                  "2577", "--version-min", "3.0", "--version-max", "5.99"], capture_output=True,
                                 text=True)
            data = open(output, "rb").read() if os.path.exists(output) else b""
            return run.returncode, run.stderr, data

    def test_a_document_it_can_say_whole_is_written(self):
        code, said, data = self.write(document(GOOD_INSTALL, GOOD_FILES,
                                               registry("HKLM\\Software\\Tested", '<parm name="On" value="0x10" '
                                                        'datatype="integer" />')))
        self.assertEqual(0, code, said)
        self.assertEqual(b"MSCE", data[:4])
        self.assertEqual(len(data), int.from_bytes(data[8:12], "little"))

    def test_what_it_cannot_say_is_refused_with_the_reason(self):
        cases = [
            ("no name", document(GOOD_FILES), "no AppName"),
            ("another characteristic", document(GOOD_INSTALL, '<characteristic type="Metabase" />'),
             "a characteristic the setup file cannot hold: 'Metabase'"),
            ("a name not in ASCII", document(GOOD_INSTALL.replace("Tested", "Test\u00e9d")), "not ASCII"),
            ("a file of no numbered member", document(GOOD_INSTALL, GOOD_FILES.replace("tested.001", "tested.dll")),
             "a file without a numbered member: 'tested.dll'"),
            ("another root", document(GOOD_INSTALL, registry("HKCC\\Software", '<parm name="A" value="1" '
                                                             'datatype="integer" />')), "an unknown root"),
            ("another datatype", document(GOOD_INSTALL, registry("HKLM\\Software", '<parm name="A" value="1" '
                                                                 'datatype="float" />')), "an unknown datatype"),
            ("a setup library of another number", document(GOOD_INSTALL.replace(
                "</characteristic>", '<parm name="SetupDLL" value="tested.998" /></characteristic>')),
             "not the member .999"),
            ("not XML", "<wap-provisioningdoc>", "no element found"),
        ]
        for name, text, reason in cases:
            with self.subTest(name):
                code, said, data = self.write(text)
                self.assertNotEqual(0, code)
                self.assertIn(reason, said)
                self.assertEqual(b"", data)


if __name__ == "__main__":
    unittest.main(verbosity=2)
