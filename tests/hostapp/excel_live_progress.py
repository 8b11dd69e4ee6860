#!/usr/bin/python3
"""Runs gridmason at a terminal (a pseudo-terminal), converts a large drawn
table and presses a key while the progress line is up.
Usage: excel_live_progress.py GRIDMASON FOLDER KEY   (KEY: esc or ctrl-c)
Writes FOLDER/table.dxf first; prints everything the terminal showed."""
import os
import pty
import select
import sys
import time

import ezdxf

gridmason, folder, key = sys.argv[1], sys.argv[2], sys.argv[3]

rows, cols = 150, 40
doc = ezdxf.new("R2010")
msp = doc.modelspace()
for r in range(rows + 1):
    msp.add_line((0, -10 * r), (20 * cols, -10 * r))
for c in range(cols + 1):
    msp.add_line((20 * c, 0), (20 * c, -10 * rows))
for r in range(rows):
    for c in range(cols):
        msp.add_text(f"{r}.{c}", height=2, dxfattribs={"insert": (20 * c + 2, -10 * r - 6)})
path = os.path.join(folder, "table.dxf")
doc.saveas(path)

pid, fd = pty.fork()
if pid == 0:
    os.chdir(folder)
    os.execv(gridmason, [gridmason, "--registry", folder, "--save-dir", folder, "-q", path])

seen = b""


def read_until(marker, seconds=60.0):
    global seen
    end = time.time() + seconds
    while marker not in seen and time.time() < end:
        ready, _, _ = select.select([fd], [], [], 0.05)
        if ready:
            try:
                chunk = os.read(fd, 65536)
            except OSError:
                return False
            if not chunk:
                return False
            seen += chunk
    return marker in seen


ok = read_until(b"Command: ")
os.write(fd, b"LineText2Excel\r")
ok = ok and read_until(b"Select objects: ")
os.write(fd, b"ALL\r")
ok = ok and read_until(b"found")
os.write(fd, b"\r")
ok = ok and read_until(b"(Esc or Ctrl-C cancels)")
ok = ok and read_until(b"%")
os.write(fd, b"\x1b" if key == "esc" else b"\x03")
ok = ok and read_until(b"closed ==")
os.write(fd, b"quit\r")
read_until(b"saved as", 30)
read_until(b"\0", 2)
os.waitpid(pid, 0)
sys.stdout.write(seen.decode("utf-8", "replace"))
sys.exit(0 if ok else 1)
