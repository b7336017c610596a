#!/usr/bin/env python3
"""The Windows CE build is the same bytes wherever and whenever it is made:
the module, the setup library and the CAB are built a second time from the
same sources, copied into another folder, with the clock years ahead (by
faketime) and in another time zone, and must equal those of
$MESOLUNE_CE_DIR byte for byte; its SHA256SUMS must name them. Skipped (77)
without a Windows CE build.

    reproducible_test.py SOURCE_DIR
"""
import filecmp
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

SKIPPED = 77
SOURCE_DIR = sys.argv.pop(1)
CE_DIR = os.environ.get("MESOLUNE_CE_DIR", "")
SHIPPED = ["mesolune.dll", "mesolune_setup.dll", "Mesolune.cab"]
# A clock far from the build's: a different year, day and hour.
FAKE_CLOCK = "2031-02-03 04:05:06"


def git(*args):
    return subprocess.run(["git", "-C", SOURCE_DIR, *args], capture_output=True, text=True, check=True).stdout


def cegcc_prefix():
    with open(os.path.join(CE_DIR, "CMakeCache.txt")) as f:
        return re.search(r"^CEGCC_PREFIX:\w+=(.*)$", f.read(), re.M).group(1)


class Reproducible(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.elsewhere = tempfile.mkdtemp(prefix="mesolune-again-")
        source = os.path.join(cls.elsewhere, "sources")
        # The sources as they stand (changes not yet committed too), without
        # their history: the date must come from the build that is checked.
        for name in git("ls-files", "-z", "--cached", "--others", "--exclude-standard").split("\0"):
            if name and os.path.isfile(os.path.join(SOURCE_DIR, name)):
                os.makedirs(os.path.dirname(os.path.join(source, name)), exist_ok=True)
                shutil.copy2(os.path.join(SOURCE_DIR, name), os.path.join(source, name))
        env = dict(os.environ, TZ="Pacific/Kiritimati",
                   SOURCE_DATE_EPOCH=os.environ.get("SOURCE_DATE_EPOCH") or git("log", "-1", "--format=%ct").strip())
        clock = ["faketime", FAKE_CLOCK]
        cls.build = os.path.join(cls.elsewhere, "ce")
        subprocess.run(clock + ["cmake", "-S", source, "-B", cls.build,
                                "-DCMAKE_TOOLCHAIN_FILE=cmake/arm-mingw32ce.cmake",
                                "-DCEGCC_PREFIX=" + cegcc_prefix(), "-DCMAKE_BUILD_TYPE=MinSizeRel"],
                       cwd=source, env=env, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(clock + ["cmake", "--build", cls.build, "--target", "cab", "-j", str(os.cpu_count() or 2)],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.elsewhere, ignore_errors=True)

    def test_the_second_build_is_the_same_bytes(self):
        for name in SHIPPED:
            with self.subTest(name):
                self.assertTrue(filecmp.cmp(os.path.join(CE_DIR, name), os.path.join(self.build, name),
                                            shallow=False), name + " differs")

    def test_the_sums_name_what_was_built(self):
        with open(os.path.join(CE_DIR, "SHA256SUMS")) as f:
            sums = dict(reversed(line.split()) for line in f if line.strip())
        self.assertEqual(sorted(SHIPPED), sorted(sums))
        for name in SHIPPED:
            with open(os.path.join(CE_DIR, name), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), sums[name], name)


if __name__ == "__main__":
    if not CE_DIR:
        print("no Windows CE build named (make ce builds one)")
        sys.exit(SKIPPED)
    unittest.main()
