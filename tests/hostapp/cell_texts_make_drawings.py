#!/usr/bin/python3
"""Writes the drawings of the cell-text end-to-end tests with an independent
DXF library (Debian's python3-ezdxf): texts written as other people's editors
write them. Usage: cell_texts_make_drawings.py FOLDER"""
import math
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment
from ezdxf.math import Matrix44

out = sys.argv[1]


def centred(space, s, x, y, h=2.5, **attribs):
    t = space.add_text(s, height=h, dxfattribs=attribs)
    t.set_placement((x, y), align=TextEntityAlignment.MIDDLE_CENTER)
    return t


def mtext(space, s, x, y, h=2.5, **attribs):
    return space.add_mtext(s, dxfattribs={"insert": (x, y), "char_height": h,
                                          "attachment_point": 5, **attribs})


def save_in_chunks(doc, path, *texts):
    """Saves the drawing with each of these multiline texts stored as real
    editors store a long one: 250-character chunks in group 3, the rest in
    group 1."""
    doc.saveas(path)
    with open(path, encoding="utf-8") as f:
        dxf = f.read()
    for text in texts:
        chunks = [text[i:i + 250] for i in range(0, len(text), 250)]
        stored = "".join("  3\n%s\n" % c for c in chunks[:-1]) + "  1\n%s\n" % chunks[-1]
        if "  1\n%s\n" % text in dxf:
            dxf = dxf.replace("  1\n%s\n" % text, stored)
        else:
            assert stored in dxf  # the library chunked it already
    with open(path, "w", encoding="utf-8") as f:
        f.write(dxf)


def grid(space, cols, rows):
    for y in rows:
        space.add_line((cols[0], y), (cols[-1], y))
    for x in cols:
        space.add_line((x, rows[0]), (x, rows[-1]))


def cells(space, cols, rows, texts, write=centred):
    """texts row by row; None leaves a cell empty."""
    for r, line in enumerate(texts):
        for c, s in enumerate(line):
            if s is not None:
                write(space, s, (cols[c] + cols[c + 1]) / 2, (rows[r] + rows[r + 1]) / 2)


# Multiline-text codes as real editors write them, one per cell, and a long
# text that the file stores in chunks.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
cols = [0, 40, 80]
rows = [40, 30, 20, 10, 0]
grid(msp, cols, rows)
cells(msp, cols, rows, [
    ["\\H2.5;Datum", "{\\H1.5x;\\pxqc;Mitte}"],
    ["scale\\~\\~1\\~:\\~1", "Dia 1\\S1/2; in"],
    ["\\S+0.1^-0.2;", "Col\\NTwo"],
    ["\\pi-3,l3;Item\\PNext", "{\\fArial|b1;Bold}"],
], write=mtext)
doc.saveas(f"{out}/codes.dxf")

doc = ezdxf.new("R2010")
msp = doc.modelspace()
long_text = "".join("%04d-" % i for i in range(62))  # 310 characters
grid(msp, [0, 1000], [10, 0])
mtext(msp, long_text, 500, 5, h=2)
save_in_chunks(doc, f"{out}/long.dxf", long_text)

# Texts turned upward in one table: multiline texts by angle and by
# direction vector, a single-line text, and one turned downward.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
cols = [0, 10, 20, 30, 40]
rows = [40, 0]
grid(msp, cols, rows)
mtext(msp, "Angle", 5, 20, rotation=90)
mtext(msp, "Vector", 15, 20, text_direction=(0, 1, 0))
centred(msp, "Single", 25, 20, rotation=90)
mtext(msp, "Down", 35, 20, rotation=270)
doc.saveas(f"{out}/turned.dxf")

# Notes of several lines written as one text per line, turned upward and
# downward: their lines stack across the sheet, the first on the text's top.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
grid(msp, [0, 20, 40], [40, 0])
for s, x, y in (("alpha", 8, 5), ("beta", 8, 22), ("second", 12, 5), ("third", 16, 5)):
    msp.add_text(s, height=2.5, dxfattribs={"insert": (x, y), "rotation": 90})
for s, x, y in (("theta", 32, 35), ("delta", 32, 18), ("fourth", 28, 35), ("fifth", 24, 35)):
    msp.add_text(s, height=2.5, dxfattribs={"insert": (x, y), "rotation": 270})
doc.saveas(f"{out}/turned_lines.dxf")

# Words of one line whose glyphs reach different heights (no tall letters
# beside capitals and ascenders), left-aligned and centred, and lines of
# writing one text height or a little more apart.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
grid(msp, [0, 40, 80], [30, 15, 0])
for s, x in (("gamma", 2), ("delta", 14)):
    msp.add_text(s, height=2.5, dxfattribs={"insert": (x, 21)})
for s, x in (("Bolt", 48), ("saw", 58), ("ease", 68)):
    centred(msp, s, x, 22.5)
for s, y in (("mass", 6.5), ("Bolt", 4)):
    msp.add_text(s, height=2.5, dxfattribs={"insert": (2, y)})
for s, y in (("Bolt", 8), ("saw", 5)):
    msp.add_text(s, height=2.5, dxfattribs={"insert": (42, y)})
doc.saveas(f"{out}/baselines.dxf")


# One table, drawn level and unscaled, then placed in every way a user
# places it: a block reference scaled and turned, in a user system turned
# with it. Left-aligned texts fill most of their cells, a two-line title
# reaches across all three columns, the first header stands upward, and
# the quantities are block attributes.
TITLE = "BILL OF MATERIALS FOR THE ASSEMBLY\\PSheet 1"


