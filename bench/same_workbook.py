#!/usr/bin/python3
"""Tells whether two workbooks hold the same tables: sheets, cell values, merged ranges, borders.

    same_workbook.py A.xlsx B.xlsx     (exit 0 when the same, 1 with the first differences)

For checking that a change of speed changed nothing a user sees.
"""
import sys

import openpyxl


def side(s):
    return (s.style, s.color.rgb if s.color is not None else None) if s is not None else None


def describe(path):
    book = openpyxl.load_workbook(path)
    out = {}
    for sheet in book.worksheets:
        cells = {}
        for row in sheet.iter_rows():
            for c in row:
                b = c.border
                borders = tuple(side(s) for s in (b.left, b.right, b.top, b.bottom))
                if c.value is None and all(x is None or x[0] is None for x in borders):
                    continue
                cells[c.coordinate] = (c.value, c.number_format, borders)
        merges = sorted(str(r) for r in sheet.merged_cells.ranges)
        out[sheet.title] = (cells, merges)
    return out


def main():
    a, b = describe(sys.argv[1]), describe(sys.argv[2])
    problems = []
    if list(a) != list(b):
        problems.append(f"sheets {list(a)} against {list(b)}")
    for title in a:
        if title not in b:
            continue
        (ca, ma), (cb, mb) = a[title], b[title]
        if ma != mb:
            problems.append(f"{title}: merged ranges differ ({len(ma)} against {len(mb)})")
        for ref in sorted(set(ca) | set(cb)):
            if ca.get(ref) != cb.get(ref):
                problems.append(f"{title}!{ref}: {ca.get(ref)} against {cb.get(ref)}")
                if len(problems) > 10:
                    break
    cells = sum(len(c) for c, _ in a.values())
    if problems:
        print("\n".join(problems[:10]))
        return 1
    print(f"same: {len(a)} sheets, {cells} cells, "
          f"{sum(len(m) for _, m in a.values())} merged ranges")
    return 0


if __name__ == "__main__":
    sys.exit(main())
