#!/usr/bin/env python3
"""The device for Windows (make dist), unpacked into an empty folder and
started as a Windows user would: in a plain Wine prefix without the device's
launcher (no window manager's help, the desktop's 96 dpi, a 1024 x 768
desktop, Tahoma in its Fonts folder as Windows has it). Its screenshot at
--profile vga must be the launcher's at the same time.

    dist_test.py BUILD_DIR LAUNCHER
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

BUILD, LAUNCHER = (os.path.abspath(a) for a in sys.argv[1:3])
TIME = "2026-12-08T09:41"
PROFILE_ARGS = ["--profile", "vga", "--time", TIME]
SCREEN = (480, 640)
ARM_MODULE = os.path.join(BUILD, "bin", "arm", "mesolune.dll")
BARS = 52  # the title and soft-key bars' height at 192 dpi
# The device's registry, in the user's: what it writes, and where the
# desktop's registry would have had it.
DEVICE_HIVE = r"HKCU\Software\MesoluneDevice\PocketPC"
DEVICE_KEYS = [r"HKEY_LOCAL_MACHINE\Software\Microsoft\Today\Items\Mesolune",
               r"HKEY_LOCAL_MACHINE\Software\Microsoft\Clock\0",
               r"HKEY_CURRENT_USER\Software\Orvik\Mesolune"]
DESKTOP_KEYS = [r"HKLM\Software\Device", r"HKLM\Software\Microsoft\Today", r"HKLM\Software\Microsoft\Clock",
                r"HKCU\Software\Orvik\Mesolune"]
FRESH_DEVICE = (r'"$WINE" reg delete "HKCU\Software\MesoluneDevice" /f >/dev/null 2>&1; '
                r'rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Local/MesoluneDevice; ')


def png_pixels(path):
    """Width, height and RGB rows of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, header
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up, corner = previous[i], previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def find_wine():
    for candidate in (os.environ.get("WINE"), shutil.which("wine64"), "/usr/lib/wine/wine64", shutil.which("wine")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise RuntimeError("Wine is not installed")


class WindowsZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        subprocess.run(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", cls.work.name],
                       check=True, stdout=subprocess.DEVNULL)
        cls.folder = os.path.join(cls.work.name, "unpacked")
        with zipfile.ZipFile(os.path.join(cls.work.name, "mesolune-device-win64.zip")) as archive:
            archive.extractall(cls.folder)
        cls.programs = os.path.join(cls.folder, "mesolune-device-win64")

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    @staticmethod
    def plain_prefix(wine, environment):
        """A Wine prefix as Wine makes it, kept between runs, with Tahoma in its Fonts folder."""
        prefix = environment["WINEPREFIX"]
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            subprocess.run([wine, "wineboot", "-i"], env=environment, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run([os.path.join(os.path.dirname(wine), "wineserver"), "-w"], env=environment, check=False)
        fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
        os.makedirs(fonts, exist_ok=True)
        for face in ("tahoma.ttf", "tahomabd.ttf"):
            shutil.copy(os.path.join("/usr/share/wine/fonts", face), fonts)

    @classmethod
    def on_windows(cls, script, *args):
        """Runs a bash script as a Windows user would run the programs: in a
        plain Wine prefix ($WINE runs a program), with an X server of a
        desktop's size of its own; its Wine server goes with it."""
        wine = find_wine()
        environment = {k: v for k, v in os.environ.items()
                       if not k.startswith(("DEVICE_", "WINE", "MESOLUNE_")) and k != "DISPLAY"}
        environment.update(WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", WINE=wine,
                           WINEPREFIX=os.path.join(BUILD, "plain-windows-prefix"))
        cls.plain_prefix(wine, environment)
        wrapped = script + '\nrc=$?; "$(dirname "$WINE")/wineserver" -k 2>/dev/null; exit $rc'
        return subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1024x768x24", "bash", "-c", wrapped, "windows",
                               *args], env=environment, check=True, timeout=240, capture_output=True, text=True)

    def program(self, name):
        return os.path.join(self.programs, name)

    def screenshot_on_windows(self, *arguments):
        picture = os.path.join(self.work.name, "windows.png")
        # Each run is a first start: the device has no registry yet.
        self.on_windows(FRESH_DEVICE + '"$WINE" "$@"', self.program("today.exe"), *arguments, "--screenshot", picture)
        return picture

    def screenshot_by_launcher(self):
        picture = os.path.join(self.work.name, "launcher.png")
        subprocess.run([LAUNCHER, "--root", os.path.join(BUILD, "test-device"), "--bin", os.path.join(BUILD, "bin"),
                        "--profile", "vga", "today", *PROFILE_ARGS, "--screenshot", picture],
                       check=True, timeout=240)
        return picture

    def test_holds_the_device_and_the_item(self):
        arm = ["arm"] if os.path.exists(ARM_MODULE) else []
        self.assertEqual(["COPYING-GPL-2.0.txt", "COPYING-LGPL-2.0.txt", "LICENSE.txt", "Mesolune.cab", "README.txt",
                          *arm, "aygshell.dll", "commctrl.dll", "commdlg.dll", "coredll.dll", "ctlpnl.exe",
                          "devinfo.exe", "mesolune.dll", "mesolune_setup.dll", "today.exe", "wceload.exe"],
                         sorted(os.listdir(self.programs)))
        if arm:
            self.assertEqual(["mesolune.dll", "use-arm.reg", "use-x86-64.reg"],
                             sorted(os.listdir(self.program("arm"))))

    def test_runs_the_module_for_arm_as_its_readme_says(self):
        if not os.path.exists(ARM_MODULE):
            self.skipTest("no module for ARM (make ce builds one)")
        # A copy without this computer's module: the calendar shown is the ARM one.
        folder = os.path.join(self.work.name, "arm-only")
        shutil.copytree(self.programs, folder)
        os.remove(os.path.join(folder, "mesolune.dll"))
        picture = os.path.join(self.work.name, "arm.png")
        self.on_windows(FRESH_DEVICE + 'cd "$1" && "$WINE" reg import "arm\\use-arm.reg" && '
                        '"$WINE" today.exe "${@:2}"', folder, *PROFILE_ARGS, "--screenshot", picture)
        width, height, windows = png_pixels(picture)
        self.assertEqual(SCREEN, (width, height))
        launcher = png_pixels(self.screenshot_by_launcher())[2]
        for y in range(BARS, height - BARS):
            self.assertEqual(launcher[y], windows[y], f"row {y}")

    def test_shows_on_windows_what_the_launcher_shows(self):
        width, height, windows = png_pixels(self.screenshot_on_windows(*PROFILE_ARGS))
        self.assertEqual(SCREEN, (width, height))
        launcher = png_pixels(self.screenshot_by_launcher())[2]
        same = sum(a == b for row_a, row_b in zip(windows, launcher) for a, b in zip(row_a, row_b))
        self.assertGreaterEqual(same / (width * height), 0.99)
        # The calendar and the background around it, between the bars, exactly.
        for y in range(BARS, height - BARS):
            self.assertEqual(launcher[y], windows[y], f"row {y}")

    def test_a_screen_taller_than_the_desktop_is_shown_whole(self):
        width, height, _ = png_pixels(self.screenshot_on_windows("--profile", "wvga", "--time", TIME))
        self.assertEqual((480, 800), (width, height))

    def test_keeps_its_registry_to_itself(self):
        script = os.path.join(self.work.name, "turns.txt")
        with open(script, "w") as f:
            f.write("rotate; wait 200; rotate\n")
        # A turn, the options' OK and the alarms page's OK, as a user would.
        self.on_windows(
            FRESH_DEVICE + "".join(f'"$WINE" reg delete "{key}" /f >/dev/null 2>&1; ' for key in DESKTOP_KEYS) +
            '"$WINE" "$1" --input "$4" --screenshot "$4.png" || exit 1\n'
            '"$WINE" "$1" --options Mesolune & "$WINE" "$3" || exit 1\n'
            '"$WINE" "$2" cplmain.cpl,16,1 & "$WINE" "$3" || exit 1\n'
            'wait $!',
            self.program("today.exe"), self.program("ctlpnl.exe"), os.path.join(BUILD, "bin", "dialog_ok.exe"),
            script)
        found = self.on_windows(
            'for key in "$@"; do "$WINE" reg query "$key" >/dev/null 2>&1 && echo "$key"; done; true',
            *DESKTOP_KEYS, *(DEVICE_HIVE + "\\" + key for key in DEVICE_KEYS)).stdout.split()
        self.assertEqual([DEVICE_HIVE + "\\" + key for key in DEVICE_KEYS], found)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
