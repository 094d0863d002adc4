"""What the tree checks share: the root they look at and how they report."""

import os
import sys


def run(check, name):
    """Runs `check(root)` over the tree named by the first argument, by default the one holding
    the scripts; prints each problem it returns and gives the exit status."""
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    problems = check(root)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print("%s: %d problem(s)" % (name, len(problems)), file=sys.stderr)
        return 1
    return 0


def source_files(root, folders, suffixes):
    """(path from the root, full path) of every file below `folders` whose name ends with one of
    `suffixes`, folder by folder in a stable order."""
    for folder in folders:
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if name.endswith(suffixes):
                    full = os.path.join(directory, name)
                    yield os.path.relpath(full, root).replace(os.sep, "/"), full
