#!/usr/bin/env python3
"""Demo helper, not part of the product: plays Clepsa's part in the round trip.

After a conversion, Clepsa computes a timetable from the working tables and leaves it in SOLUC.
This script does a simple version of that: it places every session of every ASIGT row (a class
of a group with a teacher, or a teacher's duty) into a free slot of DIASHORAST, Monday to Friday,
so that no group, teacher or room is in two places at once, and writes SOLUC.DBF as a dBase III
table, one row per placed session and teacher. A second teacher of the same group and subject is
placed alongside the first where possible. A session that finds no free slot is written with
DIA and HORA 0 (not placed), as Clepsa does.

For a class, TAREA is the row's CTAREA ("*479"), which differs from ASIG; for a duty, CTAREA is
the duty's own code, so TAREA equals ASIG. That is how the export tells them apart.

Usage: make_demo_soluc.py WORKING_DIR
Reads WORKING_DIR/ASIGT.DBF and WORKING_DIR/DIASHORAST.DBF, writes WORKING_DIR/SOLUC.DBF.
Python 3 standard library only.
"""
import datetime
import math
import os
import random
import struct
import sys

# dBase header and record markers.
HEADER_TERMINATOR = 0x0D
END_OF_FILE = 0x1A
LIVE_RECORD = 0x20
DELETED_RECORD = 0x2A
DBASE3_VERSION = 0x03
LANGUAGE_DRIVER_CP1252 = 0x57   # 'ascii' ANSI, code page 1252
LEVEL7_HEADER_SIZE = 68
LEVEL7_DESCRIPTOR_SIZE = 48
DBASE3_HEADER_SIZE = 32
DBASE3_DESCRIPTOR_SIZE = 32

SIGN32 = 0x80000000
SIGN64 = 0x8000000000000000
MASK64 = 0xFFFFFFFFFFFFFFFF

SOLUC_FIELDS = [("ASIG", "C", 10, 0), ("TAREA", "C", 10, 0), ("DIA", "N", 2, 0),
                ("HORA", "N", 2, 0), ("MARCO", "C", 1, 0), ("CODGRUPO", "C", 10, 0),
                ("PROF", "C", 10, 0), ("AULA", "C", 10, 0)]
WORKING_DAYS = range(1, 6)


def find_table(folder, name):
    """The table's file whatever the letter case of its name."""
    for entry in os.listdir(folder):
        if entry.upper() == name.upper() + ".DBF":
            return os.path.join(folder, entry)
    raise SystemExit(f"No existe la tabla {name} en {folder}: convierta antes un documento.")


def decode(kind, raw, level7):
    if kind == "C":
        return raw.rstrip(b" ")  # bytes, Windows-1252, kept as they are
    if kind in "NF":
        text = raw.strip()
        return float(text) if text else None
    if kind == "L":
        return raw in (b"T", b"t", b"Y", b"y")
    if kind == "I" and level7:
        u = struct.unpack(">I", raw)[0]
        if u == 0:
            return None
        x = u ^ SIGN32
        return x - (1 << 32) if x & SIGN32 else x
    if kind == "I":
        return struct.unpack("<i", raw)[0]
    if kind == "O":
        u = struct.unpack(">Q", raw)[0]
        if u == 0:
            return None
        bits = (u & ~SIGN64) if u & SIGN64 else (~u & MASK64)
        return struct.unpack(">d", struct.pack(">Q", bits))[0]
    if kind == "B" and not level7:
        return struct.unpack("<d", raw)[0]
    return raw


def read_table(path):
    """Live rows of a dBase III/IV, level 7 or FoxPro table as dicts of field name -> value."""
    with open(path, "rb") as f:
        data = f.read()
    level7 = (data[0] & 0x07) == 4
    count = struct.unpack_from("<I", data, 4)[0]
    header_length, record_length = struct.unpack_from("<HH", data, 8)
    offset, size = ((LEVEL7_HEADER_SIZE, LEVEL7_DESCRIPTOR_SIZE) if level7
                    else (DBASE3_HEADER_SIZE, DBASE3_DESCRIPTOR_SIZE))
    fields = []
    while offset + size <= header_length and data[offset] != HEADER_TERMINATOR:
        descriptor = data[offset:offset + size]
        if level7:
            name, kind, width = descriptor[:32], descriptor[32], descriptor[33]
        else:
            name, kind, width = descriptor[:11], descriptor[11], descriptor[16]
        fields.append((name.split(b"\0")[0].decode("ascii"), chr(kind), width))
        offset += size
    rows = []
    for index in range(count):
        start = header_length + index * record_length
        record = data[start:start + record_length]
        if len(record) < record_length or record[0] == END_OF_FILE:
            break
        if record[0] == DELETED_RECORD:
            continue
        row, position = {}, 1
        for name, kind, width in fields:
            row[name] = decode(kind, record[position:position + width], level7)
            position += width
        rows.append(row)
    return rows


