#!/usr/bin/env python3
"""The device's launcher at the edges of its command line: each command line
it cannot take gives one line and exit status 2, before anything is made.

    launcher_test.py LAUNCHER BIN
"""
import os
import subprocess
import sys
import tempfile
import unittest

LAUNCHER = os.path.abspath(sys.argv[1])
BIN = os.path.abspath(sys.argv[2])
# How long one command of the launcher may take: the first one in a device
# creates its Wine prefix, which takes minutes on a loaded machine.
DEADLINE = 600
# The environment of a shell outside the suite's session: the launcher's
# devices here have their own root, so none may use the session's X servers,
# where a second Wine takes the keyboard from the tests' Today screens.
OUTSIDE_SESSION = {k: v for k, v in os.environ.items() if not k.startswith("DEVICE_") and k != "DISPLAY"}


def alone(command, **options):
    """Runs a command as from a shell outside the suite's session."""
    return subprocess.run(command, env=OUTSIDE_SESSION, **options)


class Launcher(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # One device for the tests that need one: each Wine prefix made is a
        # long first start of Wine.
        cls.shared = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.shared.name, "root")

    @classmethod
    def tearDownClass(cls):
        cls.shared.cleanup()

    def run_launcher(self, *args):
        with tempfile.TemporaryDirectory() as folder:
            root = os.path.join(folder, "root")
            bin_folder = os.path.join(folder, "bin")
            result = alone([LAUNCHER, "--root", root, "--bin", bin_folder, *args],
                                    capture_output=True, text=True, timeout=DEADLINE)
            made = sorted(os.listdir(folder))
        return result, made

    def test_refusals_say_what_is_wrong_and_make_nothing(self):
        cases = [
            (["--profile"], "device: --profile needs a profile name"),
            (["--root"], "device: --root needs a folder"),
            (["--bin"], "device: --bin needs a folder"),
            (["--profile", "tiny", "setup"], "device: unknown profile 'tiny' (qvga, vga, qvga131, square, wvga)"),
            (["--platform"], "device: --platform needs a platform name"),
            (["--platform", "wm7", "setup"],
             "device: unknown platform 'wm7' (ppc2002, wm2003, wm2003se, wm5, wm6)"),
            (["--frobnicate", "setup"], "device: unknown option --frobnicate (device --help lists them)"),
            ([], "device: no command (device --help lists them)"),
            (["session", "--profiles"], "device: session: --profiles needs profile names"),
            (["session", "--profiles", "qvga tiny", "--", "true"],
             "device: unknown profile 'tiny' (qvga, vga, qvga131, square, wvga)"),
            (["session", "--"], "device: session: no command"),
            (["install"], "device: install takes one CAB file"),
            (["install", "a.cab", "b.cab"], "device: install takes one CAB file"),
            (["uninstall"], "device: uninstall takes one application's name"),
        ]
        for args, says in cases:
            with self.subTest(args=args):
                result, made = self.run_launcher(*args)
                self.assertEqual(2, result.returncode)
                self.assertEqual(says + "\n", result.stderr)
                self.assertEqual([], made)

    def test_a_missing_program_is_named_before_a_device_is_made(self):
        result, made = self.run_launcher("no_such_program")
        self.assertEqual(1, result.returncode)
        self.assertTrue(result.stderr.startswith("device: no program 'no_such_program' in "), result.stderr)
        self.assertEqual([], made)

    def test_regedit_imports_and_exports_the_devices_keys(self):
        """A .reg file names the device's keys; wherever the file lies, an
        absolute path included, they land in the device's hive."""
        with tempfile.TemporaryDirectory() as folder:
            launcher = [LAUNCHER, "--root", self.root, "--bin", os.path.join(folder, "bin")]
            os.mkdir(os.path.join(folder, "bin"))
            reg = os.path.join(folder, "import.reg")
            with open(reg, "w", newline="\r\n") as f:
                f.write('REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\LauncherTest]\n"Value"=dword:00000007\n')
            exported = os.path.join(folder, "export.reg")
            for path, cwd in ((reg, None), ("import.reg", folder)):
                with self.subTest(path=path):
                    alone([*launcher, "reg", "delete", r"HKLM\Software\LauncherTest", "/f"],
                                   capture_output=True, timeout=DEADLINE)
                    alone([*launcher, "regedit", "/S", path], check=True, cwd=cwd, timeout=DEADLINE)
                    query = alone([*launcher, "reg", "query", r"HKLM\Software\LauncherTest"],
                                           capture_output=True, text=True, timeout=DEADLINE)
                    self.assertIn("HKEY_LOCAL_MACHINE\\Software\\LauncherTest", query.stdout)
                    self.assertIn("0x7", query.stdout)
                    desktop = alone([*launcher, "wine", "reg", "query", r"HKLM\Software\LauncherTest"],
                                             capture_output=True, text=True, timeout=DEADLINE)
                    self.assertNotEqual(0, desktop.returncode, desktop.stdout)
            alone([*launcher, "regedit", "/E", exported, r"HKLM\Software\LauncherTest"], check=True,
                           timeout=DEADLINE)
            with open(exported, "rb") as f:
                text = f.read().decode("utf-16")
            self.assertIn("[HKEY_LOCAL_MACHINE\\Software\\LauncherTest]", text)

    def test_a_device_whose_system_files_are_missing_is_made_again_with_its_registry(self):
        """A first start of Wine cut short leaves a prefix without its system
        files; the next command makes them again and keeps the registry."""
        launcher = [LAUNCHER, "--root", self.root, "--bin", BIN]
        alone([*launcher, "reg", "add", r"HKLM\Software\LauncherTest", "/v", "Value", "/t", "REG_DWORD",
                        "/d", "7", "/f"], check=True, capture_output=True, timeout=DEADLINE)
        os.remove(os.path.join(self.root, "qvga", "drive_c", "windows", "system32", "kernel32.dll"))
        query = alone([*launcher, "reg", "query", r"HKLM\Software\LauncherTest"],
                               capture_output=True, text=True, timeout=DEADLINE)
        self.assertEqual(0, query.returncode, query.stderr)
        self.assertIn("0x7", query.stdout)

    def test_installs_and_removes_a_cab_and_keeps_the_cab(self):
        with tempfile.TemporaryDirectory() as folder:
            launcher = [LAUNCHER, "--root", self.root, "--bin", BIN]
            cab = os.path.join(BIN, "Mesolune.cab")
            for args, code, says in [
                (["install", cab], 0, "wceload: installed Mesolune"),
                (["install", cab], 0, "wceload: upgraded Mesolune"),
                (["uninstall", "Mesolune"], 0, "wceload: removed Mesolune"),
                (["uninstall", "Mesolune"], 1, "wceload: Mesolune is not installed"),
                (["install", os.path.join(folder, "none.cab")], 1, None),
            ]:
                with self.subTest(args=args):
                    result = alone([*launcher, *args], capture_output=True, text=True, timeout=DEADLINE)
                    self.assertEqual(code, result.returncode, result.stderr)
                    if says:
                        self.assertEqual(says, result.stdout.strip())
                    else:
                        self.assertIn("device: no such file: ", result.stderr)
                    if args[0] == "install" and code == 0:
                        query = alone([*launcher, "reg", "query", r"HKLM\Software\Microsoft\Today\Items\Mesolune"],
                                               capture_output=True, text=True, timeout=DEADLINE)
                        self.assertIn(r"\Windows\mesolune.dll", query.stdout)
            self.assertTrue(os.path.isfile(cab))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
