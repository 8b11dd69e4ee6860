#!/usr/bin/python3
"""Hostile names and texts through the real program: gridmason DRAWING --db
FILE --table NAME, each result read back with Python's sqlite3. Every record
must equal the drawing's texts and every name the one given, or the run must
be refused before anything is written; nothing may ever be injected.

Usage: database_hostile.py BINDIR [kill|disk]
  kill: kill -9 at 20 moments of an overwrite export; disk: a workbook saved
  onto a full device (in a private mount namespace).
Exits 77 (skipped) without ezdxf."""
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

try:
    import ezdxf
    from ezdxf.enums import TextEntityAlignment
except ImportError:
    print("ezdxf is missing")
    sys.exit(77)

BIN = os.path.abspath(sys.argv[1])
MODE = sys.argv[2] if len(sys.argv) > 2 else ""
W, H = 40, 8
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def drawing(path, rows):
    doc = ezdxf.new("R2010")
    msp = doc.modelspace()
    ncols = max(len(r) for r in rows)
    for i in range(len(rows) + 1):
        msp.add_line((0, -i * H), (ncols * W, -i * H))
    for j in range(ncols + 1):
        msp.add_line((j * W, 0), (j * W, -len(rows) * H))
    for i, row in enumerate(rows):
        for j, cell in enumerate(row):
            # A long text is drawn small enough to stay inside its cell.
            t = msp.add_text(cell, height=min(1.0, 20.0 / max(len(cell), 1)))
            t.set_placement((j * W + W / 2, -i * H - H / 2), align=TextEntityAlignment.MIDDLE_CENTER)
    doc.saveas(path)


def run(work, dxf, db, table, *extra, env=None):
    args = [os.path.join(BIN, "gridmason"), "-q", dxf, "--db", db, "--table", table, *extra]
    e = dict(os.environ, GM_REGISTRY_DIR=work, LANG="C", LC_ALL="")
    e.pop("LC_ALL")
    p = subprocess.run(args, cwd=work, env=e, capture_output=True, timeout=600)
    out = p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace")
    check(p.returncode >= 0, f"{table!r}: ended by signal {-p.returncode}")
    return p.returncode, out


def tables(db):
    with sqlite3.connect(db) as c:
        return sorted(r[0] for r in c.execute("SELECT name FROM sqlite_master WHERE type='table'"))


def content(db, table):
    with sqlite3.connect(db) as c:
        cols = [r[1] for r in c.execute("SELECT * FROM pragma_table_info(?)", (table,))]
        q = '"' + table.replace('"', '""') + '"'
        return cols, [list(r) for r in c.execute(f"SELECT * FROM {q} ORDER BY rowid")]


# Every kind of text that once changed a statement, or might.
TEXTS = [
    "B'", 'Size "', "1/2\"", "TBD?", "Why?", "a;b", "x {fn y} z", "{x", "}",
    ", (SELECT group_concat(name) FROM sqlite_master),}", ") --", "'); DROP TABLE t; --",
    "`back`", "[br]", "?", "??", ":a @b $c", "/* open", "*/", "-- c", "{d '2020-01-02'}",
    "{ts '2020-01-02 03:04:05'}", "{oj x}", "{call p}", "SELECT", "NULL", "DROP TABLE",
    "\u00c4rger \u00e4", "\u00fc\u00df\u00e9", "\u65e5\u672c", "\U0001F600 \U0001F9F1",
    "tab\there", "\u2400 nul-like", "\x7f del", "\u00a0nbsp", "\"\"\"", "''''", "\\", "\\\\'",
]
NAMES = [
    "B'", 'Size "', "a`b", "[x]", "q?", "s;t", "x{fn y}z", "c--d", "e/*f", "SELECT", "g\"h'i",
    "\u00c4", "\U0001F600", "{", "}", "sp ace",
]


