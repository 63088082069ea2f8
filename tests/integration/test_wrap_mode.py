'''`vigilo -- <command>` on a private system bus with dbusmock's logind: the
command runs through the login shell while an idle block lock is held.'''

import os
import subprocess
import time
import unittest

from mockbus import MockBusTestCase, bin_dir, no_bus_env


def vigilo():
    return os.path.join(bin_dir(), 'vigilo')


class WrapModeOnMockLogind(MockBusTestCase):
    SESSION_BUS = False

    def wrap(self, *words, env=None):
        return subprocess.run([vigilo(), '--', *words], env=env or self.bus.env, capture_output=True, text=True,
                              timeout=60, check=False)

    def test_holds_an_idle_lock_while_the_command_runs_and_passes_its_status_on(self):
        expected = ('idle', 'Vigilo', 'vigilo: sleep 1; exit 7', 'block')
        with subprocess.Popen([vigilo(), '--', 'sleep 1; exit 7'], env=self.bus.env) as wrapped:
            self.wait_until(lambda: self.bus.logind_inhibitors() or wrapped.poll() is not None,
                            message='no inhibitor while the command ran')
            held = [row[:4] for row in self.bus.logind_inhibitors()]
            self.assertEqual(held, [expected])
            self.assertEqual(wrapped.wait(timeout=30), 7)
        self.wait_until(lambda: not self.bus.logind_inhibitors(), message='the inhibitor outlived the command')

    def test_words_are_joined_with_spaces_and_split_again_by_the_shell(self):
        # Runs `sh -c exit 7`: "exit" is the script and 7 its $0, so 0.
        result = self.wrap('sh', '-c', 'exit 7')
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_failing_and_missing_commands(self):
        self.assertEqual(self.wrap('false').returncode, 1)
        missing = self.wrap('vigilo-test-no-such-command')
        self.assertEqual(missing.returncode, 127, missing.stderr)
        self.wait_until(lambda: not self.bus.logind_inhibitors(), message='an inhibitor was left behind')


class WrapModeWithoutBus(unittest.TestCase):

    def test_still_runs_the_command(self):
        start = time.monotonic()
        result = subprocess.run([vigilo(), '--', 'echo ran; exit 3'], env=no_bus_env(), capture_output=True,
                                text=True, timeout=60, check=False)
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertEqual(result.stdout, 'ran\n')
        self.assertLess(time.monotonic() - start, 5, 'a missing bus costs no waiting')


if __name__ == '__main__':
    unittest.main()
