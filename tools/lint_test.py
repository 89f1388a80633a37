#!/usr/bin/env python3
"""Shows that tools/lint.py catches the faults it is for, on small trees."""

import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

LINT = Path(__file__).resolve().parent / "lint.py"


def lint(files):
    """Writes {path under src/: text} to a fresh tree; returns (exit code, lines)."""
    with tempfile.TemporaryDirectory() as tmp:
        for rel, text in files.items():
            path = Path(tmp, "src", rel)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        run = subprocess.run([sys.executable, str(LINT), "--src", "src"], cwd=tmp,
                             capture_output=True, text=True)
    return run.returncode, run.stdout.splitlines()


class LintTest(unittest.TestCase):
    def test_reports_exactly_the_reversed_include_and_the_cycle(self):
        rc, lines = lint({
            "engine/run.cpp": '#include "fileio/file.h"\n',  # allowed: fileio is below
            "fileio/file.h": "",
            "platform/text.cpp": '// #include "ui/view.h"\n'
                                 '#include "engine/a.h"  // reversed\n',
            "engine/a.h": '#include "engine/b.h"\n',
            "engine/b.h": '#include "a.h"\n',  # same folder, no prefix
        })
        self.assertEqual(rc, 1)
        self.assertEqual(len(lines), 2, lines)
        self.assertRegex(lines[0], r"^src/platform/text\.cpp:2: platform may not include engine/a\.h \(platform sits below engine")
        self.assertEqual(lines[1], "src/engine/a.h:1: include cycle: engine/a.h -> engine/b.h -> engine/a.h")

    def test_a_clean_tree_passes(self):
        rc, lines = lint({
            "engine/run.cpp": '#include "fileio/file.h"\n#include "run.h"\n',
            "engine/run.h": '#include "engine/texts.h"\n',  # generated, own folder
            "fileio/file.h": '#include "platform/text.h"\n'
                             '#include "platform/text.h"\n',  # twice is no cycle
            "platform/text.h": '#include "platform/win32/text.h"\n',
            "ui/view.cpp": '#include "platform/win32/text.h"\n',
            "platform/win32/text.h": '#include "base/types.h"\n',
            "base/types.h": "",
        })
        self.assertEqual((rc, lines), (0, []))

    def test_folder_cycle_names_both_includes(self):
        rc, lines = lint({
            "engine/run.cpp": '#include "fileio/file.h"\n',
            "fileio/file.h": "",
            "fileio/read.cpp": '#include "engine/run.h"\n',
            "engine/run.h": "",
        })
        self.assertEqual(rc, 1)
        self.assertEqual(len(lines), 2, lines)
        self.assertIn("fileio may not include engine/run.h", lines[0])
        self.assertEqual(lines[1], "src/engine/run.cpp:1: folder cycle: engine -> fileio -> engine "
                                   "(then src/fileio/read.cpp:1 includes engine/run.h)")

    def test_generated_headers_and_win32_and_unknown_folders(self):
        rc, lines = lint({
            "engine/run.cpp": '#include "archive/texts.h"\n',  # generated, not in src/
            "tools/kit.cpp": '#include "platform/win32/text.h"\n',
            "platform/win32/text.h": "",
            "gui/window.cpp": "",
        })
        self.assertEqual(rc, 1)
        self.assertEqual([line.split(":", 2)[:2] for line in lines],
                         [["src/gui/window.cpp", "1"], ["src/engine/run.cpp", "1"],
                          ["src/tools/kit.cpp", "1"]], lines)
        self.assertIn("only platform and ui", lines[2])


if __name__ == "__main__":
    unittest.main()
