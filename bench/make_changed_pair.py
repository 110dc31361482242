#!/usr/bin/env python3
"""Writes two text files of LINES lines where about 5% of the lines of the second are changed,
inserted or deleted, as a web page edited over time would be; with --unrelated the second is
written afresh from the same words instead. Usage: [--unrelated] LINES LEFT RIGHT [SEED]"""
import random
import sys

args = sys.argv[1:]
unrelated = args[0] == "--unrelated"
if unrelated:
    args = args[1:]
lines, left, right = int(args[0]), args[1], args[2]
rng = random.Random(int(args[3]) if len(args) > 3 else 1)
words = ["<p>", "<div class=item>", "site", "page", "link", "customer", "price", "news", "</p>",
         "<a href=\"/x.html\">", "more", "</a>", "update", "contact", "shop", "about"]

def line():
    return " ".join(rng.choice(words) for _ in range(rng.randint(2, 12)))

a = [line() for _ in range(lines)]
b = []
for text in a:
    if unrelated:
        b.append(line())
        continue
    roll = rng.random()
    if roll < 0.0167:
        b.append(line())          # changed
    elif roll < 0.0333:
        pass                      # deleted
    elif roll < 0.05:
        b.append(line())          # inserted before it
        b.append(text)
    else:
        b.append(text)
with open(left, "w") as f:
    f.write("\n".join(a) + "\n")
with open(right, "w") as f:
    f.write("\n".join(b) + "\n")
