#!/usr/bin/env python3
"""Checks the include order of the source rooms: each room includes only rooms below
it, base/ includes no other room, and nothing includes driver/ but driver/ itself."""
import glob
import os
import re
import sys

# Lowest first; a room may include itself and the rooms before it.
ORDER = ["base", "probe", "ppdloc", "install", "upgrade", "uninstall", "driver"]

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
bad = []
for path in sorted(glob.glob(os.path.join(top, "src", "*", "*"))):
    room = os.path.basename(os.path.dirname(path))
    if room not in ORDER:
        bad.append("%s: room is not in the order" % os.path.relpath(path, top))
        continue
    with open(path, errors="replace") as source:
        for number, line in enumerate(source, 1):
            match = re.match(r'\s*#\s*include\s+"([a-z_]+)/', line)
            if not match or match.group(1) not in ORDER:
                continue
            if ORDER.index(match.group(1)) > ORDER.index(room):
                bad.append("%s:%d: %s/ includes %s/" %
                           (os.path.relpath(path, top), number, room, match.group(1)))
for line in bad:
    print(line)
print("layers: %d include(s) run upwards" % len(bad))
sys.exit(1 if bad else 0)
