#!/usr/bin/python3
"""Reads the tables of a workbook (openpyxl) or of plain-text outputs (csv,
json, html.parser, and the Markdown pipe form) and prints, per table k from
1, its non-empty cells as "k.A1<TAB>text" (line feeds as \\n), its merged
ranges as "k.merged<TAB>A1:B1 ..." (sorted) where the format keeps them,
and a worksheet's name as "k.name<TAB>name".
Usage: read_tables.py FILE [FILE ...] (several plain-text files: one table
each, in order). Exit 3 when openpyxl is missing."""
import csv
import html.parser
import json
import sys


def column(n):
    s = ""
    while n > 0:
        n, r = divmod(n - 1, 26)
        s = chr(65 + r) + s
    return s


def emit(k, cells, merged=None, name=None):
    for r, row in enumerate(cells, 1):
        for c, value in enumerate(row, 1):
            if value not in (None, ""):
                print(f"{k}.{column(c)}{r}\t" + str(value).replace("\n", "\\n"))
    if merged is not None:
        print(f"{k}.merged\t" + " ".join(sorted(merged)))
    if name is not None:
        print(f"{k}.name\t{name}")


class Html(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.merged, self.cell, self.taken = [], [], None, {}

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "tr":
            self.rows.append([])
        elif tag == "td":
            r = len(self.rows) - 1
            c = 0
            while (r, c) in self.taken or c < len(self.rows[r]) and self.rows[r][c] is not None:
                c += 1
            rs, cs = int(a.get("rowspan", 1)), int(a.get("colspan", 1))
            for i in range(rs):
                for j in range(cs):
                    self.taken[(r + i, c + j)] = True
            if rs > 1 or cs > 1:
                self.merged.append(f"{column(c + 1)}{r + 1}:{column(c + cs)}{r + rs}")
            self.cell = (r, c)
            self.text = ""
        elif tag == "br" and self.cell is not None:
            self.text += "\n"

    def handle_endtag(self, tag):
        if tag == "td" and self.cell is not None:
            r, c = self.cell
            while len(self.rows[r]) <= c:
                self.rows[r].append(None)
            self.rows[r][c] = self.text
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.text += data


def read_markdown(text):
    lines = text.split("\n")
    rows, merged = [], []
    for ln in lines:
        if ln.startswith("|"):
            cells, cur, i = [], "", 1
            while i < len(ln):
                ch = ln[i]
                if ch == "\\" and i + 1 < len(ln):
                    cur += ln[i + 1]
                    i += 2
                    continue
                if ch == "|":
                    cells.append(cur.strip().replace("<br>", "\n"))
                    cur = ""
                else:
                    cur += ch
                i += 1
            if all(set(c) <= set("-: ") and c for c in cells):
                continue
            rows.append(cells)
        elif ln.startswith("Merged cells:"):
            merged = [m.strip() for m in ln[len("Merged cells:"):].split(",") if m.strip()]
    return rows, merged


k = 0
for path in sys.argv[1:]:
    low = path.lower()
    if low.endswith(".xlsx"):
        try:
            import openpyxl
        except ImportError:
            sys.exit(3)
        book = openpyxl.load_workbook(path)
        for sheet in book.worksheets:
            k += 1
            cells = [[cell.value for cell in row] for row in sheet.iter_rows()]
            emit(k, cells, [str(m) for m in sheet.merged_cells.ranges], sheet.title)
    elif low.endswith(".csv"):
        k += 1
        with open(path, newline="", encoding="utf-8") as f:
            emit(k, list(csv.reader(f, strict=True)))
    elif low.endswith(".json"):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        for table in data if isinstance(data, list) else [data]:
            k += 1
            cells = [[cell["text"] for cell in row] for row in table["cells"]]
            emit(k, cells, [m["range"].replace("$", "") for m in table["merged"]])
    elif low.endswith(".html"):
        k += 1
        p = Html()
        with open(path, encoding="utf-8") as f:
            p.feed(f.read())
        emit(k, p.rows, p.merged)
    elif low.endswith(".md"):
        k += 1
        with open(path, encoding="utf-8") as f:
            rows, merged = read_markdown(f.read())
        emit(k, rows, merged)