def hostile_texts(work):
    # All names in one header, all texts in the records below it.
    db = os.path.join(work, "texts.mdb")
    rows = [NAMES[:8], NAMES[8:]]
    header = NAMES[:8]
    data = [TEXTS[i:i + 8] + [""] * (8 - len(TEXTS[i:i + 8])) for i in range(0, len(TEXTS), 8)]
    data = [[c if c else "-" for c in r] for r in data]
    for k, names in enumerate([NAMES[:8], NAMES[8:]]):
        dxf = os.path.join(work, f"texts{k}.dxf")
        drawing(dxf, [names] + data)
        status, out = run(work, dxf, db, f"T{k}", "--field-names", "first")
        check(status == 0, f"texts under names {names!r}: status {status}\n{out}")
        cols, got = content(db, f"T{k}")
        check(cols == names, f"names {cols!r} != {names!r}")
        check(got == data, f"records differ under {names!r}:\n{got!r}\n{data!r}")
    check(tables(db) == ["T0", "T1"], f"tables {tables(db)!r}")


def hostile_table_names(work):
    db = os.path.join(work, "names.mdb")
    dxf = os.path.join(work, "plain.dxf")
    drawing(dxf, [["Pos", "Why?"], ["1", "x {fn y} z"], ["2", "a;b"]])
    made = []
    for name in NAMES + ["\u00e4", "--", "/*", "DROP TABLE x", "sqlite"]:
        status, out = run(work, dxf, db, name, "--field-names", "first")
        check(status == 0, f"table {name!r}: status {status}\n{out}")
        made.append(name)
        check(content(db, name) == (["Pos", "Why?"], [["1", "x {fn y} z"], ["2", "a;b"]]),
              f"table {name!r} holds {content(db, name)!r}")
    # Ä and ä are two tables to SQLite, and so to the export.
    check(tables(db) == sorted(made), f"tables {tables(db)!r} != {sorted(made)!r}")


def long_texts(work):
    db = os.path.join(work, "long.mdb")
    dxf = os.path.join(work, "long.dxf")
    big = ("ab'?{fn x};\"`" * 10000)[:100000]
    drawing(dxf, [["A", "B"], [big, "short"]])
    status, out = run(work, dxf, db, "Long", "--field-names", "first")
    check(status == 0, f"100,000 characters: status {status}\n{out[:2000]}")
    cols, got = content(db, "Long")
    check(got == [[big, "short"]], f"the long text came back {len(got[0][0]) if got else 0} long")


def paths(work):
    folder = os.path.join(work, "dir \u00fc;{x}")
    os.makedirs(folder)
    dxf = os.path.join(folder, "dr\u00e4wing {1};.dxf")
    drawing(dxf, [["K", "V"], ["1", "one"]])
    db = os.path.join(folder, "semi;colon {\u00fc}}.mdb")
    status, out = run(work, dxf, db, "T", "--field-names", "first")
    check(status == 0, f"odd paths: status {status}\n{out}")
    check(content(db, "T") == (["K", "V"], [["1", "one"]]), "odd paths: wrong table")
    # The existing file again (its own dialog branch), and a template beside it.
    status, out = run(work, dxf, db, "T2", "--field-names", "first",
                      "--template", db + ":T", "--user", "u;{x}", "--password", "p}w;d")
    check(status == 0, f"template on an odd path: status {status}\n{out}")
    check(content(db, "T2") == (["K", "V"], [["1", "one"], ["1", "one"]]),
          f"template copy: {content(db, 'T2')!r}")
    # A template whose file name holds the bracket that ends Jet's prefix.
    bracket = os.path.join(folder, "tpl [a].b].mdb")
    shutil.copy(db, bracket)
    status, out = run(work, dxf, db, "T3", "--field-names", "first", "--template", bracket + ":T")
    check(status == 0, f"template named with ']': status {status}\n{out}")
    check(content(db, "T3") == (["K", "V"], [["1", "one"], ["1", "one"]]),
          f"template with ']': {content(db, 'T3')!r}")
    # A relative database beside a drawing in a non-ASCII folder.
    status, out = run(work, dxf, "rel \u00fc.mdb", "R", "--field-names", "first")
    check(status == 0, f"relative non-ASCII: status {status}\n{out}")
    # The workbook too.
    book = os.path.join(folder, "b\u00fcch;{1}.xlsx")
    e = dict(os.environ, GM_REGISTRY_DIR=work, LANG="C")
    p = subprocess.run([os.path.join(BIN, "gridmason"), "-q", dxf, "-o", book], cwd=work, env=e,
                       capture_output=True, timeout=600)
    check(p.returncode == 0 and os.path.exists(book),
          f"workbook on an odd path: {p.returncode} {p.stdout[-2000:]!r} {p.stderr[-2000:]!r}")


