#!/usr/bin/env python3
"""Writes a site of 2,000 files into FOLDER: 1,600 of 2-20 KB, 380 of 50-500 KB and 20 of
1-5 MB (about 180 MB), with a list of their names in FOLDER.names. Usage: FOLDER [SEED]"""
import os
import random
import sys

folder = sys.argv[1]
rng = random.Random(int(sys.argv[2]) if len(sys.argv) > 2 else 7)
os.makedirs(folder, exist_ok=True)
sizes = ([rng.randint(2_000, 20_000) for _ in range(1600)] +
         [rng.randint(50_000, 500_000) for _ in range(380)] +
         [rng.randint(1_000_000, 5_000_000) for _ in range(20)])
rng.shuffle(sizes)
names = []
for number, size in enumerate(sizes):
    name = f"page{number:04d}.html"
    with open(os.path.join(folder, name), "wb") as f:
        f.write(rng.randbytes(size))
    names.append(name)
with open(folder + ".names", "w") as f:
    f.write("\n".join(names) + "\n")