def write_dbase3(path, fields, rows):
    """A dBase III table (version 0x03) with a Windows-1252 language driver."""
    today = datetime.date.today()
    record_length = 1 + sum(width for _, _, width, _ in fields)
    header_length = DBASE3_HEADER_SIZE + DBASE3_DESCRIPTOR_SIZE * len(fields) + 1
    out = bytearray(struct.pack("<BBBBIHH", DBASE3_VERSION, today.year - 1900, today.month,
                                today.day, len(rows), header_length, record_length))
    out += bytes(17) + bytes([LANGUAGE_DRIVER_CP1252]) + bytes(2)
    for name, kind, width, decimals in fields:
        out += name.encode("ascii").ljust(11, b"\0") + kind.encode("ascii") + bytes(4)
        out += bytes([width, decimals]) + bytes(14)
    out.append(HEADER_TERMINATOR)
    for row in rows:
        out.append(LIVE_RECORD)
        for name, kind, width, decimals in fields:
            value = row.get(name)
            if kind == "C":
                out += (value or b"")[:width].ljust(width, b" ")
            else:
                out += (b"" if value is None else str(value).encode("ascii")).rjust(width, b" ")
    out.append(END_OF_FILE)
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        f.write(out)
    os.replace(temporary, path)


def text(value):
    return value if isinstance(value, bytes) else b""


def main():
    if len(sys.argv) != 2:
        raise SystemExit("uso: make_demo_soluc.py CARPETA_DE_TRABAJO")
    folder = sys.argv[1]
    lessons = read_table(find_table(folder, "ASIGT"))
    slots = sorted({(int(row["DIA"]), int(row["HORA"]))
                    for row in read_table(find_table(folder, "DIASHORAST"))
                    if text(row["DIA"]).isdigit() and text(row["HORA"]).isdigit()
                    and int(row["DIA"]) in WORKING_DAYS})
    rnd = random.Random(2024)

    group_at = {}    # (slot, group) -> subject placed there
    busy = set()     # (slot, "t"/"r", code)
    placed_at = {}   # (group, subject) -> slots where the pairing already has a session
    soluc = []
    placed = unplaced = 0
    for row in lessons:
        subject, task = text(row["CASIG"]), text(row["CTAREA"])
        group, teacher, room = text(row["CGRUP"]), text(row["CPROF"]), text(row["CAULA"])
        sessions = max(1, math.ceil(row["HORAS"] or 0))
        alongside = placed_at.get((group, subject), []) if group else []
        used_days = set()
        for _ in range(sessions):
            candidates = slots[:]
            rnd.shuffle(candidates)
            # Beside the pairing's first teacher first, then on a day without this subject.
            candidates.sort(key=lambda s: (s not in alongside, s[0] in used_days))
            chosen = None
            for slot in candidates:
                if group and group_at.get((slot, group), subject) != subject:
                    continue
                if group and (slot, group) in group_at and slot not in alongside:
                    continue
                if teacher and (slot, "t", teacher) in busy:
                    continue
                if room and (slot, "r", room) in busy and slot not in alongside:
                    continue
                chosen = slot
                break
            day, hour = chosen if chosen else (0, 0)
            if chosen:
                placed += 1
                used_days.add(day)
                if group:
                    group_at[(chosen, group)] = subject
                    placed_at.setdefault((group, subject), []).append(chosen)
                if teacher:
                    busy.add((chosen, "t", teacher))
                if room:
                    busy.add((chosen, "r", room))
            else:
                unplaced += 1
            soluc.append({"ASIG": subject, "TAREA": task, "DIA": day, "HORA": hour,
                          "MARCO": b"0", "CODGRUPO": group, "PROF": teacher, "AULA": room})

    path = os.path.join(folder, "SOLUC.DBF")
    write_dbase3(path, SOLUC_FIELDS, soluc)
    classes = sum(1 for r in soluc if r["ASIG"] != r["TAREA"] and r["DIA"])
    duties = placed - classes
    print(f"{path}: {placed} sesiones colocadas ({classes} clases, {duties} ocupaciones), "
          f"{unplaced} sin colocar")


if __name__ == "__main__":
    main()
