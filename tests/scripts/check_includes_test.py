#!/usr/bin/env python3
"""The layer check over small made-up trees: what it lets pass and what it refuses."""

import unittest

import made_up_tree

# A tree that follows the layers: each folder includes its own and the ones below, Qt only
# outside the core.
SOUND = {
    "platform/text.h": '#pragma once\n#include <string>\n',
    "platform/text.cpp": '#include "platform/text.h"\n#include "text.h"\n',
    # The string ids generated from resources/ serve every layer.
    "platform/table.cpp": '#include "resources/string_ids.h"\n',
    "jobs/save.cpp": '#include "resources/string_ids.h"\n',
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
    files = dict(files)
    if exceptions is not None:
        files["scripts/include_exceptions.txt"] = exceptions
    return made_up_tree.run_script("check_includes.py", files)


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
            ("resources other than the generated ids", "platform/strings.cpp",
             '#include "resources/strings_en.h"\n', "platform/ may not include resources/"),
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
        sound = dict(SOUND)
        sound["app/frame.h"] = "#pragma once\n"
        made_up_tree.expect_each_fault(self, run_check, sound, cases)

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
