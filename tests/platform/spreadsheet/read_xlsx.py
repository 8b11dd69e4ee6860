"""Reads an .xlsx file with openpyxl and prints what it holds, one fact a
line: a key, a tab, the fact as JSON. Exit 3 when openpyxl is missing."""
import json
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(3)


def color(c):
    if c is None or c.type != "rgb":
        return None
    return c.rgb


def main(path):
    book = openpyxl.load_workbook(path)
    out = []
    out.append(("sheets", book.sheetnames))
    ws = book.active
    out.append(("merged", sorted(str(r) for r in ws.merged_cells.ranges)))
    for letter, dim in sorted(ws.column_dimensions.items()):
        if dim.customWidth:
            out.append(("width:" + letter, dim.width))
    for number, dim in sorted(ws.row_dimensions.items()):
        if dim.customHeight:
            out.append(("height:%d" % number, dim.height))
    for row in ws.iter_rows():
        for cell in row:
            name = cell.coordinate
            if cell.value is not None:
                out.append((name + ":value", cell.value))
                out.append((name + ":type", cell.data_type))
            if cell.number_format != "General":
                out.append((name + ":format", cell.number_format))
            a = cell.alignment
            if a.horizontal:
                out.append((name + ":halign", a.horizontal))
            if a.vertical:
                out.append((name + ":valign", a.vertical))
            if a.textRotation:
                out.append((name + ":rotation", a.textRotation))
            if a.wrap_text:
                out.append((name + ":wrap", True))
            for edge in ("left", "right", "top", "bottom"):
                side = getattr(cell.border, edge)
                if side is not None and side.style:
                    out.append((name + ":" + edge, [side.style, color(side.color)]))
            if cell.fill is not None and cell.fill.fill_type == "solid":
                out.append((name + ":fill", color(cell.fill.fgColor)))
            if cell.font is not None and cell.font.b:
                out.append((name + ":bold", True))
    for key, value in out:
        print(key + "\t" + json.dumps(value, ensure_ascii=True))


main(sys.argv[1])
