#!/usr/bin/env python3
"""tools/check-boundaries on small git trees: a tree whose includes all run downwards passes; each
include that runs the wrong way fails the check and is named with its file and line."""

import importlib.machinery
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check-boundaries")

# Every allowed kind of edge, including an include beside the file, one that climbs out of its
# folder, a library header, the shared base's rooms in their order, and the tests on their folders.
CLEAN_TREE = {
    "platform/foundation/Text.hpp": "",
    "platform/foundation/Text.cpp": '#include "Text.hpp"\n',
    "model/Lesson.hpp": '#include "platform/foundation/Text.hpp"\n',
    "model/course/Course.hpp": '#include "../Lesson.hpp"\n',
    "content/Chapter1.hpp": '#include "model/Lesson.hpp"\n#include "model/course/Course.hpp"\n#include <vector>\n',
    "sdk/zovaze/Zovaze.hpp": '#include "platform/foundation/Text.hpp"\n#include "sdk/zovaze/settings/Settings.hpp"\n',
    "sdk/zovaze/Internal.hpp": '#include "Zovaze.hpp"\n',
    "sdk/zovaze/base/Hex.hpp": '#include "platform/foundation/Text.hpp"\n',
    "sdk/zovaze/kit/Version.hpp": "",
    "sdk/zovaze/images/Icon.cpp": '#include "sdk/zovaze/base/Hex.hpp"\n',
    "sdk/zovaze/identity/App.hpp": '#include "../images/Icon.cpp"\n#include "sdk/zovaze/base/Hex.hpp"\n',
    "sdk/zovaze/network/session/Task.hpp": '#include "sdk/zovaze/kit/Version.hpp"\n#include "sdk/zovaze/base/Hex.hpp"\n',
    "sdk/zovaze/settings/Settings.hpp": '#include "sdk/zovaze/identity/App.hpp"\n#include "sdk/zovaze/network/session/Task.hpp"\n',
    # The crash road, each room on what lies below it; the kits on the shared base only.
    "sdk/zevuzavidav/base/Log.hpp": '#include "platform/foundation/Text.hpp"\n',
    "sdk/zevuzavidav/record/File.hpp": '#include "sdk/zevuzavidav/base/Log.hpp"\n',
    "sdk/zevuzavidav/context/Context.hpp": '#include "../record/File.hpp"\n#include "sdk/zovaze/Zovaze.hpp"\n',
    "sdk/zevuzavidav/unwind/arm64/Step.cpp": '#include "sdk/zevuzavidav/context/Context.hpp"\n',
    "sdk/zevuzavidav/capture/Signal.hpp": '#include "sdk/zevuzavidav/unwind/arm64/Step.cpp"\n',
    "sdk/zevuzavidav/capture/Signal.cpp": '#include "Signal.hpp"\n',
    "sdk/zevuzavidav/upload/Client.hpp": '#include "sdk/zevuzavidav/record/File.hpp"\n',
    "sdk/zevuzavidav/symbolication/Resolver.hpp": '#include "sdk/zevuzavidav/record/File.hpp"\n',
    "sdk/zevuzavidav/kit/Kit.cpp": '#include "sdk/zevuzavidav/capture/Signal.hpp"\n#include "sdk/zevuzavidav/upload/Client.hpp"\n',
    "sdk/rurorad/Engine.hpp": '#include "sdk/zovaze/Internal.hpp"\n#include "platform/foundation/Text.hpp"\n',
    "app/main.cpp": '#include "sdk/zovaze/Zovaze.hpp"\n#include "content/Chapter1.hpp"\n',
    "app/lesson/Screen.hpp": '#include "model/Lesson.hpp"\n#include "platform/foundation/Text.hpp"\n',
    "app/catalogue/Home.hpp": '#include "app/lesson/Screen.hpp"\n',
    "bench/lesson_bench.cpp": '#include "model/Lesson.hpp"\n#include "tools/fixtures/Lessons.hpp"\n',
    "tools/fixtures/Lessons.hpp": '#include "model/Lesson.hpp"\n#include "benchmark/benchmark.h"\n',
    # A test reaches its folder, the layers below it, tools/, its own test folder and tests/support/;
    # inside the crash reporter a room's test may set its scene with a later room.
    "tests/support/Helper.hpp": '#include "app/catalogue/Home.hpp"\n#include "tools/fixtures/Lessons.hpp"\n',
    "tests/app/lesson/ScreenWorld.hpp": '#include "app/lesson/Screen.hpp"\n',
    "tests/app/lesson/ScreenTest.cpp": '#include "ScreenWorld.hpp"\n#include "tests/support/Helper.hpp"\n'
    '#include "content/Chapter1.hpp"\n#include "tools/fixtures/Lessons.hpp"\n',
    "tests/app/catalogue/HomeTest.cpp": '#include "app/catalogue/Home.hpp"\n#include "sdk/zovaze/Zovaze.hpp"\n',
    "tests/sdk/zevuzavidav/base/LogTest.cpp": '#include "sdk/zevuzavidav/kit/Kit.cpp"\n'
    '#include "tests/sdk/zevuzavidav/support/World.hpp"\n',
    "tests/sdk/zevuzavidav/support/World.hpp": '#include "sdk/zovaze/Internal.hpp"\n',
    "tests/integration/BackendTest.cpp": '#include "app/catalogue/Home.hpp"\n#include "tests/support/Helper.hpp"\n',
}

