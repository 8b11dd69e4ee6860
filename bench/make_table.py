#!/usr/bin/python3
"""Writes a drawn table as an R2010 DXF: every cell edge its own LINE, one TEXT per cell.

    make_table.py OUT.dxf ROWS COLUMNS

The header, tables and objects come from an empty ezdxf drawing, so the file is what a CAD
program writes; the entities are spliced in as text, since building a million of them through
ezdxf would take minutes. Cell (r, c) holds the text "r<r>c<c>".
"""
import io
import re
import sys

import ezdxf

WIDTH, HEIGHT, TEXT_HEIGHT = 20.0, 8.0, 2.5


def main():
    out, rows, cols = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    doc = ezdxf.new("R2010")
    owner = doc.modelspace().block_record_handle
    buf = io.StringIO()
    doc.write(buf)
    text = buf.getvalue()
    handle = 0x1000
    count = (rows + 1) * cols + rows * (cols + 1) + rows * cols
    # The handle seed must stay above every handle in use.
    text = re.sub(r"\$HANDSEED\n  5\n[0-9A-Fa-f]+\n", f"$HANDSEED\n  5\n{handle + count:X}\n", text)
    at = text.index("ENTITIES\n") + len("ENTITIES\n")
    with open(out, "w", encoding="utf-8", newline="\n") as f:
        f.write(text[:at])
        chunk = []

        def line(x1, y1, x2, y2):
            nonlocal handle
            chunk.append(
                f"  0\nLINE\n  5\n{handle:X}\n330\n{owner}\n100\nAcDbEntity\n  8\n0\n"
                f"100\nAcDbLine\n 10\n{x1}\n 20\n{y1}\n 30\n0.0\n 11\n{x2}\n 21\n{y2}\n 31\n0.0\n")
            handle += 1

        for r in range(rows + 1):
            y = -HEIGHT * r
            for c in range(cols):
                line(WIDTH * c, y, WIDTH * (c + 1), y)
            f.write("".join(chunk))
            chunk.clear()
        for r in range(rows):
            for c in range(cols + 1):
                line(WIDTH * c, -HEIGHT * r, WIDTH * c, -HEIGHT * (r + 1))
            f.write("".join(chunk))
            chunk.clear()
        for r in range(rows):
            for c in range(cols):
                chunk.append(
                    f"  0\nTEXT\n  5\n{handle:X}\n330\n{owner}\n100\nAcDbEntity\n  8\n0\n"
                    f"100\nAcDbText\n 10\n{WIDTH * c + 2}\n 20\n{-HEIGHT * (r + 1) + 2.75}\n"
                    f" 30\n0.0\n 40\n{TEXT_HEIGHT}\n  1\nr{r}c{c}\n100\nAcDbText\n")
                handle += 1
            f.write("".join(chunk))
            chunk.clear()
        f.write(text[at:])


if __name__ == "__main__":
    main()
