#!/usr/bin/env python3
"""Fails when a product source file grows past 800 lines.

A file that long holds more than one thing a reader can keep in mind; cut it where its parts
meet. Product code is every .h and .cpp (and .hpp, .cc, .c) outside tests/, resources/, bench/,
the build folders (build, build-*) and hidden folders.

Usage: check_file_lengths.py [root]   (root: the source tree, by default the one holding this script)
"""

import os
import sys

import tree_check

MAX_LINES = 800

NOT_PRODUCT = {"tests", "resources", "bench"}
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def product_folders(root):
    return sorted(name for name in os.listdir(root)
                  if os.path.isdir(os.path.join(root, name)) and name not in NOT_PRODUCT
                  and not name.startswith(".") and name != "build"
                  and not name.startswith("build-"))


def check(root):
    problems = []
    for source, full in tree_check.source_files(root, product_folders(root), SOURCE_SUFFIXES):
        with open(full, encoding="utf-8", errors="replace") as text:
            lines = sum(1 for _ in text)
        if lines > MAX_LINES:
            problems.append("%s: %d lines, more than %d" % (source, lines, MAX_LINES))
    return problems


if __name__ == "__main__":
    sys.exit(tree_check.run(check, "file length check"))
