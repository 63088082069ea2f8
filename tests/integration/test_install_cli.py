'''vigilo-app --install-cli end to end on a temporary home: it answers before
anything starts, and the wrapper it writes runs the executable it names, also
from a folder whose name holds a single quote, with every argument as typed,
and says what to do once that executable is gone. The system-wide command
goes through the test build of the privileged helper (VIGILO_TEST_HELPER) on
a scratch tree (VIGILO_HELPER_TEST_ROOT) whose owner stands for root.'''

import os
import shutil
import stat
import subprocess
import tempfile
import unittest

from mockbus import bin_dir


class InstallCli(unittest.TestCase):

    def setUp(self):
        self.home = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.home, True)
        folder = os.path.join(self.home, "it's here", 'bin')
        os.makedirs(folder)
        self.app = os.path.join(folder, 'vigilo-app')
        shutil.copy2(os.path.join(bin_dir(), 'vigilo-app'), self.app)
        self.env = {'HOME': self.home, 'PATH': '/usr/bin:/bin'}
        self.target = os.path.join(self.home, '.local', 'bin', 'vigilo')

    def run_app(self, *args, program=None):
        return subprocess.run([program or self.app, *args], env=self.env, capture_output=True, text=True,
                              timeout=10)

    def test_user_install_runs_the_app_and_uninstall_removes_it(self):
        done = self.run_app('--install-cli', 'user')
        self.assertEqual((done.returncode, done.stdout), (0, 'Installed to %s\n' % self.target))
        self.assertEqual(stat.S_IMODE(os.stat(self.target).st_mode), 0o755)
        self.assertEqual(self.run_app('--version', program=self.target).stdout, 'vigilo 1.0.0\n')

        removed = self.run_app('--install-cli', 'uninstall')
        self.assertEqual((removed.returncode, removed.stdout), (0, 'Removed: %s\n' % self.target))
        again = self.run_app('--install-cli', 'uninstall')
        self.assertEqual((again.returncode, again.stderr), (1, 'Nothing was installed.\n'))

    def test_the_wrapper_passes_every_argument_and_outlives_its_program_with_a_word(self):
        self.assertEqual(self.run_app('--install-cli', 'user').returncode, 0)
        with open(self.target) as script:
            text = script.read()
        self.assertTrue(text.endswith('\n'), text)
        self.assertNotIn('Vigilo.app', text)
        # The program the wrapper names, now one that shows what it was given.
        os.remove(self.app)
        with open(self.app, 'w') as program:
            program.write('#!/bin/sh\nfor word in "$@"; do printf "[%s]" "$word"; done\n')
        os.chmod(self.app, 0o755)
        cases = [
            ('no arguments', [], '[--cli]'),
            ('spaces kept', ['status', 'two  words'], '[--cli][status][two  words]'),
            ('quotes and dollars', ['it\'s', '"$HOME"', '$(id)', '`id`'], '[--cli][it\'s]["$HOME"][$(id)][`id`]'),
            ('globs, a newline, an empty word', ['*', 'a\nb', ''], '[--cli][*][a\nb][]'),
            ('options of its own', ['--', '-x', '--cli'], '[--cli][--][-x][--cli]'),
        ]
        for name, args, shown in cases:
            with self.subTest(name):
                done = subprocess.run([self.target, *args], env=self.env, capture_output=True, text=True, timeout=10,
                                      cwd=self.home)
                self.assertEqual((done.returncode, done.stdout, done.stderr), (0, shown, ''))

        os.remove(self.app)
        gone = subprocess.run([self.target, 'status'], env=self.env, capture_output=True, text=True, timeout=10)
        self.assertEqual((gone.returncode, gone.stdout, gone.stderr),
                         (127, '', 'Vigilo is no longer installed at %s; remove %s.\n' % (self.app, self.target)))

    def helper_root(self):
        root = os.path.realpath(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, root, True)
        self.env.update(VIGILO_TEST_HELPER=os.path.join(bin_dir(), 'vigilo-helper-test'), VIGILO_HELPER_TEST_ROOT=root)
        return root, os.path.join(root, 'usr', 'local', 'bin', 'vigilo')

    def test_system_install_needs_vigilo_installed_by_the_administrator(self):
        root, wrapper = self.helper_root()
        administrators = os.path.join(root, 'usr', 'bin', 'vigilo-app')
        os.makedirs(os.path.dirname(administrators))
        shutil.copy2(self.app, administrators)
        cases = [
            ("a person's own copy", self.app, 1, '',
             'The system-wide command needs Vigilo installed by an administrator; use the per-user command instead.\n'),
            ("the administrator's", administrators, 0, 'Installed to %s\n' % wrapper, ''),
        ]
        for name, program, status, stdout, stderr in cases:
            with self.subTest(name):
                done = self.run_app('--install-cli', 'system', program=program)
                self.assertEqual((done.returncode, done.stdout, done.stderr), (status, stdout, stderr))
                self.assertEqual(os.path.exists(wrapper), status == 0)
        self.assertEqual(self.run_app('--version', program=wrapper).stdout, 'vigilo 1.0.0\n')
        removed = self.run_app('--install-cli', 'uninstall')
        self.assertEqual((removed.returncode, removed.stdout), (0, 'Removed: %s\n' % wrapper))
        self.assertFalse(os.path.exists(wrapper))

    def test_uninstall_tells_why_the_system_command_stays(self):
        _, wrapper = self.helper_root()
        os.makedirs(os.path.dirname(wrapper))
        with open(wrapper, 'w') as theirs:
            theirs.write('#!/bin/sh\necho mine\n')
        refused = '%s was not installed by Vigilo; left as it is.\n' % wrapper
        cases = [
            ('the system command alone', False, refused),
            ('after the per-user one', True, 'Removed: %s\n%s' % (self.target, refused)),
        ]
        for name, user_installed, stderr in cases:
            with self.subTest(name):
                if user_installed:
                    self.assertEqual(self.run_app('--install-cli', 'user').returncode, 0)
                done = self.run_app('--install-cli', 'uninstall')
                self.assertEqual((done.returncode, done.stdout, done.stderr), (1, '', stderr))
                self.assertFalse(os.path.exists(self.target))
                with open(wrapper) as theirs:
                    self.assertEqual(theirs.read(), '#!/bin/sh\necho mine\n')

    def test_usage_errors(self):
        for args in (['--install-cli'], ['--install-cli', 'everywhere'], ['--bogus']):
            done = self.run_app(*args)
            self.assertEqual(done.returncode, 2, args)
            self.assertIn('Usage: vigilo-app', done.stderr)
        self.assertFalse(os.path.exists(self.target))


if __name__ == '__main__':
    unittest.main()
