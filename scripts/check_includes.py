#!/usr/bin/env python3
"""Fails when a source file includes against the layers' direction.

The layers point one way, platform <- diskio <- filesystems <- jobs <- app: a folder includes
only the folders below it. The custom controls build on the platform layer alone, the preview
decoders on the core, and the two viewer libraries on their own copies of platform/ and diskio/.
The core (platform/, diskio/, filesystems/, jobs/), the preview decoders and the archive viewer's
core/ include no Qt.

Usage: check_includes.py [root]   (root: the source tree, by default the one holding this script)

Exceptions are listed in <root>/scripts/include_exceptions.txt, one "<file> <included path>" a
line; an exception that no longer matches an include fails the check too, so the list only
shrinks.
"""

import os
import re
import sys

CORE = ["platform", "diskio", "filesystems", "jobs"]

# Which top folders a file in each top folder may include, besides its own.
ALLOWED = {
    "platform": [],
    "diskio": ["platform"],
    "filesystems": ["platform", "diskio"],
    "jobs": ["platform", "diskio", "filesystems"],
    "preview": CORE,
    "controls": ["platform"],
    "hexview": ["platform", "diskio"],
    "archiveview": ["platform", "diskio"],
    "app": CORE + ["preview", "controls", "hexview", "archiveview"],
}

# Folders (and everything below them) that include no Qt.
QT_FREE = CORE + ["preview", "archiveview/core"]

# Folders no product code includes from.
OUTSIDE = ["tests", "bench", "tools"]

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# <QWidget>, <QtCore/qstring.h>, <qglobal.h>.
QT_HEADER = re.compile(r"^(Q[A-Za-z0-9_]*(/.*)?|q[a-z0-9_]+\.h)$")


def load_exceptions(root):
    path = os.path.join(root, "scripts", "include_exceptions.txt")
    exceptions = set()
    if not os.path.exists(path):
        return exceptions
    with open(path, encoding="utf-8") as listing:
        for line in listing:
            line = line.split("#", 1)[0].strip()
            if line:
                source, included = line.split()
                exceptions.add((source, included))
    return exceptions


def top_folder(path):
    return path.split("/", 1)[0]


def is_qt_free(path):
    return any(path == folder or path.startswith(folder + "/") for folder in QT_FREE)


def resolve(root, source, included):
    """The included file's path from the root: beside the including file when it is there,
    else from the root."""
    beside = os.path.normpath(os.path.join(os.path.dirname(source), included))
    if os.path.exists(os.path.join(root, beside)) or "/" not in included:
        return beside.replace(os.sep, "/")
    return os.path.normpath(included).replace(os.sep, "/")


def check(root):
    exceptions = load_exceptions(root)
    used = set()
    problems = []
    for folder in sorted(ALLOWED):
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in sorted(names):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                full = os.path.join(directory, name)
                source = os.path.relpath(full, root).replace(os.sep, "/")
                with open(full, encoding="utf-8", errors="replace") as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        bracket, included = match.groups()
                        problem = None
                        if bracket == "<":
                            if is_qt_free(source) and QT_HEADER.match(included):
                                problem = "Qt in a Qt-free folder"
                        else:
                            target = top_folder(resolve(root, source, included))
                            if ((target in ALLOWED or target in OUTSIDE) and target != folder
                                    and target not in ALLOWED[folder]):
                                problem = "%s/ may not include %s/" % (folder, target)
                        if problem is None:
                            continue
                        if (source, included) in exceptions:
                            used.add((source, included))
                            continue
                        problems.append("%s:%d: %s: %s" % (source, number, problem, included))
    for source, included in sorted(exceptions - used):
        problems.append("scripts/include_exceptions.txt: no longer needed: %s %s"
                        % (source, included))
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(
        os.path.dirname(os.path.abspath(__file__)))
    problems = check(root)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print("include check: %d problem(s)" % len(problems), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
