'''The command line's own work against the headless daemon: timers in hours,
minutes and seconds.'''

import unittest

from test_daemon import DaemonTestCase


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