def table(space, attributes):
    cols = [0, 12, 52, 72]
    rows = [44, 32, 24, 16, 8, 0]
    for i, y in enumerate(rows):
        space.add_line((cols[0], y), (cols[-1], y))
    for i, x in enumerate(cols):
        top = rows[0] if i in (0, len(cols) - 1) else rows[1]
        space.add_line((x, top), (x, rows[-1]))
    mtext(space, TITLE, 36, 38, h=2.5)
    centred(space, "Pos.", 6, 28, h=2, rotation=90)
    space.add_text("Designation", height=2.5).set_placement((13, 27))
    mtext(space, "Qty", 62, 28, h=2.5)
    for r, (pos, name) in enumerate([("1", "Bolt M16x40"), ("2", "Nut M16"),
                                     ("3", "Washer 17")]):
        y = 20 - 8 * r
        centred(space, pos, 6, y)
        space.add_text(name, height=2.5).set_placement((13, y - 1.25))
        if not attributes:
            centred(space, str(4 * (r + 1)), 62, y)


def save_with_ucs(doc, angle, name, origin=(0, 0, 0)):
    a = math.radians(angle)
    doc.header["$UCSORG"] = origin
    doc.header["$UCSXDIR"] = (math.cos(a), math.sin(a), 0)
    doc.header["$UCSYDIR"] = (-math.sin(a), math.cos(a), 0)
    doc.saveas(f"{out}/{name}")


doc = ezdxf.new("R2010")
table(doc.modelspace(), attributes=False)
doc.saveas(f"{out}/level.dxf")

for scale in (0.5, 2):
    for angle in (90, 180, 270):
        doc = ezdxf.new("R2010")
        block = doc.blocks.new("PARTS", base_point=(5, 3))
        table(block, attributes=True)
        for r in range(3):
            block.add_attdef("QTY%d" % r, (62, 20 - 8 * r), dxfattribs={"height": 2.5}) \
                .set_placement((62, 20 - 8 * r), align=TextEntityAlignment.MIDDLE_CENTER)
        ref = doc.modelspace().add_blockref("PARTS", (130, -40), dxfattribs={
            "xscale": scale, "yscale": scale, "rotation": angle})
        ref.add_auto_attribs({"QTY%d" % r: str(4 * (r + 1)) for r in range(3)})
        save_with_ucs(doc, angle, "block_%g_%d.dxf" % (scale, angle), origin=(17, 9, 0))

# A portrait sheet: the table drawn turned in the world, read in a user
# system turned with it.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
table(msp, attributes=False)
turn = Matrix44.z_rotate(math.radians(90)) @ Matrix44.translate(200, 10, 0)
for e in msp:
    e.transform(turn)
save_with_ucs(doc, 90, "portrait.dxf")


# A frame drawn as one closed polyline whose flags also carry the linetype
# generation bit, split by one line.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
frame = msp.add_lwpolyline([(0, 0), (0, 10), (40, 10), (40, 0)], close=True)
frame.dxf.flags = 129
msp.add_line((20, 10), (20, 0))
centred(msp, "left", 10, 5)
centred(msp, "right", 30, 5)
doc.saveas(f"{out}/closed.dxf")

# The same text drawn twice on one spot (a drafting slip: the copy a little
# off, in another style of a slightly other height), and the same text twice
# in one cell on two lines, which is no slip.
doc = ezdxf.new("R2010")
doc.styles.new("OTHER", dxfattribs={"font": "txt"})
msp = doc.modelspace()
grid(msp, [0, 30, 60], [20, 0])
centred(msp, "Масса", 15, 10)
centred(msp, "Масса", 15.2, 10.1, h=2.6, style="OTHER")
centred(msp, "x", 45, 12)
centred(msp, "x", 45, 8)
doc.saveas(f"{out}/twice.dxf")

# A text reaching down across two rows of the middle column, then one
# reaching across the three columns of the lower row: their ranges cut into
# each other.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
grid(msp, [0, 12, 24, 36], [30, 20, 10, 0])
mtext(msp, "High\\Ptext", 18, 20, h=2.5)
mtext(msp, "Wide text across\\Pthe whole row", 18, 15, h=2.5)
centred(msp, "kept", 6, 5)
doc.saveas(f"{out}/cut.dxf")

# Texts a spreadsheet would read as something else, and plain numbers.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
values = ["01", "0.500000", "1.10", "+5", "1e3", "1-2", "TRUE", "=A1", "12", "3.5", "-7",
          "0.25", "12345678901234", ".5"]
cols = [20 * i for i in range(len(values) + 1)]
grid(msp, cols, [10, 0])
for i, s in enumerate(values):
    centred(msp, s, cols[i] + 10, 5)
doc.saveas(f"{out}/numbers.dxf")

# One text longer than a spreadsheet cell holds, between two short ones.
doc = ezdxf.new("R2010")
msp = doc.modelspace()
huge = ("lorem ipsum dolor sit amet " * 4000)[:100000]
grid(msp, [0, 20, 340, 360], [2200, 0])
centred(msp, "before", 10, 1100)
mtext(msp, huge, 180, 1100, h=2, width=300)
centred(msp, "after", 350, 1100)
save_in_chunks(doc, f"{out}/huge.dxf", huge)
