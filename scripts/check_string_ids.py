#!/usr/bin/env python3
"""Fails when the string table or the code goes back to ids defined in more than one place.

The English table, resources/strings_en.tsv, holds every string as "id<TAB>name<TAB>text"; the
build generates resources/string_ids.h from its name column, and product code names string ids
only through that header. The check fails when:
  - a line of the table is not "id<TAB>name<TAB>text" (the name "k...Id", or "-" for none),
  - an id is given twice, or a name is used twice, in the table,
  - product code defines a "k...Id = <number>" constant whose number is a string id of the
    table. Dialog control ids (int constants below 0x8000, such as the Cancel button's 2) are
    not string ids, nor are the names in NOT_STRING_IDS,
  - a command id of app/commands/command_ids.h (namespace CommandId) is defined again, under
    any name, elsewhere in app/ (the one folder that may include that header),
  - one file defines one dialog control id (an int "k...Id" below 0x8000) under two names.

Usage: check_string_ids.py [root]   (root: the source tree, by default the one holding this script)
"""

import os
import re
import sys

import tree_check

TABLE = os.path.join("resources", "strings_en.tsv")

# Product code: the folders whose files are built into the program and its libraries.
PRODUCT = ["platform", "diskio", "filesystems", "jobs", "preview", "controls", "hexview",
           "archiveview", "app"]
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")

# Constants named k...Id whose number happens to be a string id but that name something else.
NOT_STRING_IDS = {
    # The View menu's command that arranges the list by file id; a command's text is reached
    # through its command id.
    "kArrangeFileId",
}

LINE = re.compile(r"^([0-9]+)\t(k[A-Za-z0-9_]*Id|-)\t")
# "constexpr uint32_t kNameId = 61526;", over a line break too, decimal or hexadecimal.
CONSTANT = re.compile(r"\bconstexpr\s+((?:std::)?[A-Za-z_][A-Za-z0-9_]*(?:\s+int)?)\s+"
                      r"(k[A-Za-z0-9_]*Id)\s*=\s*(0[xX][0-9a-fA-F]+|[0-9]+)[uU]?\s*;")
UNSIGNED_32 = {"uint32_t", "std::uint32_t", "unsigned", "unsigned int"}
FIRST_COMMAND_ID = 0x8000

COMMAND_IDS = "app/commands/command_ids.h"
# The folder whose code names commands (the one that may include COMMAND_IDS).
COMMAND_FOLDER = "app"
COMMAND_NAMESPACE = re.compile(r"\bnamespace\s+CommandId\s*\{(.*?)\}", re.DOTALL)
# Any integer constant, named k..., with its value: what a command id may be defined again as.
ANY_CONSTANT = re.compile(r"\bconstexpr\s+((?:std::)?[A-Za-z_][A-Za-z0-9_]*(?:\s+int)?)\s+"
                          r"(k[A-Za-z0-9_]*)\s*=\s*(0[xX][0-9a-fA-F]+|[0-9]+)[uU]?\s*;")


def read_table(root, problems):
    """The table's names by id; malformed lines and repeats go to `problems`."""
    names_by_id = {}
    line_of_id = {}
    line_of_name = {}
    path = os.path.join(root, TABLE)
    with open(path, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            where = "%s:%d" % (TABLE, number)
            match = LINE.match(line)
            if not match or not 1 <= int(match.group(1)) <= 0xFFFF:
                problems.append("%s: not \"id<TAB>name<TAB>text\": %s" % (where, line[:60]))
                continue
            string_id, name = int(match.group(1)), match.group(2)
            if string_id in line_of_id:
                problems.append("%s: id %d given twice (first on line %d)"
                                % (where, string_id, line_of_id[string_id]))
                continue
            line_of_id[string_id] = number
            if name != "-":
                if name in line_of_name:
                    problems.append("%s: name %s used twice (first on line %d)"
                                    % (where, name, line_of_name[name]))
                line_of_name.setdefault(name, number)
            names_by_id[string_id] = name
    return names_by_id


def check_sources(root, names_by_id, problems):
    for source, full in tree_check.source_files(root, PRODUCT, SOURCE_SUFFIXES):
        with open(full, encoding="utf-8", errors="replace") as text:
            content = text.read()
        for match in CONSTANT.finditer(content):
            kind, constant, number = match.groups()
            value = number_of(number)
            if value not in names_by_id or constant in NOT_STRING_IDS:
                continue
            if kind not in UNSIGNED_32 and value < FIRST_COMMAND_ID:
                continue
            line = line_of(content, match)
            generated = names_by_id[value]
            problems.append(
                "%s:%d: %s = %d defines string id %d again: use %s from "
                "resources/string_ids.h" % (source, line, constant, value, value,
                                            generated if generated != "-" else
                                            "a name given to it in " + TABLE))


def number_of(text):
    """A C++ integer literal's value: hexadecimal after 0x, octal after 0, else decimal."""
    if text[:2] in ("0x", "0X"):
        return int(text, 16)
    return int(text, 8) if len(text) > 1 and text[0] == "0" else int(text)


def line_of(content, match):
    return content.count("\n", 0, match.start()) + 1


def read_command_ids(root):
    """The names of the command ids by value, from the CommandId namespace."""
    path = os.path.join(root, COMMAND_IDS)
    if not os.path.exists(path):
        return {}
    with open(path, encoding="utf-8", errors="replace") as text:
        content = text.read()
    names = {}
    for block in COMMAND_NAMESPACE.finditer(content):
        for match in ANY_CONSTANT.finditer(block.group(1)):
            names.setdefault(number_of(match.group(3)), match.group(2))
    return names


def check_command_ids(root, problems):
    names_by_value = read_command_ids(root)
    for source, full in tree_check.source_files(root, [COMMAND_FOLDER], SOURCE_SUFFIXES):
        if source == COMMAND_IDS:
            continue
        with open(full, encoding="utf-8", errors="replace") as text:
            content = text.read()
        for match in ANY_CONSTANT.finditer(content):
            _, constant, number = match.groups()
            value = number_of(number)
            if value in names_by_value:
                problems.append("%s:%d: %s = %d defines command id %d again: use CommandId::%s "
                                "from %s" % (source, line_of(content, match), constant, value,
                                             value, names_by_value[value], COMMAND_IDS))


def check_control_ids(root, problems):
    for source, full in tree_check.source_files(root, PRODUCT, SOURCE_SUFFIXES):
        with open(full, encoding="utf-8", errors="replace") as text:
            content = text.read()
        first_name = {}
        for match in CONSTANT.finditer(content):
            kind, constant, number = match.groups()
            value = number_of(number)
            if kind != "int" or value >= FIRST_COMMAND_ID:
                continue
            if value in first_name and first_name[value] != constant:
                problems.append("%s:%d: %s = %d defines control id %d again: it is %s"
                                % (source, line_of(content, match), constant, value, value,
                                   first_name[value]))
            first_name.setdefault(value, constant)


def check(root):
    problems = []
    names_by_id = read_table(root, problems)
    check_sources(root, names_by_id, problems)
    check_command_ids(root, problems)
    check_control_ids(root, problems)
    return problems


if __name__ == "__main__":
    sys.exit(tree_check.run(check, "string id check"))
