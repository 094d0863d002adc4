#!/usr/bin/env python3
"""The string id check over small made-up trees: what it lets pass and what it refuses."""

import unittest

import made_up_tree

TABLE = ("# A comment, then the strings.\n"
         "\n"
         "61526\tkCannotOpenFileId\tCannot open file \n"
         "32795\t-\t&Find\n"
         "2\tkWordRunningId\tMicrosoft Word is running.\\nClose it.\n")

# A tree that names its string ids through the generated header only.
SOUND = {
    "resources/strings_en.tsv": TABLE,
    "jobs/save.cpp": ('#include "resources/string_ids.h"\n'
                      "constexpr uint32_t kChunkSectors = 2048;\n"),
    # Dialog control ids: the Cancel button's 2 is no string id.
    "app/dialogs/narrowing/find_dlg.h": ("class CFindDlg {\n"
                               "    static constexpr int kCancelId = 2;\n"
                               "    static constexpr int kSizeId = 1020;\n};\n"),
    # Command ids, each its menu text's id too, and a command id's other name kept beside them.
    "app/commands/command_ids.h": ("namespace CommandId {\n"
                                   "inline constexpr uint32_t kFind = 32795;\n"
                                   "inline constexpr uint32_t kExit = 0xE141;\n"
                                   "} // namespace CommandId\n"
                                   "inline constexpr uint32_t kArrangeFileId = 32795;\n"
                                   "inline constexpr uint32_t kMainMenuId = 128;\n"),
    # Below app/ a command's number is only a number.
    "platform/job_messages.h": "inline constexpr uint32_t kWmApp = 32795;\n",
    # Each dialog numbers its own controls: the same number in two dialogs is two controls.
    "app/dialogs/scan/scan_dlg.h": ("class CScanDlg {\n"
                                    "    static constexpr int kLimitId = 1020;\n"
                                    "    static constexpr int kHelpId = 57670;\n};\n"),
    "app/dialogs/narrowing/mask_dlg.h": ("class CMaskDlg {\n"
                                         "    static constexpr int kHelpId = 57670;\n};\n"),
    # Tests may hold ids of their own.
    "tests/jobs/save_test.cpp": "constexpr uint32_t kCannotOpenId = 61526;\n",
}


def run_check(files):
    return made_up_tree.run_script("check_string_ids.py", files)


class CheckStringIdsTest(unittest.TestCase):
    def test_sound_tree_passes(self):
        code, errors = run_check(SOUND)
        self.assertEqual(code, 0, errors)

    def test_each_fault_fails_and_is_named(self):
        cases = [
            ("id given twice", "resources/strings_en.tsv",
             TABLE + "61526\tkCannotOpenAgainId\tCannot open\n",
             "strings_en.tsv:6: id 61526 given twice (first on line 3)"),
            ("name used twice", "resources/strings_en.tsv",
             TABLE + "61527\tkCannotOpenFileId\tCannot open\n",
             "strings_en.tsv:6: name kCannotOpenFileId used twice (first on line 3)"),
            ("line without a name", "resources/strings_en.tsv", TABLE + "61527\tCannot open\n",
             "strings_en.tsv:6: not \"id<TAB>name<TAB>text\""),
            ("id out of range", "resources/strings_en.tsv", TABLE + "70000\tkBigId\tBig\n",
             "strings_en.tsv:6: not \"id<TAB>name<TAB>text\""),
            ("constant in a source file", "jobs/recovery/zip/zip_output.cpp",
             "namespace {\nconstexpr uint32_t kCannotOpenId = 61526;\n}\n",
             "jobs/recovery/zip/zip_output.cpp:2: kCannotOpenId = 61526 defines string id 61526 again: "
             "use kCannotOpenFileId"),
            ("class member in hexadecimal", "platform/devices/device_handle.h",
             "class X {\n    static constexpr std::uint32_t kOpenId = 0xF056;\n};\n",
             "platform/devices/device_handle.h:2: kOpenId = 61526"),
            ("constant over a line break", "app/main_frame.h",
             "inline constexpr uint32_t kAVeryLongNameForTheCannotOpenFileMessageId =\n"
             "    61526;\n", "app/main_frame.h:1: kAVeryLongNameForTheCannotOpenFileMessageId"),
            ("int constant of a string id", "controls/bar.cpp",
             "constexpr int kTitleId = 61526;\n", "controls/bar.cpp:1: kTitleId"),
            ("small string id as unsigned", "preview/office.cpp",
             "constexpr uint32_t kRunningId = 2;\n", "use kWordRunningId"),
            ("string id without a name", "app/menu.cpp", "constexpr uint32_t kFindId = 32795;\n",
             "use a name given to it in resources/strings_en.tsv"),
            ("command id under another name", "app/views/folder_tree_ctrl.h",
             "class C {\n    static constexpr int kFindCommand = 32795;\n};\n",
             "app/views/folder_tree_ctrl.h:2: kFindCommand = 32795 defines command id 32795 "
             "again: use CommandId::kFind"),
            ("command id in hexadecimal", "app/frame/keys.cpp", "constexpr uint32_t kQuit = 0xE141;\n",
             "app/frame/keys.cpp:1: kQuit = 57665 defines command id 57665 again: use "
             "CommandId::kExit"),
            ("control id under two names", "app/dialogs/narrowing/find_dlg.h",
             "class CFindDlg {\n    static constexpr int kSizeId = 1020;\n"
             "    static constexpr int kSizeEditId = 1020;\n};\n",
             "find_dlg.h:3: kSizeEditId = 1020 defines control id 1020 again: it is kSizeId"),
        ]
        made_up_tree.expect_each_fault(self, run_check, SOUND, cases)


if __name__ == "__main__":
    unittest.main()
