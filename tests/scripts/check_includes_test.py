#!/usr/bin/env python3
"""The layer check over small made-up trees: what it lets pass and what it refuses."""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts",
                      "check_includes.py")

# A tree that follows the layers: each folder includes its own and the ones below, Qt only
# outside the core.
SOUND = {
    "platform/text.h": '#pragma once\n#include <string>\n',
    "platform/text.cpp": '#include "platform/text.h"\n#include "text.h"\n',
    "diskio/source.h": '#include "platform/text.h"\n',
    "filesystems/fat.cpp": '#include "diskio/source.h"\n#include "platform/text.h"\n',
    "jobs/scan.cpp": '#include "filesystems/fat.h"\n#include <zlib.h>\n',
    "preview/decode.cpp": '#include "jobs/scan.h"\n',
    "controls/map.cpp": '#include "platform/text.h"\n#include <QWidget>\n',
    "hexview/view.cpp": '#include "diskio/source.h"\n#include <QtWidgets/QDialog>\n',
    "archiveview/core/walk.cpp": '#include "diskio/source.h"\n',
    "archiveview/dialog.cpp": '#include "core/walk.h"\n#include <QDialog>\n',
    "app/frame.cpp": ('#include "jobs/scan.h"\n#include "controls/map.h"\n'
                      '#include "hexview/view.h"\n#include <QMainWindow>\n'),
}


def run_check(files, exceptions=None):
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as out:
                out.write(text)
        if exceptions is not None:
            os.makedirs(os.path.join(root, "scripts"), exist_ok=True)
            with open(os.path.join(root, "scripts", "include_exceptions.txt"), "w",
                      encoding="utf-8") as out:
                out.write(exceptions)
        result = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True,
                                check=False)
        return result.returncode, result.stderr


class CheckIncludesTest(unittest.TestCase):
    def test_sound_tree_passes(self):
        code, errors = run_check(SOUND)
        self.assertEqual(code, 0, errors)

    def test_each_fault_fails_and_is_named(self):
        cases = [
            ("upward include", "diskio/reader.cpp", '#include "jobs/scan.h"\n',
             "diskio/reader.cpp:1: diskio/ may not include jobs/"),
            ("sideways include", "controls/bar.cpp", '\n#include "diskio/source.h"\n',
             "controls/bar.cpp:2: controls/ may not include diskio/"),
            ("viewer reaching the readers", "hexview/model.cpp", '#include "filesystems/fat.h"\n',
             "hexview/ may not include filesystems/"),
            ("core including a test", "jobs/zip.cpp", '#include "tests/support/temp.h"\n',
             "jobs/ may not include tests/"),
            ("upward through a relative path", "filesystems/ntfs/run.cpp",
             '#include "../../app/frame.h"\n', "filesystems/ may not include app/"),
            ("Qt in the core", "platform/timer.cpp", '#include <QTimer>\n',
             "platform/timer.cpp:1: Qt in a Qt-free folder"),
            ("Qt by module path", "jobs/save.h", '#  include <QtCore/QString>\n',
             "Qt in a Qt-free folder"),
            ("Qt's lower-case header", "filesystems/x.h", '#include <qglobal.h>\n',
             "Qt in a Qt-free folder"),
            ("Qt in the archive viewer's core", "archiveview/core/text.cpp",
             '#include <QString>\n', "Qt in a Qt-free folder"),
        ]
        for name, path, text, message in cases:
            with self.subTest(name):
                files = dict(SOUND)
                files["app/frame.h"] = "#pragma once\n"
                files[path] = text
                code, errors = run_check(files)
                self.assertEqual(code, 1, errors)
                self.assertIn(message, errors)

    def test_listed_exception_passes_and_stale_one_fails(self):
        files = dict(SOUND)
        files["hexview/model.cpp"] = '#include "filesystems/fat.h"\n'
        code, errors = run_check(files, "# why\nhexview/model.cpp filesystems/fat.h\n")
        self.assertEqual(code, 0, errors)

        code, errors = run_check(SOUND, "hexview/model.cpp filesystems/fat.h\n")
        self.assertEqual(code, 1, errors)
        self.assertIn("no longer needed: hexview/model.cpp filesystems/fat.h", errors)


if __name__ == "__main__":
    unittest.main()
