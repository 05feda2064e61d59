#!/usr/bin/env python3
"""Writes the rows the first-screen comparison opens: a binary data file (.cds) of this
program and a SQLite file with the same rows, 1,000,000 records of ten fields by default
(the rows of bench/common/MillionPacket.h).

    first-screen-data.py OUT.cds OUT.sqlite [ROWS]
"""
import datetime
import sqlite3
import struct
import sys

NAMES = ["Anderson Silva", "Bernardes Costa", "Carvalho Pinto", "Dominguez Ruiz", "Eriksson Lund", "Fontaine Marc"]
CITIES = ["Lisboa", "Porto", "Amsterdam", "Rio de Janeiro", "Montreal"]
DAY_ZERO = datetime.date(1, 1, 1).toordinal() - 1   # day number 1 = 0001-01-01


def rows(count):
    for r in range(count):
        created_ms = (730000.0 + r % 3650) * 86400000.0 + (r % 86400) * 1000.0
        yield (r + 1, "%s %d" % (NAMES[r % 6], r % 10000), CITIES[r % 5], (r % 100000) / 100.0 + 0.25,
               r % 1000, created_ms, 700000 + r % 20000, r & 1, r * 7919,
               None if r % 4 == 0 else "Customer note %d" % r)


def name(text):
    b = text.encode("ascii")
    return bytes([len(b)]) + b


def write_packet(path, count):
    fields = [("ID", 0x00010004, None), ("Name", 0x00490001, 30), ("City", 0x00490001, 20),
              ("Amount", 0x00040008, None), ("Qty", 0x00010002, None), ("Created", 0x00080008, None),
              ("Birth", 0x00060004, None), ("Active", 0x00030002, None), ("Code", 0x00010008, None),
              ("Note", 0x00490001, 60)]
    meta = b""
    for n, t, width in fields:
        meta += name(n) + struct.pack("<IHH", t, 0, 1 if width else 0)
        if width:
            meta += name("WIDTH") + struct.pack("<IH", 0x00020002, width)
    meta += struct.pack("<H", 1) + name("LCID") + struct.pack("<Ii", 0x00010004, 1033)
    first_row = 24 + len(meta)
    header = struct.pack("<IHHIHIIH", 0xBDE01996, 1, 0, 24, len(fields), count, 3, first_row)
    with open(path, "wb") as f:
        f.write(header + meta)
        out = []
        for (i, nm, city, amount, qty, created, birth, active, code, note) in rows(count):
            bitmap = 0x40000 if note is None else 0     # column 9 NULL: byte 2, bits 2-3
            a, c, n = nm.encode(), city.encode(), (note or "").encode()
            rec = b"\x00" + struct.pack("<I", bitmap)[:3]
            rec += struct.pack("<i", i) + bytes([len(a)]) + a + bytes([len(c)]) + c
            rec += struct.pack("<dhdiHq", amount, qty, created, birth, active, code)
            if note is not None:
                rec += bytes([len(n)]) + n
            out.append(rec)
            if len(out) >= 100000:
                f.write(b"".join(out))
                out = []
        f.write(b"".join(out))


def write_sqlite(path, count):
    db = sqlite3.connect(path)
    db.execute("DROP TABLE IF EXISTS rows")
    db.execute("CREATE TABLE rows (ID INTEGER, Name TEXT, City TEXT, Amount REAL, Qty INTEGER, Created TEXT,"
               " Birth TEXT, Active INTEGER, Code INTEGER, Note TEXT)")

    def sql_rows():
        for (i, nm, city, amount, qty, created, birth, active, code, note) in rows(count):
            day, ms = divmod(int(created), 86400000)
            stamp = datetime.datetime.fromordinal(day + DAY_ZERO) + datetime.timedelta(milliseconds=ms)
            yield (i, nm, city, amount, qty, stamp.strftime("%Y-%m-%d %H:%M:%S"),
                   datetime.date.fromordinal(birth + DAY_ZERO).isoformat(), active, code, note)

    db.executemany("INSERT INTO rows VALUES (?,?,?,?,?,?,?,?,?,?)", sql_rows())
    db.commit()
    db.close()


if __name__ == "__main__":
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000000
    write_packet(sys.argv[1], count)
    write_sqlite(sys.argv[2], count)
