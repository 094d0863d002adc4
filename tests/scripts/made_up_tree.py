"""Runs a tree check script over a small made-up tree written to a temporary folder."""

import os
import subprocess
import sys
import tempfile

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts")


def run_script(script, files):
    """Writes `files` (path from the root: text) and runs scripts/`script` over them; gives the
    exit status and what the script wrote to stderr."""
    with tempfile.TemporaryDirectory() as root:
        for path, text in files.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as out:
                out.write(text)
        result = subprocess.run([sys.executable, os.path.join(SCRIPTS, script), root],
                                capture_output=True, text=True, check=False)
        return result.returncode, result.stderr


def expect_each_fault(test, run_check, sound, cases):
    """For each (name, path, text, message) of `cases`, in a subtest: `sound` with the file at
    `path` set to `text` fails `run_check`, which names the fault with `message`."""
    for name, path, text, message in cases:
        with test.subTest(name):
            files = dict(sound)
            files[path] = text
            code, errors = run_check(files)
            test.assertEqual(code, 1, errors)
            test.assertIn(message, errors)