# (file added to the clean tree, what its second line includes, the edge the check must name)
WRONG_WAY = [
    ("platform/foundation/Bad.cpp", "sdk/zovaze/Zovaze.hpp", "platform/ -> sdk/zovaze/Zovaze.hpp"),
    ("platform/foundation/Bad.cpp", "../../model/Lesson.hpp", "platform/ -> model/Lesson.hpp"),
    ("sdk/zovaze/Bad.cpp", "model/Lesson.hpp", "sdk/zovaze/ -> model/Lesson.hpp"),
    ("sdk/zovaze/Bad.cpp", "content/Chapter1.hpp", "sdk/zovaze/ -> content/Chapter1.hpp"),
    # No kit includes another, nor the shared base a kit.
    ("sdk/zevuzavidav/kit/Bad.cpp", "sdk/rurorad/Engine.hpp", "sdk/zevuzavidav/ -> sdk/rurorad/Engine.hpp"),
    ("sdk/rurorad/Bad.cpp", "sdk/zevuzavidav/kit/Kit.cpp", "sdk/rurorad/ -> sdk/zevuzavidav/kit/Kit.cpp"),
    ("sdk/zovaze/Bad.cpp", "sdk/rurorad/Engine.hpp", "sdk/zovaze/ -> sdk/rurorad/Engine.hpp"),
    # Inside the crash reporter: a room including a later one, or one of its own row.
    ("sdk/zevuzavidav/context/Bad.cpp", "sdk/zevuzavidav/capture/Signal.hpp",
     "sdk/zevuzavidav/context/ -> sdk/zevuzavidav/capture/Signal.hpp (against the crash road)"),
    ("sdk/zevuzavidav/base/Bad.hpp", "../context/Context.hpp",
     "sdk/zevuzavidav/base/ -> sdk/zevuzavidav/context/Context.hpp (against the crash road)"),
    ("sdk/zevuzavidav/unwind/arm64/Bad.cpp", "sdk/zevuzavidav/kit/Kit.cpp",
     "sdk/zevuzavidav/unwind/ -> sdk/zevuzavidav/kit/Kit.cpp (against the crash road)"),
    ("sdk/zevuzavidav/upload/Bad.cpp", "sdk/zevuzavidav/symbolication/Resolver.hpp",
     "sdk/zevuzavidav/upload/ -> sdk/zevuzavidav/symbolication/Resolver.hpp (against the crash road)"),
    ("sdk/zevuzavidav/attic/Bad.cpp", "sdk/zevuzavidav/base/Log.hpp",
     "sdk/zevuzavidav/attic/ -> sdk/zevuzavidav/base/Log.hpp (not a room of the crash road)"),
    # Inside the shared base: a room below including one above it, or one beside it, or the start.
    ("sdk/zovaze/images/Bad.cpp", "sdk/zovaze/identity/App.hpp",
     "sdk/zovaze/images/ -> sdk/zovaze/identity/App.hpp (against the shared base's order)"),
    ("sdk/zovaze/network/session/Bad.cpp", "sdk/zovaze/identity/App.hpp",
     "sdk/zovaze/network/ -> sdk/zovaze/identity/App.hpp (against the shared base's order)"),
    ("sdk/zovaze/base/Bad.hpp", "sdk/zovaze/Zovaze.hpp",
     "sdk/zovaze/base/ -> sdk/zovaze/Zovaze.hpp (against the shared base's order)"),
    ("sdk/zovaze/misc/Bad.hpp", "sdk/zovaze/base/Hex.hpp",
     "sdk/zovaze/misc/ -> sdk/zovaze/base/Hex.hpp (not a room of the shared base's order)"),
    # Tests: nothing above their folder's layers, and no other test folder's files.
    ("tests/content/BadTest.cpp", "app/lesson/Screen.hpp", "tests/content/ -> app/lesson/Screen.hpp"),
    ("tests/app/catalogue/BadTest.cpp", "tests/app/lesson/ScreenWorld.hpp",
     "tests/app/catalogue/ -> tests/app/lesson/ScreenWorld.hpp"),
    ("tests/app/lesson/BadTest.cpp", "sdk/zovaze/Internal.hpp", "tests/app/lesson/ -> sdk/zovaze/Internal.hpp"),
    ("tests/sdk/rurorad/BadTest.cpp", "sdk/zevuzavidav/kit/Kit.cpp",
     "tests/sdk/rurorad/ -> sdk/zevuzavidav/kit/Kit.cpp"),
    ("tests/sdk/rurorad/BadTest.cpp", "tests/sdk/zevuzavidav/support/World.hpp",
     "tests/sdk/rurorad/ -> tests/sdk/zevuzavidav/support/World.hpp"),
    ("tests/support/Bad.hpp", "tests/app/lesson/ScreenWorld.hpp", "tests/support/ -> tests/app/lesson/ScreenWorld.hpp"),
    ("tests/support/Bad.hpp", "bench/lesson_bench.cpp", "tests/support/ -> bench/lesson_bench.cpp"),
    ("tests/elsewhere/BadTest.cpp", "tests/support/Helper.hpp", "tests/ -> tests/support/Helper.hpp"),
    ("content/Bad.cpp", "platform/foundation/Text.hpp", "content/ -> platform/foundation/Text.hpp"),
    ("content/Bad.cpp", "app/lesson/Screen.hpp", "content/ -> app/lesson/Screen.hpp"),
    ("model/Bad.hpp", "content/Chapter1.hpp", "model/ -> content/Chapter1.hpp"),
    ("model/Bad.hpp", "app/lesson/Screen.hpp", "model/ -> app/lesson/Screen.hpp"),
    ("model/Bad.hpp", "sdk/zovaze/Zovaze.hpp", "model/ -> sdk/zovaze/Zovaze.hpp"),
    ("app/catalogue/Bad.cpp", "sdk/zovaze/Internal.hpp", "app/ -> sdk/zovaze/Internal.hpp"),
    ("app/lesson/Bad.cpp", "app/catalogue/Home.hpp", "app/lesson/ -> app/catalogue/Home.hpp"),
    ("app/lesson/Bad.cpp", "sdk/zovaze/Internal.hpp", "app/lesson/ -> sdk/zovaze/Internal.hpp"),
    ("bench/bad_bench.cpp", "tests/support/Helper.hpp", "bench/ -> tests/support/Helper.hpp"),
    ("tools/fixtures/Bad.hpp", "tests/support/Helper.hpp", "tools/ -> tests/support/Helper.hpp"),
]


