#!/usr/bin/python3
"""Python's json module as the reference for the pretty printer's differential test.

  prepare OUT_DIR < paths     for each JSON file Python reads as an object or array, writes
                              N.in (the file), N.min (Python's minified spelling of it) and
                              N.expected (json.dumps(value, indent=4, ensure_ascii=False))
  generate OUT_DIR COUNT SEED the same for random documents (N.in is N.min)
  same OUT_DIR                for every N.out, checks that it holds the same value as N.in

prepare and generate print one line per case, "N<TAB>name", and a line "skipped<TAB>why<TAB>name"
for each file the formatter is right to refuse or that Python cannot read.
"""
import json
import os
import random
import sys

MAX_BYTES = 5 * 1024 * 1024
MAX_DEPTH = 512


def refuse_constant(name):
    raise ValueError("not JSON: " + name)


def depth(value):
    deepest, stack = 0, [(value, 1)]
    while stack:
        item, level = stack.pop()
        if isinstance(item, (list, dict)):
            deepest = max(deepest, level)
            children = item.values() if isinstance(item, dict) else item
            stack.extend((child, level + 1) for child in children)
    return deepest


def write_case(out_dir, index, name, raw, value):
    minified = json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")
    expected = json.dumps(value, indent=4, ensure_ascii=False).encode("utf-8")
    if len(minified) > MAX_BYTES:
        print("skipped\tover 5 MB once minified\t" + name)
        return False
    for suffix, data in (("in", raw), ("min", minified), ("expected", expected)):
        with open(os.path.join(out_dir, "%d.%s" % (index, suffix)), "wb") as f:
            f.write(data)
    print("%d\t%s" % (index, name))
    return True


def why_refused(raw):
    if len(raw) > MAX_BYTES:
        return "over 5 MB", None
    try:
        value = json.loads(raw.decode("utf-8"), parse_constant=refuse_constant)
    except (UnicodeDecodeError, ValueError, RecursionError) as error:
        return "Python refuses it (%s)" % type(error).__name__, None
    if not isinstance(value, (list, dict)):
        return "a lone scalar", None
    if depth(value) > MAX_DEPTH:
        return "deeper than 512", None
    try:
        json.dumps(value, ensure_ascii=False).encode("utf-8")
    except UnicodeEncodeError:
        return "a lone surrogate escape has no UTF-8 spelling", None
    return None, value


def prepare(out_dir):
    index = 0
    for line in sys.stdin:
        path = line.rstrip("\n")
        try:
            with open(path, "rb") as f:
                raw = f.read()
        except OSError:
            continue
        why, value = why_refused(raw)
        if why:
            print("skipped\t%s\t%s" % (why, path))
        elif write_case(out_dir, index, path, raw, value):
            index += 1


def random_string(rng):
    alphabet = ["a", "Z", " ", '"', "\\", "/", "\b", "\f", "\n", "\r", "\t", "\x00", "\x1f",
                "\x7f", "é", "€", "\u2028", "\ufeff", "😀", "中"]
    return "".join(rng.choice(alphabet) for _ in range(rng.randrange(12)))


def random_value(rng, level):
    kind = rng.randrange(9 if level < 6 else 6)
    if kind == 0:
        return rng.choice([0, -1, 7, 2**53 + 1, -(10**30), rng.randrange(-10**6, 10**6)])
    if kind == 1:
        return rng.choice([0.0, -0.0, 0.1, 1e-7, 1.5e300, 123456.789, rng.uniform(-1e6, 1e6),
                           rng.random() * 10 ** rng.randrange(-30, 30)])
    if kind == 2:
        return random_string(rng)
    if kind == 3:
        return rng.choice([True, False, None])
    if kind == 4:
        return rng.choice([[], {}])
    if kind == 5:
        return random_string(rng)
    if kind in (6, 7):
        return [random_value(rng, level + 1) for _ in range(rng.randrange(6))]
    return {random_string(rng): random_value(rng, level + 1) for _ in range(rng.randrange(6))}


def generate(out_dir, count, seed):
    rng = random.Random(seed)
    for index in range(count):
        value = random_value(rng, 0)
        while not isinstance(value, (list, dict)):
            value = random_value(rng, 0)
        minified = json.dumps(value, ensure_ascii=False, separators=(",", ":")).encode("utf-8")
        write_case(out_dir, index, "generated %d" % index, minified, value)


def same(out_dir):
    differing = 0
    for name in sorted(os.listdir(out_dir)):
        if not name.endswith(".out"):
            continue
        base = os.path.join(out_dir, name[: -len(".out")])
        with open(base + ".in", "rb") as f:
            original = json.loads(f.read().decode("utf-8"))
        with open(base + ".out", "rb") as f:
            printed = json.loads(f.read().decode("utf-8"))
        if original != printed:
            differing += 1
            print("differs\t" + base)
    sys.exit(1 if differing else 0)


if __name__ == "__main__":
    command, folder = sys.argv[1], sys.argv[2]
    if command == "prepare":
        prepare(folder)
    elif command == "generate":
        generate(folder, int(sys.argv[3]), int(sys.argv[4]))
    elif command == "same":
        same(folder)
    else:
        sys.exit("unknown command " + command)
