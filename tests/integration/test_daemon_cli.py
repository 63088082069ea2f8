'''The command line's own work against the headless daemon: tasks of one name
told apart by pid and command line, and timers in hours, minutes and seconds.'''

import json
import os
import shutil
import subprocess
import tempfile
import unittest

from test_daemon import DaemonTestCase


class TasksToldApart(DaemonTestCase):

    def start_ollama(self, *args):
        '''A stand-in for the watched tool: sleep under the watched name.'''
        folder = tempfile.mkdtemp(prefix='vigilo-ollama-')
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        program = os.path.join(folder, 'ollama')
        shutil.copy('/bin/sleep', program)
        child = subprocess.Popen([program, *args])
        self.addCleanup(child.wait)
        self.addCleanup(child.kill)
        return child

    def test_each_task_has_a_line_with_its_pid_command_and_activity(self):
        first = self.start_ollama('300', '1m')
        second = self.start_ollama('301')
        self.assertEqual(self.vigilo('autowatch', 'on').returncode, 0)
        self.wait_until(lambda: 'Tasks:      ollama, ollama\n' in self.vigilo('status').stdout, 10,
                        'the two tasks were not listed')

        lines = self.vigilo('status').stdout.splitlines()
        details = lines[lines.index('Tasks:      ollama, ollama') + 1:]
        self.assertEqual(sorted(line.split(' \u2014 ')[0] for line in details),
                         sorted([f'  ollama (pid {first.pid}) 300 1m', f'  ollama (pid {second.pid}) 301']))
        for line in details:
            self.assertRegex(line, r' \u2014 (busy|idle \d+ s)$')

        reply = json.loads(self.vigilo('status', '--json').stdout)
        self.assertEqual(reply['tasks'], ['ollama', 'ollama'])
        self.assertEqual(sorted((task['pid'], task['command'].split(' ', 1)[1]) for task in reply['taskDetails']),
                         sorted([(first.pid, '300 1m'), (second.pid, '301')]))
        self.assertEqual(reply['patterns'], ['ollama'])


class TimerDurations(DaemonTestCase):

    def test_units_run_the_timer_and_a_year_is_the_most(self):
        for word, told in (('1h30m', ''), ('45s', ''), ('99999999h', 'Timer capped at one year.\n')):
            with self.subTest(word=word):
                result = self.vigilo('timer', word)
                self.assertEqual((result.returncode, result.stdout, result.stderr), (0, 'mode: Timer Active\n', told))
        self.assertEqual(self.vigilo('stop').returncode, 0)

    def test_other_forms_are_usage_errors_that_change_nothing(self):
        for word in ('1h1h', '-5m', '1.5h', '', '99999999999999999999h', '0'):
            with self.subTest(word=word):
                result = self.vigilo('timer', word)
                self.assertEqual(result.returncode, 2)
                self.assertIn('Usage: vigilo timer <duration>', result.stderr)
        self.assertTrue(self.vigilo('status').stdout.startswith('Mode:       Awake Off\n'))


if __name__ == '__main__':
    unittest.main()
