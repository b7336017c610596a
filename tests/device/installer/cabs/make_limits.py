#!/usr/bin/env python3
"""Stages the members of CABs past the installer's limits: one with a member
of 17 MB, one with 257 members, one whose _setup.xml is 300 KB, one whose
member of 8 MB is written nine times.
    make_limits.py DOCUMENT STAGE  (writes STAGE/large, STAGE/many, STAGE/bigxml, STAGE/repeated)"""
import os
import sys

document, stage = sys.argv[1], sys.argv[2]
with open(document, encoding="utf-8") as f:
    text = f.read()
for name in ("large", "many", "bigxml"):
    os.makedirs(os.path.join(stage, name), exist_ok=True)
    with open(os.path.join(stage, name, "_setup.xml"), "w", encoding="utf-8") as f:
        if name == "bigxml":
            f.write(text.replace("<wap-provisioningdoc>", "<wap-provisioningdoc>\n<!-- " + "x" * (300 * 1024) + " -->"))
        else:
            f.write(text)
with open(os.path.join(stage, "large", "large.001"), "wb") as f:
    f.write(b"\0" * (17 << 20))
os.makedirs(os.path.join(stage, "repeated"), exist_ok=True)
extracts = "".join(
    '<characteristic type="copy%d.bin" translation="install"><characteristic type="Extract">'
    '<parm name="Source" value="repeated.001" /></characteristic></characteristic>' % n for n in range(9))
with open(os.path.join(stage, "repeated", "_setup.xml"), "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="utf-8"?><wap-provisioningdoc><characteristic type="Install">'
            '<parm name="AppName" value="Repeated" /><parm name="InstallDir" value="%CE1%\\Repeated" />'
            '</characteristic><characteristic type="FileOperation"><characteristic type="%CE1%\\Repeated">'
            '<characteristic type="MakeDir" />' + extracts + '</characteristic></characteristic>'
            '</wap-provisioningdoc>')
with open(os.path.join(stage, "repeated", "repeated.001"), "wb") as f:
    f.write(b"\0" * (8 << 20))
for n in range(256):
    with open(os.path.join(stage, "many", "member.%03d" % n), "wb") as f:
        f.write(b"m")
