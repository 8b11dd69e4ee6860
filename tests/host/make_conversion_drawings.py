#!/usr/bin/python3
"""Writes the drawings the conversion tests convert, with an independent DXF
library (Debian's python3-ezdxf). Usage: make_conversion_drawings.py FOLDER"""
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

out = sys.argv[1]


def table(msp, cols, rows, red_row=None, skip_inner_top=True):
    for i, y in enumerate(rows):
        colour = 1 if i == red_row else 256
        msp.add_line((cols[0], y), (cols[-1], y), dxfattribs={"color": colour})
    for x in cols:
        top = rows[0] if (x in (cols[0], cols[-1]) or not skip_inner_top) else rows[1]
        msp.add_line((x, top), (x, rows[-1]))


def centred(msp, s, x, y, h=2.5, **attribs):
    t = msp.add_text(s, height=h, dxfattribs=attribs)
    t.set_placement((x, y), align=TextEntityAlignment.MIDDLE_CENTER)
    return t


# A table of four drawn columns: a title centred on a column line (so it
# reaches across two cells; the inner lines stop below the title row), a red
# line under the header, a two-line MTEXT cell, a text turned by 90 degrees,
# and a text beside the frame on the left.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
cols = [0, 15, 30, 45, 60]
rows = [40, 30, 20, 10, 0]
table(msp, cols, rows, red_row=2)
centred(msp, "PARTS LIST", 30, 35, h=3.5)
for c, s in enumerate(["Pos", "Name", "Qty", "Mat"]):
    centred(msp, s, (cols[c] + cols[c + 1]) / 2, 25)
centred(msp, "1", 7.5, 15)
msp.add_mtext("Bolt\\PM16", dxfattribs={"insert": (22.5, 15), "char_height": 2.0,
                                           "attachment_point": 5})
centred(msp, "8", 37.5, 15, rotation=90)
centred(msp, "2", 7.5, 5, color=3)
centred(msp, "Nut", 22.5, 5)
centred(msp, "note", -10, 5)
# A stub shorter than 0.8 x the smallest text height (2.0): no border.
msp.add_line((45, 5), (46, 5))
doc.saveas(f"{out}/table.dxf")

# The same kind of table inside a block with an attribute, inserted twice.
doc = ezdxf.new("R2000")
blk = doc.blocks.new("BOM")
for y in (0, 10, 20):
    blk.add_line((0, y), (30, y))
for x in (0, 15, 30):
    blk.add_line((x, 0), (x, 20))
t = blk.add_text("A", height=2)
t.set_placement((7.5, 15), align=TextEntityAlignment.MIDDLE_CENTER)
blk.add_attdef("VALUE", insert=(20, 4), height=2)
msp = doc.modelspace()
ref = msp.add_blockref("BOM", (100, 100))
ref.add_attrib("VALUE", "42", insert=(120, 104), dxfattribs={"height": 2})
msp.add_line((0, 0), (5, 0))
doc.saveas(f"{out}/block.dxf")

# Only one horizontal line.
doc = ezdxf.new("R12")
msp = doc.modelspace()
msp.add_line((0, 0), (10, 0))
msp.add_line((0, 0), (0, 10))
msp.add_line((10, 0), (10, 10))
msp.add_text("x", height=1, dxfattribs={"insert": (2, 2)})
doc.saveas(f"{out}/few.dxf")
