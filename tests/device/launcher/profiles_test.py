#!/usr/bin/env python3
"""The device's table of screens (device/screen-profiles) is the one the
README shows, the one the ZIP's README.txt names and the one the launcher
knows.

    profiles_test.py SOURCE_DIR BUILD_DIR
"""
import os
import re
import subprocess
import sys
import unittest

SOURCE, BUILD = (os.path.abspath(a) for a in sys.argv[1:3])


def profiles():
    with open(os.path.join(SOURCE, "device", "screen-profiles")) as table:
        rows = [line.split() for line in table if line.strip() and not line.startswith("#")]
    return [(name, int(width), int(height), int(dpi)) for name, width, height, dpi in rows]


class Profiles(unittest.TestCase):
    def test_the_readme_shows_the_table(self):
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as readme:
            text = readme.read()
        shown = re.findall(r"^\| `(\w+)`( \(default\))? \| (\d+) × (\d+) \| (\d+) dpi \|$", text, re.M)
        expected = [(name, " (default)" if i == 0 else "", str(w), str(h), str(d))
                    for i, (name, w, h, d) in enumerate(profiles())]
        self.assertEqual(expected, shown)

    def test_the_zip_names_every_profile(self):
        with open(os.path.join(BUILD, "README.txt"), encoding="utf-8") as readme:
            text = " ".join(readme.read().split())
        for name, width, height, dpi in profiles():
            self.assertIn(f"{name} ({width} x {height}, {dpi} dpi", text)

    def test_the_launcher_knows_every_profile(self):
        result = subprocess.run([os.path.join(SOURCE, "device", "device"), "--help"], capture_output=True, text=True)
        names = ", ".join(name for name, *_ in profiles())
        self.assertIn(f"device profile: {names}", result.stdout)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
