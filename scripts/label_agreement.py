#!/usr/bin/python3
"""Prints how well a label file agrees with known regions.

    label_agreement.py LABELS.lb TRUTH.lb

Classes are matched to regions one to one, the matching that agrees on the
most vertices (every matching is tried: fine for the few classes of an
example), and the share of vertices whose class is their region's is printed
with the matching.
"""

import itertools
import sys
from collections import Counter

MAX_CLASSES = 8


def read_labels(path):
    """A label file: the class count, then one label per vertex."""
    with open(path) as file:
        numbers = [int(word) for word in file.read().split()]
    if not numbers:
        sys.exit(f"{path}: empty label file")
    return numbers[0], numbers[1:]


def best_matching(pairs, classes, regions):
    """The class-to-region assignment that agrees on the most vertices."""
    counted = Counter(pairs)
    best = max(itertools.permutations(range(regions), classes),
               key=lambda chosen: sum(counted[(c, r)] for c, r in enumerate(chosen)))
    return best, sum(counted[(c, r)] for c, r in enumerate(best))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: " + __doc__.strip().splitlines()[2].strip())
    classes, labels = read_labels(sys.argv[1])
    regions, truth = read_labels(sys.argv[2])
    if len(labels) != len(truth):
        sys.exit(f"{len(labels)} labels against {len(truth)} known regions")
    if classes > regions or regions > MAX_CLASSES:
        sys.exit(f"{classes} classes, {regions} regions: only up to {MAX_CLASSES}, "
                 "with no more classes than regions")
    matching, agreeing = best_matching(zip(labels, truth), classes, regions)
    print(f"Agreement with the known regions: {100.0 * agreeing / len(labels):.2f} % "
          f"of {len(labels)} vertices")
    print("Best matching: " + ", ".join(f"class {c} = region {r}" for c, r in enumerate(matching)))


if __name__ == "__main__":
    main()
