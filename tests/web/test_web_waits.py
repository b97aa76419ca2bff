#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""scripts/web_waits.py's analysis on binaryen's own disassembly of tests/web/waits.wat."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "web_waits.py")


class WebWaits(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        wasm = os.path.join(cls.work, "waits.wasm")
        cls.dis = os.path.join(cls.work, "waits.dis")
        subprocess.run(["wasm-as", "-g", os.path.join(HERE, "waits.wat"), "-o", wasm], check=True)
        with open(cls.dis, "w") as f:
            subprocess.run(["wasm-dis", wasm], check=True, stdout=f)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def analyse(self, *never):
        args = [sys.executable, SCRIPT, "--analyse", self.dis, "--seeds", "wait"]
        for pattern in never:
            args += ["--never-waits", pattern]
        return subprocess.run(args, capture_output=True, text=True)

    def test_finds_the_paths_to_a_wait_through_direct_and_typed_indirect_calls(self):
        done = self.analyse()
        self.assertEqual(done.returncode, 0, done.stderr)
        # A missing one would crash the wait; an extra one only costs size.
        self.assertEqual(done.stdout.split(), ["frame", "kernel_dispatch", "loop", "main", "present", "window_proc"])

    def test_functions_known_never_to_wait_are_left_out_with_what_waits_only_through_them(self):
        done = self.analyse("kernel_*")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.split(), ["loop", "main", "present", "window_proc"])

    def test_a_pattern_that_names_nothing_fails(self):
        done = self.analyse("kernel_*", "renamed_kernel*")
        self.assertNotEqual(done.returncode, 0)
        self.assertIn("renamed_kernel*", done.stderr)


if __name__ == "__main__":
    unittest.main()
