#!/usr/bin/python3
"""Writes the inputs of the JSON benchmarks into a folder (deterministic, seeded):

  document.json   one minified JSON document just under 5 MiB (the pretty printer's input limit)
  sheet.txt       a 10 MB prose sheet with JSON values on their own lines among the prose
  sheet.regions   how many JSON regions sheet.txt holds

Usage: bench/json-bench-data.py FOLDER
"""
import json
import os
import random
import sys

DOCUMENT_BYTES = 5 * 1024 * 1024 - 64 * 1024
SHEET_BYTES = 10 * 1000 * 1000

WORDS = ("the of and to in is that it for on with as was at by an be this from or have are not "
         "but had his they which you were her all she there would their we him been has when who "
         "will more no if out so said what up its about into than them can only other new some "
         "time could these two may first then do any like my now over such our man me even most "
         "made after also did many before must through back years where much your way well down "
         "café naïve Zürich 東京 emoji😀").split()


def record(rng, index):
    return {
        "id": index,
        "guid": "%08x-%04x-%04x" % (rng.getrandbits(32), rng.getrandbits(16), rng.getrandbits(16)),
        "active": rng.random() < 0.5,
        "balance": round(rng.uniform(-10000, 10000), 2),
        "ratio": rng.random(),
        "big": rng.getrandbits(60),
        "name": " ".join(rng.choice(WORDS) for _ in range(rng.randrange(1, 4))),
        "about": " ".join(rng.choice(WORDS) for _ in range(rng.randrange(5, 30))),
        "escaped": "line one\nline \"two\"\t\\ \u00e9",
        "tags": [rng.choice(WORDS) for _ in range(rng.randrange(0, 6))],
        "point": {"x": rng.randrange(-999, 999), "y": rng.uniform(-1, 1), "z": None},
        "history": [{"at": 1700000000 + rng.randrange(10**6), "ok": rng.random() < 0.9}
                    for _ in range(rng.randrange(0, 4))],
        "empty": rng.choice([[], {}]),
    }


def document(rng):
    parts, size, index = [], 2, 0
    while True:
        text = json.dumps(record(rng, index), ensure_ascii=False, separators=(",", ":"))
        length = len(text.encode("utf-8")) + 1
        if size + length > DOCUMENT_BYTES:
            break
        parts.append(text)
        size += length
        index += 1
    return ("[" + ",".join(parts) + "]").encode("utf-8")


def prose_line(rng):
    line = " ".join(rng.choice(WORDS) for _ in range(rng.randrange(3, 20)))
    if rng.random() < 0.1:
        line += " {not json} [or this]"
    return line


def sheet(rng):
    lines, size, regions = [], 0, 0
    while size < SHEET_BYTES:
        roll = rng.random()
        if roll < 0.05:
            value = json.dumps(record(rng, len(lines)), ensure_ascii=False)
            line = "  " * rng.randrange(2) + value
            regions += 1
        elif roll < 0.06:
            value = json.dumps(record(rng, len(lines)), ensure_ascii=False, indent=2)
            line = value
            regions += 1
        elif roll < 0.07:
            line = "[x] a task list entry, not JSON"
        elif roll < 0.075:
            line = "{\"broken\": [1, 2,]}"
        else:
            line = prose_line(rng)
        lines.append(line)
        size += len(line.encode("utf-8")) + 1
    return "\n".join(lines).encode("utf-8"), regions


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(2024)
    with open(os.path.join(folder, "document.json"), "wb") as f:
        f.write(document(rng))
    text, regions = sheet(rng)
    with open(os.path.join(folder, "sheet.txt"), "wb") as f:
        f.write(text)
    with open(os.path.join(folder, "sheet.regions"), "w") as f:
        f.write("%d\n" % regions)


if __name__ == "__main__":
    main()
