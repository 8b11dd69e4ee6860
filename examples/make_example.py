#!/usr/bin/python3
"""Writes example.dxf: a small bill of materials drawn as lines and texts,
with a merged title row, the way such tables are drawn by hand. Run with
Debian's python3 (it has ezdxf)."""
import ezdxf

doc = ezdxf.new("R2010", setup=True)
msp = doc.modelspace()
cols = [0, 15, 75, 95, 125]          # x of the vertical lines
rows = [40, 32, 24, 16, 8, 0]        # y of the horizontal lines, top first
for y in rows:
    msp.add_line((cols[0], y), (cols[-1], y))
for x in cols:
    # The title row is one merged cell: inner lines start below it.
    top = rows[0] if x in (cols[0], cols[-1]) else rows[1]
    msp.add_line((x, top), (x, rows[-1]))
h = 2.5
def text(s, col, row, align="MIDDLE_CENTER"):
    x = (cols[col] + cols[col + 1]) / 2
    y = (rows[row] + rows[row + 1]) / 2
    msp.add_text(s, height=h, dxfattribs={"style": "OpenSans"}).set_placement(
        (x, y), align=ezdxf.enums.TextEntityAlignment[align])
t = msp.add_text("BILL OF MATERIALS", height=3.5)
t.set_placement(((cols[0] + cols[-1]) / 2, (rows[0] + rows[1]) / 2),
                align=ezdxf.enums.TextEntityAlignment.MIDDLE_CENTER)
for c, s in enumerate(["Pos", "Description", "Qty", "Material"]):
    text(s, c, 1)
data = [("1", "Flange DN50", "2", "S235JR"),
        ("2", "Bolt M16x60", "8", "8.8"),
        ("3", "Gasket Ø 50", "1", "Klingersil")]
for r, line in enumerate(data):
    for c, s in enumerate(line):
        text(s, c, r + 2)
doc.saveas("example.dxf")
