#!/usr/bin/python3
"""Writes the drawings of the merged-cell, every-table and plain-text tests
with an independent DXF library (Debian's python3-ezdxf).
Usage: tables_make_drawings.py FOLDER"""
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

out = sys.argv[1]


def text(space, s, x, y, h=2.5):
    t = space.add_text(s, height=h)
    t.set_placement((x, y), align=TextEntityAlignment.MIDDLE_CENTER)


def line(space, a, b):
    space.add_line(a, b)


def title_block(space, x=0, y=0):
    """Four columns of 30, three rows of 10. No line divides A1|B1 (a range
    over columns), D1/D2 (over rows), nor A2/A3, A3|B3, B3|C3 (an L)."""
    def h(y0, x1, x2):
        line(space, (x + x1, y + y0), (x + x2, y + y0))

    def v(x0, y1, y2):
        line(space, (x + x0, y + y1), (x + x0, y + y2))

    h(30, 0, 120)
    h(20, 0, 90)
    h(10, 30, 120)
    h(0, 0, 120)
    v(0, 30, 0)
    v(30, 20, 10)
    v(60, 30, 10)
    v(90, 30, 0)
    v(120, 30, 0)
    for s, cx, cy in [("Title", 15, 25), ("Scale", 75, 25), ("Logo", 105, 25),
                      ("Drawn", 15, 15), ("Ann, \"A\"", 45, 15), ("Date", 75, 15),
                      ("Rev", 105, 15), ("Notes", 15, 5), ("Sheet 1", 105, 5)]:
        text(space, s, x + cx, y + cy)


doc = ezdxf.new("R2010")
title_block(doc.modelspace())
doc.saveas(f"{out}/titleblock.dxf")

# A frame holding a parts list (top left) and a title block (bottom right),
# neither touching the frame nor each other, and a note inside the frame.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
for a, b in [((0, 0), (400, 0)), ((400, 0), (400, 280)), ((400, 280), (0, 280)),
             ((0, 280), (0, 0))]:
    line(msp, a, b)
text(msp, "Frame note", 200, 150)
for y in [260, 240, 220, 200]:
    line(msp, (20, y), (140, y))
for x in [20, 50, 110, 140]:
    line(msp, (x, 260), (x, 200))
for r, row in enumerate([["Pos", "Part", "Qty"], ["1", "Bolt", "4"], ["2", "Nut", "8"]]):
    for c, s in enumerate(row):
        text(msp, s, [35, 80, 125][c], 250 - 20 * r)
for y in [40, 25, 10]:
    line(msp, (250, y), (390, y))
for x in [250, 320, 390]:
    line(msp, (x, 40), (x, 10))
for s, cx, cy in [("Rev: 2", 285, 32.5), ("Sheet", 355, 32.5), ("Drawn", 285, 17.5),
                  ("Ann", 355, 17.5)]:
    text(msp, s, cx, cy)
doc.saveas(f"{out}/frame.dxf")

# Two parts lists side by side whose first cells read alike: the second
# sheet cannot take the name the first took.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
for x0 in [0, 100]:
    for y in [20, 10, 0]:
        line(msp, (x0, y), (x0 + 60, y))
    for x in [0, 30, 60]:
        line(msp, (x0 + x, 20), (x0 + x, 0))
    for r, row in enumerate([["Parts" if x0 == 0 else "PARTS", "Qty"], [str(x0), "1"]]):
        for c, s in enumerate(row):
            text(msp, s, x0 + 15 + 30 * c, 15 - 10 * r)
doc.saveas(f"{out}/twins.dxf")
