'''vigilo-app --install-cli end to end on a temporary home: it answers before
anything starts, and the wrapper it writes runs the executable it names, also
from a folder whose name holds a single quote. The system-wide command goes
through the test build of the privileged helper (VIGILO_TEST_HELPER) on a
scratch tree (VIGILO_HELPER_TEST_ROOT) whose owner stands for root.'''

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

    def test_system_install_needs_vigilo_installed_by_the_administrator(self):
        root = os.path.realpath(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, root, True)
        administrators = os.path.join(root, 'usr', 'bin', 'vigilo-app')
        os.makedirs(os.path.dirname(administrators))
        shutil.copy2(self.app, administrators)
        self.env.update(VIGILO_TEST_HELPER=os.path.join(bin_dir(), 'vigilo-helper-test'), VIGILO_HELPER_TEST_ROOT=root)
        wrapper = os.path.join(root, 'usr', 'local', 'bin', 'vigilo')
        cases = [
            ("a person's own copy", self.app, 1, '',
             'The system-wide command needs Vigilo installed by an administrator; use the per-user command instead.\n'),
            ("the administrator's", administrators, 0, 'Installed to /usr/local/bin/vigilo\n', ''),
        ]
        for name, program, status, stdout, stderr in cases:
            with self.subTest(name):
                done = self.run_app('--install-cli', 'system', program=program)
                self.assertEqual((done.returncode, done.stdout, done.stderr), (status, stdout, stderr))
                self.assertEqual(os.path.exists(wrapper), status == 0)
        self.assertEqual(self.run_app('--version', program=wrapper).stdout, 'vigilo 1.0.0\n')

    def test_usage_errors(self):
        for args in (['--install-cli'], ['--install-cli', 'everywhere'], ['--bogus']):
            done = self.run_app(*args)
            self.assertEqual(done.returncode, 2, args)
            self.assertIn('Usage: vigilo-app', done.stderr)
        self.assertFalse(os.path.exists(self.target))


if __name__ == '__main__':
    unittest.main()
