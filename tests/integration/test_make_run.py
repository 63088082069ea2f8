'''`make run` builds what running needs and nothing of the test suite: the
targets it names, read from `make -n run`, and what ninja would build for
them in the configured build folder.'''

import os
import re
import shlex
import subprocess
import unittest

from mockbus import bin_dir

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))


class MakeRun(unittest.TestCase):

    def setUp(self):
        self.build = os.path.dirname(os.path.abspath(bin_dir()))
        dry = subprocess.run(['make', '-n', '-C', ROOT, 'run', f'BUILD_DIR={self.build}'], capture_output=True,
                             text=True, timeout=60, check=True)
        builds = [shlex.split(line) for line in dry.stdout.splitlines() if line.startswith('cmake --build')]
        self.assertEqual(len(builds), 1, dry.stdout)
        self.assertIn('--target', builds[0], 'a build without targets builds the tests too')
        self.targets = builds[0][builds[0].index('--target') + 1:]

    def inputs(self):
        result = subprocess.run(['ninja', '-C', self.build, '-t', 'inputs', *self.targets], capture_output=True,
                                text=True, timeout=60, check=True)
        return result.stdout.splitlines()

    def built_outputs(self, pattern):
        with open(os.path.join(self.build, 'build.ninja'), encoding='utf-8') as rules:
            return set(re.findall(r'^build (' + pattern + r'):', rules.read(), re.MULTILINE))

    def test_the_application_its_modules_and_the_helper_are_built(self):
        inputs = set(self.inputs()) | set(self.targets)
        modules = self.built_outputs(r'lib/vigilo/[^ :]+\.so')
        self.assertTrue(modules)
        self.assertEqual(modules - inputs, set(), 'modules the application loads would be missing or stale')
        self.assertIn('vigilo-app', self.targets)
        self.assertIn('vigilo-helper', self.targets)

    def test_nothing_of_the_test_suite_is_built(self):
        tests = [path for path in self.inputs() if '/tests/' in path or path.startswith('tests/')
                 or re.search(r'_tests$|-test$', path)]
        self.assertEqual(tests, [])


if __name__ == '__main__':
    unittest.main()
