#!/usr/bin/env python3
"""Fails when a source file includes against the layers' direction.

The layers point one way, platform <- diskio <- filesystems <- jobs <- app: a folder includes
only the folders below it. The custom controls build on the platform layer alone, the preview
decoders on the core, and the two viewer libraries on their own copies of platform/ and diskio/.
The core (platform/, diskio/, filesystems/, jobs/), the preview decoders and the archive viewer's
core/ include no Qt. Every folder may include the headers the build generates from resources/
(the string ids, resources/string_ids.h): they are plain C++ and below every layer.

Usage: check_includes.py [root]   (root: the source tree, by default the one holding this script)

Exceptions are listed in <root>/scripts/include_exceptions.txt, one "<file> <included path>" a
line; an exception that no longer matches an include fails the check too, so the list only
shrinks.
"""

import os
import re
import sys

import tree_check

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

# Headers the build generates from the data in resources/, includable from every folder.
GENERATED = ["resources/string_ids.h"]

# Folders (and everything below them) that include no Qt.
QT_FREE = CORE + ["preview", "archiveview/core"]

# Folders no product code includes from (resources/ only through GENERATED).
OUTSIDE = ["tests", "bench", "tools", "resources"]

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
    for source, full in tree_check.source_files(root, sorted(ALLOWED), SOURCE_SUFFIXES):
        folder = top_folder(source)
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
                elif included in GENERATED:
                    pass
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


if __name__ == "__main__":
    sys.exit(tree_check.run(check, "include check"))
