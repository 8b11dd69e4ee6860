#!/usr/bin/python3
"""Writes the drawings the spreadsheet end-to-end tests convert, with an
independent DXF library (Debian's python3-ezdxf). Usage: excel_make_drawings.py FOLDER"""
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

out = sys.argv[1]


def centred(space, s, x, y, h=2.5, **attribs):
    t = space.add_text(s, height=h, dxfattribs=attribs)
    t.set_placement((x, y), align=TextEntityAlignment.MIDDLE_CENTER)
    return t


def grid(space, cols, rows, colours=None, skip_inner_top=False, dx=0):
    """Lines of a table; colours maps a horizontal line's index to its colour."""
    colours = colours or {}
    for i, y in enumerate(rows):
        space.add_line((cols[0] + dx, y), (cols[-1] + dx, y),
                       dxfattribs={"color": colours.get(i, 256)})
    for x in cols:
        top = rows[0] if (x in (cols[0], cols[-1]) or not skip_inner_top) else rows[1]
        space.add_line((x + dx, top), (x + dx, rows[-1]))


# Three columns, four rows: a title across the first two columns, a red line
# under the header row, a white line under the second row, a two-line text,
# a number that must stay text with the text format, a text turned upward.
# The last row's right cell has no line below it (its bottom line stops).
doc = ezdxf.new("R2010")
msp = doc.modelspace()
cols = [0, 20, 40, 60]
rows = [40, 30, 20, 10, 0]
for i, y in enumerate(rows):
    end = 40 if i == 4 else 60
    colour = {1: 1, 2: 7}.get(i, 256)
    msp.add_line((0, y), (end, y), dxfattribs={"color": colour})
msp.add_line((0, 40), (0, 0))
msp.add_line((20, 30), (20, 0))
msp.add_line((40, 40), (40, 0))
msp.add_line((60, 40), (60, 10))
centred(msp, "TITLE", 20, 35)
centred(msp, "Corner", 50, 35)
for c, s in enumerate(["Pos", "Name", "Qty"]):
    centred(msp, s, cols[c] + 10, 25)
centred(msp, "007", 10, 15)
msp.add_mtext("Bolt\\PM16", dxfattribs={"insert": (30, 15), "char_height": 2.0,
                                           "attachment_point": 5})
centred(msp, "8", 50, 15, rotation=90)
centred(msp, "end", 10, 5)
doc.saveas(f"{out}/table.dxf")

# Two tables side by side, converted one after the other into one sheet:
# a 3 x 3 one on the left and a 2 x 2 one on the right.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
grid(msp, [0, 10, 20, 30], [30, 20, 10, 0])
for r in range(3):
    for c in range(3):
        centred(msp, f"L{r}{c}", 5 + 10 * c, 25 - 10 * r)
grid(msp, [100, 110, 120], [20, 10, 0])
for r in range(2):
    for c in range(2):
        centred(msp, f"R{r}{c}", 105 + 10 * c, 15 - 10 * r)
doc.saveas(f"{out}/two.dxf")

# Tables in blocks: BOM is inserted twice, LEGEND once.
doc = ezdxf.new("R2000")
bom = doc.blocks.new("BOM")
grid(bom, [0, 15, 30], [20, 10, 0])
centred(bom, "A", 7.5, 15, h=2)
centred(bom, "B", 22.5, 15, h=2)
centred(bom, "C", 7.5, 5, h=2)
legend = doc.blocks.new("LEGEND")
grid(legend, [0, 20], [10, 0])
centred(legend, "only", 10, 5, h=2)
msp = doc.modelspace()
msp.add_blockref("BOM", (100, 100))
msp.add_blockref("BOM", (300, 100))
ref = msp.add_blockref("LEGEND", (500, 100))
msp.add_line((0, 0), (5, 0))
doc.saveas(f"{out}/blocks.dxf")
with open(f"{out}/legend_handle.txt", "w") as f:
    f.write(ref.dxf.handle)

# Lines only: no table can be recognised.
doc = ezdxf.new("R12")
msp = doc.modelspace()
msp.add_line((0, 0), (10, 0))
msp.add_text("x", height=1, dxfattribs={"insert": (2, 2)})
doc.saveas(f"{out}/few.dxf")
