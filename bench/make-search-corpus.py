#!/usr/bin/env python3
"""Writes a deterministic notes folder for the search benchmarks.

    bench/make-search-corpus.py FOLDER COUNT [SEED]

Every sheet is around 4 KB of English-like prose with accented words and JSON lines, named
after a date as the application names sheets. The same arguments always give the same bytes.
Planted words: "zanzibarite" in one sheet of 2,000 (the rare word), the phrase "crème brûlée"
in about one sheet of 100; "the" is everywhere, "coffee" and "morning" are common.
"""
import datetime
import os
import random
import sys

COMMON = """the of and to a in is it you that he was for on are with as his they be at one have
this from or had by hot word but what some we can out other were all there when up use your how
said an each she which do their time if will way about many then them write would like so these
her long make thing see him two has look more day could go come did number sound no most people
my over know water than call first who may down side been now find any new work part take get
place made live where after back little only round man year came show every good me give our
under name very through just form sentence great think say help low line differ turn cause much
mean before move right boy old too same tell does set three want air well also play small end put
home read hand port large spell add even land here must big high such follow act why ask men
change went light kind off need house picture try us again animal point mother world near build
self earth father head stand own page should country found answer school grow study still learn
plant cover food sun four between state keep eye never last let thought city tree cross farm hard
start might story saw far sea draw left late run while press close night real life few north
coffee morning meeting notes deploy server query release ticket review budget draft""".split()

ACCENTED = """café naïve résumé Zürich façade déjà vu São Paulo Ångström straße Müller jalapeño
piñata Québec fiancée über coöperate Dvořák Łódź Ærø señor crème brûlée Málaga Île-de-France
Gödel Kraków Čapek""".split()

NAMES = ["maria", "jonas", "anaïs", "kenji", "zoë", "olaf", "priya", "björn", "chloé", "luis"]


def sentence(rng):
    words = []
    for _ in range(rng.randint(6, 18)):
        if rng.random() < 0.04:
            words.append(rng.choice(ACCENTED))
        else:
            # Skewed towards the front of the list, as word frequencies are.
            words.append(COMMON[int(len(COMMON) * rng.random() ** 2.5)])
    words[0] = words[0].capitalize()
    return " ".join(words) + rng.choice([".", ".", ".", "?", "!"])


def json_line(rng, i):
    tags = ", ".join('"%s"' % rng.choice(COMMON) for _ in range(rng.randint(1, 4)))
    return ('{"id": %d, "user": "%s", "status": "%s", "tags": [%s], "score": %.2f}'
            % (i * 7919 % 100003, rng.choice(NAMES), rng.choice(["ok", "failed", "pending"]),
               tags, rng.random()))


def sheet(rng, index):
    target = int(rng.gauss(4800, 1200))
    parts = []
    size = 0
    while size < target:
        if rng.random() < 0.15:
            line = json_line(rng, index + size)
        else:
            line = " ".join(sentence(rng) for _ in range(rng.randint(1, 4)))
        parts.append(line)
        size += len(line.encode()) + 1
    if index % 2000 == 1234 % 2000:
        parts.insert(rng.randrange(len(parts)), "Found a zanzibarite sample today.")
    if rng.random() < 0.01:
        parts.insert(rng.randrange(len(parts)), "Dessert was crème brûlée again.")
    return "\n".join(parts) + "\n"


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(seed)
    moment = datetime.datetime(2019, 1, 1, 8, 0, 0)
    for index in range(count):
        moment += datetime.timedelta(seconds=rng.randint(600, 4 * 3600))
        name = moment.strftime("%Y-%m-%d %H.%M.%S") + ".txt"
        with open(os.path.join(folder, name), "w", encoding="utf-8") as out:
            out.write(sheet(rng, index))


if __name__ == "__main__":
    main()
