#!/usr/bin/python3
"""Writes the drawings the selection tests pick tables from, with an independent
DXF library (Debian's python3-ezdxf). Usage: selection_make_drawings.py FOLDER"""
import re
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

out = sys.argv[1]

COLS = [0, 20, 40, 60]
ROWS = [30, 20, 10, 0]
CELLS = [["Pos", "Name", "Qty"], ["1", "Bolt", "4"], ["2", "Nut", "8"]]


def table(space, dx=0, dy=0, layer="0"):
    """A 3 x 3 table of lines and centred texts with its lower left corner at dx, dy."""
    for y in ROWS:
        space.add_line((COLS[0] + dx, y + dy), (COLS[-1] + dx, y + dy), dxfattribs={"layer": layer})
    for x in COLS:
        space.add_line((x + dx, ROWS[0] + dy), (x + dx, ROWS[-1] + dy), dxfattribs={"layer": layer})
    for r, row in enumerate(CELLS):
        for c, s in enumerate(row):
            t = space.add_text(s, height=2.5, dxfattribs={"layer": layer})
            t.set_placement((COLS[c] + 10 + dx, ROWS[r] - 5 + dy), align=TextEntityAlignment.MIDDLE_CENTER)


# The table as a block referenced at the origin; a second reference at the
# origin whose block draws far away; a line far away.
doc = ezdxf.new("R2010")
doc.layers.add("OFF", color=3).off()  # stored as a negative colour
doc.layers.add("FROZEN").freeze()
msp = doc.modelspace()
tab = doc.blocks.new("TAB")
table(tab)
# Construction lines nobody sees split the middle column and the middle row.
tab.add_line((30, 30), (30, 0), dxfattribs={"layer": "OFF"})
tab.add_line((0, 15), (60, 15), dxfattribs={"layer": "FROZEN"})
tab.add_text("hidden", height=2.5, dxfattribs={"layer": "OFF", "insert": (32, 12)})
msp.add_blockref("TAB", (0, 0))
far = doc.blocks.new("FAR")
table(far, 500, 500)
msp.add_blockref("FAR", (0, 0))
msp.add_line((1000, 1000), (1040, 1000))
# A reference of the table on a frozen layer: drawn nowhere, selected never.
msp.add_blockref("TAB", (200, 0), dxfattribs={"layer": "FROZEN"})
doc.saveas(f"{out}/blockref.dxf")

# The table drawn with lines and texts, where a right-aligned and a top-aligned
# text carry a stale first alignment point far from where they are drawn.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
table(msp)
for e in msp.query("TEXT"):
    if e.dxf.text == "Qty":
        e.set_placement((58, 25), align=TextEntityAlignment.MIDDLE_RIGHT)
        e.dxf.insert = (900, 900)
    if e.dxf.text == "Bolt":
        e.set_placement((30, 18.5), align=TextEntityAlignment.TOP_CENTER)
        e.dxf.insert = (-900, -900)
doc.saveas(f"{out}/justified.dxf")

# Title blocks on two paper-space layouts (the active one, whose entities lie
# in the ENTITIES section, and a second with its own block), a different
# table in model space.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
msp.add_line((0, 0), (10, 0))
title = doc.blocks.new("TITLE")
table(title)
title.add_attdef("OWNER", (2, 32), dxfattribs={"height": 2.5})
active = doc.layout("Layout1")
active.add_blockref("TITLE", (100, 100)).add_attrib("OWNER", "Alpha", (102, 102))
sheet = doc.layouts.new("Sheet")
sheet.add_blockref("TITLE", (10, 10))
lines = doc.blocks.new("LINES")
table(lines)
sheet.add_blockref("LINES", (300, 300))
doc.saveas(f"{out}/layouts.dxf")

# A native table: an ACAD_TABLE whose anonymous block draws the lines and
# texts; ezdxf writes it as a reference, turned into the table entity below.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
anonymous = doc.blocks.new_anonymous_block(type_char="T")
table(anonymous)
msp.add_blockref(anonymous.name, (100, 50))
path = f"{out}/acad_table.dxf"
doc.saveas(path)
text = open(path, encoding="utf-8").read()
entities = text.index("ENTITIES")
head, body = text[:entities], text[entities:]
body, n = re.subn(r"(\n  0\n)INSERT(\n)", r"\g<1>ACAD_TABLE\g<2>", body, count=1)
assert n == 1
body, n = re.subn(r"(\n 20\n50\.0\n 30\n0\.0\n)",
                  r"\g<1>100\nAcDbTable\n 11\n1.0\n 21\n0.0\n 31\n0.0\n 91\n3\n 92\n3\n", body, count=1)
assert n == 1
open(path, "w", encoding="utf-8").write(head + body)

doc = ezdxf.new("R2010")
table(doc.modelspace(), 100, 50)
doc.saveas(f"{out}/drawn_table.dxf")