def template_is_target(work):
    db = os.path.join(work, "tpl.mdb")
    dxf = os.path.join(work, "tpl.dxf")
    drawing(dxf, [["K"], ["1"], ["2"]])
    status, out = run(work, dxf, db, "Tpl", "--field-names", "first")
    check(status == 0, f"template made: {out}")
    status, out = run(work, dxf, db, "tPL", "--overwrite", "--template", db + ":Tpl")
    check(status != 0 and "itself" in out, f"template onto itself not refused: {status}\n{out}")
    check(content(db, "Tpl") == (["K"], [["1"], ["2"]]), f"template lost: {content(db, 'Tpl')!r}")


def overwrite_failure_keeps_old(work):
    # Two equal field names: CREATE fails after the DROP, which is undone.
    db = os.path.join(work, "keep.mdb")
    dxf = os.path.join(work, "keep.dxf")
    drawing(dxf, [["K", "V"], ["1", "old"]])
    run(work, dxf, db, "T", "--field-names", "first")
    twins = os.path.join(work, "twins.dxf")
    drawing(twins, [["N", "n"], ["a", "b"]])
    status, out = run(work, twins, db, "T", "--field-names", "first", "--overwrite")
    check(status != 0, "a failed create reported success")
    check(content(db, "T") == (["K", "V"], [["1", "old"]]), f"old table lost: {content(db, 'T')!r}")
    # A template table that is not there: the copy fails after the DROP.
    status, out = run(work, twins, db, "T", "--overwrite", "--template", db + ":Missing")
    check(status != 0, "a failed template copy reported success")
    left = content(db, "T") if "T" in tables(db) else None
    check(left == (["K", "V"], [["1", "old"]]), f"old table lost to a failed copy: {left!r}")


def kill_nine(work):
    db = os.path.join(work, "kill.mdb")
    old = os.path.join(work, "old.dxf")
    new = os.path.join(work, "new.dxf")
    drawing(old, [["No", "Text"]] + [[str(i), f"old {i}"] for i in range(1000)])
    drawing(new, [["No", "Text"]] + [[str(i), f"new {i} '?{{fn x}};"] for i in range(1000)])
    status, out = run(work, old, db, "Big", "--field-names", "first")
    check(status == 0, f"first export: {out}")
    # The template's records come along into the copy, ahead of the drawing's.
    tpl = os.path.join(work, "tpl \u00fc.mdb")
    with sqlite3.connect(tpl) as c:
        c.execute('CREATE TABLE Tpl ("No" VARCHAR(255), "Text" VARCHAR(255))')
        c.execute("INSERT INTO Tpl VALUES ('t', 'from the template')")
    e = dict(os.environ, GM_REGISTRY_DIR=work)
    journal = db + "-journal"

    def killed_runs(label, extra, old_rows):
        def start(source):
            return subprocess.Popen([os.path.join(BIN, "gridmason"), "-q", source, "--db", db,
                                     "--table", "Big", "--field-names", "first", "--overwrite",
                                     *extra], cwd=work, env=e, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)

        def wait_for_journal(p, limit):
            deadline = time.monotonic() + limit
            while not os.path.exists(journal) and p.poll() is None and time.monotonic() < deadline:
                time.sleep(0.0002)
            return time.monotonic()

        # One whole run, timed: from its start, and from its journal's first sight.
        begun = time.monotonic()
        p = start(new)
        seen_journal = wait_for_journal(p, 600)
        status = p.wait()
        ended = time.monotonic()
        took, writing = ended - begun, max(ended - seen_journal, 0.001)
        check(status == 0, f"{label}: overwrite export failed")
        new_rows = content(db, "Big")
        check(new_rows != old_rows, f"{label}: the overwrite changed nothing")
        print(f"{label}: an overwrite run takes {took:.3f} s, {writing:.3f} s of it with a journal")
        # The table after each source's own run: the two a kill may leave.
        whole = {"old": old_rows, "new": new_rows}
        rng = random.Random(int(os.environ.get("GM_KILL_SEED", "14")))
        seen = {"old": 0, "new": 0}
        for k in range(20):
            p = start(new if k % 2 == 0 else old)
            if k % 4 < 2:
                time.sleep(rng.uniform(0, took * 1.1))  # anywhere in the run
            else:
                # Inside the transaction: after its journal appears.
                wait_for_journal(p, took * 3)
                time.sleep(rng.uniform(0, writing * 1.2))
            p.kill()
            p.wait()
            got = content(db, "Big") if "Big" in tables(db) else None
            which = next((w for w, rows in whole.items() if got == rows), None)
            check(which is not None,
                  f"{label} kill {k}: the table is neither whole: "
                  f"{'gone' if got is None else len(got[1])} rows")
            if which:
                seen[which] += 1
            with sqlite3.connect(db) as c:
                check(c.execute("PRAGMA integrity_check").fetchone()[0] == "ok",
                      f"{label} kill {k}: damaged")
        print(f"{label}: kill -9: the table was whole each time:", seen)
        return new_rows

    old_rows = content(db, "Big")
    new_rows = killed_runs("plain", [], old_rows)
    check(len(old_rows[1]) == 1000 and len(new_rows[1]) == 1000, "1000 rows each")
    # A template overwrite: the drop, the copy and the records are one step.
    status, out = run(work, old, db, "Big", "--field-names", "first", "--overwrite",
                      "--template", tpl + ":Tpl")
    check(status == 0, f"template overwrite: {out}")
    old_rows = content(db, "Big")
    check(old_rows[1][0] == ["t", "from the template"] and len(old_rows[1]) == 1001,
          f"template overwrite wrote {old_rows[1][:2]!r}, {len(old_rows[1])} rows")
    killed_runs("template", ["--template", tpl + ":Tpl"], old_rows)


