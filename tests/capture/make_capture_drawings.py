#!/usr/bin/python3
"""Writes the drawings the capture tests read, with an independent DXF
library (Debian's python3-ezdxf). Usage: make_capture_drawings.py FOLDER"""
import math
import sys

import ezdxf
from ezdxf.enums import TextEntityAlignment

out = sys.argv[1]


def frame_with_texts():
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    # A closed frame of one polyline, an inner grid line and texts.
    msp.add_lwpolyline([(0, 0), (40, 0), (40, 20), (0, 20)], close=True,
                       dxfattribs={"color": 1})
    msp.add_line((0, 10), (40, 10), dxfattribs={"color": 3})
    msp.add_line((20, 0), (20, 20))
    msp.add_text("AB", height=2.5, dxfattribs={"insert": (2, 13)})
    t = msp.add_text("90%%D", height=2.5)
    t.set_placement((30, 15), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_mtext("{\\fArial|b1;Total}\\PSum", dxfattribs={
        "insert": (5, 8), "char_height": 2.0, "attachment_point": 1, "width": 12})
    msp.add_text("%%U", height=2.5, dxfattribs={"insert": (25, 3)})
    msp.add_line((0, 0), (10, 10))  # slanted: no table line
    doc.saveas(f"{out}/frame.dxf")


def rotated_ucs():
    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    # The user system is moved to (100, 50) and turned by 90 degrees: its x
    # axis points along world y.
    doc.header["$UCSORG"] = (100, 50, 0)
    doc.header["$UCSXDIR"] = (0, 1, 0)
    doc.header["$UCSYDIR"] = (-1, 0, 0)
    # A world line from (100, 50) to (100, 80) runs along the user x axis.
    msp.add_line((100, 50), (100, 80))
    msp.add_line((90, 50), (90, 80))
    doc.saveas(f"{out}/ucs.dxf")


def block_with_attributes():
    doc = ezdxf.new("R2018")
    blk = doc.blocks.new("TITLE", base_point=(1, 1))
    blk.add_line((1, 1), (3, 1))
    blk.add_line((1, 1), (1, 5))
    blk.add_attdef("NAME", insert=(1.5, 2), height=0.5)
    msp = doc.modelspace()
    ref = msp.add_blockref("TITLE", (100, 50), dxfattribs={"xscale": 2, "yscale": 2})
    ref.add_attrib("NAME", "Ø 20 Größe", insert=(103, 53), dxfattribs={"height": 1.0})
    rot = msp.add_blockref("TITLE", (0, 0), dxfattribs={"rotation": 90})
    # A block that inserts itself must not make the reader go round forever.
    loop = doc.blocks.new("LOOP")
    loop.add_line((0, 0), (5, 0))
    loop.add_blockref("LOOP", (0, 1))
    msp.add_blockref("LOOP", (0, -20))
    doc.saveas(f"{out}/block.dxf")


frame_with_texts()
rotated_ucs()
block_with_attributes()