def write(root, path, text):
    os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
    with open(os.path.join(root, path), "w") as out:
        out.write(text)


# The check itself, loaded once: a case runs it in this process rather than starting Python again.
# Loading it must leave no compiled copy beside it in the source tree (tools/__pycache__/).
sys.dont_write_bytecode = True
_loader = importlib.machinery.SourceFileLoader("check_boundaries", SCRIPT)
CHECKER = importlib.util.module_from_spec(importlib.util.spec_from_loader("check_boundaries", _loader))
_loader.exec_module(CHECKER)


def run_check(root):
    """(exit status, what it printed), as the command would answer for `root`."""
    found = list(CHECKER.violations(root))
    return (1 if found else 0), "".join(line + "\n" for line in found)


class CheckBoundariesTest(unittest.TestCase):
    # One git tree of the clean files for every case: a case adds its file, is checked, and takes it
    # out again (a git tree per case made this test slow on a busy machine).
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.root = cls.folder.name
        for path, text in CLEAN_TREE.items():
            write(cls.root, path, text)
        subprocess.run(["git", "init", "-q", cls.root], check=True)
        subprocess.run(["git", "-C", cls.root, "add", "-A"], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def check_with(self, path, text):
        """The check on the clean tree with `path` (tracked) holding `text`; the tree is clean after."""
        before = CLEAN_TREE.get(path)
        write(self.root, path, text)
        subprocess.run(["git", "-C", self.root, "add", path], check=True)
        try:
            return run_check(self.root)
        finally:
            if before is None:
                subprocess.run(["git", "-C", self.root, "rm", "-q", "-f", path], check=True)
            else:
                write(self.root, path, before)
                subprocess.run(["git", "-C", self.root, "add", path], check=True)

    def test_a_tree_whose_includes_run_downwards_passes(self):
        self.assertEqual(run_check(self.root), (0, ""))
        # The command answers the same, with its status.
        done = subprocess.run([SCRIPT, self.root], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stdout), (0, ""))

    def test_each_wrong_way_include_fails_and_is_named(self):
        for path, target, edge in WRONG_WAY:
            with self.subTest(path=path, target=target):
                self.assertEqual(self.check_with(path, f'// a file\n#include "{target}"\n'),
                                 (1, f"{path}:2: {edge}\n"))

    def test_the_command_names_a_wrong_include_and_fails(self):
        write(self.root, "model/Bad.hpp", '#include "content/Chapter1.hpp"\n')
        subprocess.run(["git", "-C", self.root, "add", "model/Bad.hpp"], check=True)
        try:
            done = subprocess.run([SCRIPT, self.root], capture_output=True, text=True)
        finally:
            subprocess.run(["git", "-C", self.root, "rm", "-q", "-f", "model/Bad.hpp"], check=True)
        self.assertEqual((done.returncode, done.stdout), (1, "model/Bad.hpp:1: model/ -> content/Chapter1.hpp\n"))

    def test_an_include_of_an_untracked_file_is_no_edge(self):
        self.assertEqual(self.check_with("platform/foundation/Bad.cpp", '#include "sdk/generated/Missing.hpp"\n'),
                         (0, ""))


if __name__ == "__main__":
    unittest.main()
