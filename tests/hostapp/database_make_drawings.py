#!/usr/bin/python3
"""Writes the drawings the database export tests convert, with an independent
DXF library (Debian's python3-ezdxf). Usage: database_make_drawings.py FOLDER

Each drawing is one ruled table; a cell given as a list of lines becomes a
multiline text, an empty string leaves the cell empty."""
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

out = sys.argv[1]
W, H = 20, 8


def grid(layout, rows, x0=0.0, y0=0.0):
    ncols = max(len(r) for r in rows)
    for i in range(len(rows) + 1):
        layout.add_line((x0, y0 - i * H), (x0 + ncols * W, y0 - i * H))
    for j in range(ncols + 1):
        layout.add_line((x0 + j * W, y0), (x0 + j * W, y0 - len(rows) * H))
    for i, row in enumerate(rows):
        for j, cell in enumerate(row):
            cx, cy = x0 + j * W + W / 2, y0 - i * H - H / 2
            if isinstance(cell, list):
                layout.add_mtext("\\P".join(cell), dxfattribs={
                    "insert": (cx, cy), "char_height": 1.5, "attachment_point": 5})
            elif cell:
                t = layout.add_text(cell, height=2.0)
                t.set_placement((cx, cy), align=TextEntityAlignment.MIDDLE_CENTER)


def drawing(name, rows):
    doc = ezdxf.new("R2010")
    grid(doc.modelspace(), rows)
    doc.saveas(f"{out}/{name}.dxf")


# Header, apostrophes (feet marks), a line feed in a value, an empty row.
drawing("parts", [
    ["Pos", "Name", "Length"],
    ["1", "Bolt", "3'"],
    ["", "", ""],
    ["2", ["Nut", "M16"], "O'Brien's"],
])
# Field names with a full stop and a line feed, in the first and last row.
drawing("dotted", [
    ["No.", ["Part", "name"]],
    ["1", "Bolt"],
    ["2", "Nut"],
])
drawing("dotted_last", [
    ["1", "Bolt"],
    ["2", "Nut"],
    ["No.", ["Part", "name"]],
])
# Two equal header texts.
drawing("twins", [
    ["Name", "Name"],
    ["a", "b"],
])
# A grid without any text.
drawing("blank", [["", ""], ["", ""]])
# Back-quotes in names and a value that tries to end the statement.
drawing("quotes", [
    ["a`b", "c"],
    ["x'); DROP TABLE t; --", "y"],
])
# Three columns and many rows, for the speed of the writer.
drawing("wide", [[f"r{i}c{j}" for j in range(3)] for i in range(12)])

# The table inside a block, referenced once.
doc = ezdxf.new("R2010")
block = doc.blocks.new("SCHEDULE")
grid(block, [["Tag", "Qty"], ["A", "4"], ["B", "7"]])
doc.modelspace().add_blockref("SCHEDULE", (100, 100))
doc.saveas(f"{out}/block.dxf")