def full_disk(work):
    """A workbook saved onto a full device: the message says so and names the
    file, and the file that was there is left as it was, with nothing beside it."""
    mnt = os.path.join(work, "small")
    os.makedirs(mnt)
    dxf = os.path.join(work, "book.dxf")
    drawing(dxf, [[f"r{i} c{j} " + "x" * 40 for j in range(8)] for i in range(60)])
    book = os.path.join(mnt, "büch.xlsx")
    gm = os.path.join(BIN, "gridmason")
    script = (
        'mount -t tmpfs -o size=256k tmpfs "$1" || exit 77\n'
        'printf old > "$2"\n'
        'dd if=/dev/zero of="$1/fill" bs=4k 2>/dev/null\n'
        'GM_REGISTRY_DIR="$4" "$3" -q "$5" -o "$2"; echo "status=$?"\n'
        'cat "$2"; echo; ls -a "$1"\n')
    try:
        p = subprocess.run(["unshare", "-m", "sh", "-c", script, "sh", mnt, book, gm, work, dxf],
                           capture_output=True, timeout=600)
    except FileNotFoundError:
        p = None
    if p is None or p.returncode == 77 or b"status=" not in p.stdout:
        print("SKIP full disk: no private mount namespace with a tmpfs here",
              p.stderr[-300:] if p else "")
        return
    out = (p.stdout + p.stderr).decode("utf-8", "replace")
    check("no space left on the device" in out and "büch.xlsx" in out,
          f"full disk not named: {out[-1500:]}")
    check("status=0" not in out, "a full disk reported success")
    listing = p.stdout.decode("utf-8", "replace").split("\n")
    check("old" in listing, f"the old file changed: {out[-500:]}")
    check(not any(".tmp-" in line for line in listing), f"a temporary file was left: {out[-500:]}")


work = tempfile.mkdtemp(prefix="gm_hostile")
try:
    steps = {"kill": [kill_nine], "disk": [full_disk]}.get(MODE, [
        hostile_texts, hostile_table_names, long_texts, paths, template_is_target,
        overwrite_failure_keeps_old])
    for step in steps:
        sub = os.path.join(work, step.__name__)
        os.makedirs(sub)
        step(sub)
finally:
    shutil.rmtree(work, ignore_errors=True)
print(f"{len(failures)} failure(s)")
sys.exit(1 if failures else 0)
