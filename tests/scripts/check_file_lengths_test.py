#!/usr/bin/env python3
"""The file length check over small made-up trees: where it counts and where the limit lies."""

import unittest

import made_up_tree


def lines(count):
    return "".join("int a%d = %d;\n" % (n, n) for n in range(count))


# Product files at the limit, and long files where the limit does not apply.
SOUND = {
    "jobs/save.cpp": lines(800),
    "app/frame.h": lines(800),
    # Without a final line break the last line counts once.
    "platform/text.cpp": lines(799) + "int last = 0;",
    "tests/jobs/save_test.cpp": lines(2000),
    "resources/strings.cpp": lines(2000),
    "bench/scan_bench.cpp": lines(2000),
    "build/app/moc_frame.cpp": lines(2000),
    "build-asan/generated.h": lines(2000),
    "jobs/notes.txt": lines(2000),
}


def run_check(files):
    return made_up_tree.run_script("check_file_lengths.py", files)


class CheckFileLengthsTest(unittest.TestCase):
    def test_sound_tree_passes(self):
        code, errors = run_check(SOUND)
        self.assertEqual(code, 0, errors)

    def test_each_long_product_file_fails_and_is_named(self):
        cases = [
            ("source one line over", "jobs/save.cpp", lines(801),
             "jobs/save.cpp: 801 lines, more than 800"),
            ("header", "app/frame.h", lines(900), "app/frame.h: 900 lines"),
            ("deep folder", "filesystems/ntfs/ntfs_scan.cpp", lines(1145),
             "filesystems/ntfs/ntfs_scan.cpp: 1145 lines"),
            ("folder the checks do not list", "tools/draw.cpp", lines(801),
             "tools/draw.cpp: 801 lines"),
            ("C source", "platform/lib/inflate.c", lines(801), "platform/lib/inflate.c: 801"),
            ("folder named like a build folder", "buildtools/gen.cpp", lines(801),
             "buildtools/gen.cpp: 801 lines"),
        ]
        made_up_tree.expect_each_fault(self, run_check, SOUND, cases)

    def test_every_long_file_is_named(self):
        files = dict(SOUND)
        files["jobs/save.cpp"] = lines(801)
        files["app/frame.h"] = lines(801)
        code, errors = run_check(files)
        self.assertEqual(code, 1, errors)
        self.assertIn("app/frame.h: 801 lines", errors)
        self.assertIn("jobs/save.cpp: 801 lines", errors)
        self.assertIn("file length check: 2 problem(s)", errors)


if __name__ == "__main__":
    unittest.main()
