"""Writes test drawings with ezdxf, a DXF library nobody here wrote.

Usage: make_ezdxf_drawings.py OUTDIR

Writes OUTDIR/R12.dxf, R2000.dxf, R2000_1251.dxf, R2007.dxf and R2018.dxf, all with the same
content (R12 has POLYLINE for LWPOLYLINE and no MTEXT); dxf_ezdxf_test.cpp checks what they hold.
Exits 3 when ezdxf is missing, so that the test can skip.
"""
import sys

try:
    import ezdxf
    from ezdxf.enums import TextEntityAlignment
except ImportError:
    sys.exit(3)

DIAMETER = "Ø 20 ±0.1 Größe"
CYRILLIC = "Таблица размеров"
ATTRIB_VALUE = "Иванов И.И."


def make(version, path, codepage=None):
    doc = ezdxf.new(version, setup=False)
    if codepage:
        doc.encoding = codepage  # ezdxf writes $DWGCODEPAGE from it
    doc.header["$INSBASE"] = (1.5, 2.5, 0)
    doc.layers.add("TABLE", color=3)

    style = doc.styles.new("ARIALTTF", dxfattribs={"font": "arial.ttf", "width": 0.8,
                                                   "oblique": 15})
    if version != "R12":
        style.set_extended_font_data("Arial", italic=False, bold=False)
    doc.ucs.new("TILTED", dxfattribs={"origin": (10, 20, 0), "xaxis": (0, 1, 0),
                                      "yaxis": (-1, 0, 0)})

    block = doc.blocks.new("TITLE", base_point=(5, 6, 0))
    block.add_line((0, 0), (40, 0))
    block.add_line((0, 0), (0, 10))
    block.add_text("Name", dxfattribs={"height": 2.0}).set_placement((1, 1))
    block.add_attdef("NAME", (20, 1), dxfattribs={"height": 2.0, "prompt": "Name"})

    msp = doc.modelspace()
    msp.add_line((0, 0, 0), (100, 0, 0), dxfattribs={"layer": "TABLE", "color": 1})
    points = [(0, 0), (100, 0), (100, 50), (0, 50)]
    if version == "R12":
        msp.add_polyline2d(points, close=True, dxfattribs={"layer": "TABLE"})
    else:
        msp.add_lwpolyline(points, close=True, dxfattribs={"layer": "TABLE"})
    msp.add_text(DIAMETER, dxfattribs={"style": "ARIALTTF", "height": 2.5}).set_placement(
        (50, 25), align=TextEntityAlignment.MIDDLE_CENTER)
    msp.add_text(CYRILLIC, dxfattribs={"height": 3.0}).set_placement((10, 40))
    if version != "R12":
        msp.add_mtext("Line one\\PLine two " + CYRILLIC,
                      dxfattribs={"insert": (10, 45, 0), "char_height": 2.0, "width": 60})
    insert = msp.add_blockref("TITLE", (200, 100), dxfattribs={"layer": "TABLE"})
    insert.add_attrib("NAME", ATTRIB_VALUE, (220, 101), dxfattribs={"height": 2.0})
    # One entity in paper space.
    doc.layout("Layout1").add_line((0, 0), (10, 10))
    doc.saveas(path)


def main():
    out = sys.argv[1]
    make("R12", f"{out}/R12.dxf")
    make("R2000", f"{out}/R2000.dxf")
    make("R2000", f"{out}/R2000_1251.dxf", codepage="cp1251")
    make("R2007", f"{out}/R2007.dxf")
    make("R2018", f"{out}/R2018.dxf")


if __name__ == "__main__":
    main()
