'''`vigilo -- <command>` on a private system bus with dbusmock's logind: the
command runs through the login shell while an idle block lock is held.'''

import json
import os
import subprocess
import sys
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

    def test_two_words_or_more_arrive_as_typed(self):
        show = [sys.executable, '-c', 'import json, sys; print(json.dumps(sys.argv[1:]))']
        for words in (['python', 'train.py', '--name', 'exp 1'], ['a  b', '', 'c'], ['$HOME', '${PATH}', '~'],
                      ['*', '[a-z]*', '?'], ['"q"', "'q'", '\\', '`id`', '$(id)'], ['line\nbreak', '\ttab'],
                      [';', '&&', '|', '>', '#', '-n'], ['\u00e9t\u00e9']):
            with self.subTest(words=words):
                result = self.wrap(*show, *words)
                self.assertEqual((result.returncode, result.stderr), (0, ''))
                self.assertEqual(json.loads(result.stdout), words)

    def test_the_status_and_output_are_the_commands_own(self):
        cases = (
            (('sh', '-c', 'exit 7'), 7, ''),
            (('printf', '[%s]\n', 'a  b'), 0, '[a  b]\n'),
            (('echo', '$HOME'), 0, '$HOME\n'),
            (('printf', '%s|', 'x', '', 'y'), 0, 'x||y|'),
            (('sh', '-c', 'kill -TERM $$'), 128 + 15, ''),
            # One word is shell text: pipes, lists and variables work.
            (('printf "a\nb\n" | wc -l',), 0, '2\n'),
            (('true && echo yes; exit 3',), 3, 'yes\n'),
            (('echo $((6 * 7))',), 0, '42\n'),
        )
        for words, status, output in cases:
            with self.subTest(words=words):
                result = self.wrap(*words)
                self.assertEqual((result.returncode, result.stdout), (status, output), result.stderr)

    def test_the_lock_is_named_after_the_words_joined(self):
        with subprocess.Popen([vigilo(), '--', 'sh', '-c', 'sleep 1; exit 7'], env=self.bus.env) as wrapped:
            self.wait_until(lambda: self.bus.logind_inhibitors() or wrapped.poll() is not None,
                            message='no inhibitor while the command ran')
            self.assertEqual([row[2] for row in self.bus.logind_inhibitors()], ['vigilo: sh -c sleep 1; exit 7'])
            self.assertEqual(wrapped.wait(timeout=30), 7)

    def test_bad_input_is_a_usage_error_or_runs_never_a_crash(self):
        big = 'x' * (100 * 1024)
        for words in ((), ('',), (' ',), ('', 'echo')):
            with self.subTest(words=words):
                result = self.wrap(*words)
                self.assertEqual((result.returncode, result.stdout), (2, ''))
                self.assertIn('Usage: vigilo -- <command> [args...]', result.stderr)
        text = self.wrap('true # ' + big)
        self.assertEqual(text.returncode, 0, text.stderr[:200])
        vector = self.wrap('printf', '%s', big)
        self.assertEqual((vector.returncode, len(vector.stdout)), (0, len(big)), vector.stderr[:200])
        self.wait_until(lambda: not self.bus.logind_inhibitors(), message='an inhibitor was left behind')

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
