'''What a launch of the headless daemon takes up from the run before: Auto Mode
when the person left it on, never a plain keep-awake or a timer; and what it
says about a computer without sensors. The real daemon, restarted with SIGTERM
as systemd does at logout and login, over a system root laid out like / with
no sensor at all (or one thermal zone).'''

import os
import shutil
import signal
import subprocess
import tempfile
import unittest

from test_daemon import DaemonTestCase

SENSORS_ABSENT = 'No fan or temperature sensors found; fan presets are unavailable.'


class LaunchTakesUp(DaemonTestCase):

    def start_daemon(self):
        if not hasattr(self, 'root'):
            self.root = os.path.realpath(tempfile.mkdtemp(prefix='vigilo-root-'))
            self.addCleanup(shutil.rmtree, self.root, True)
            self.env.update(VIGILO_TEST_ROOT=self.root)
        return super().start_daemon()

    def restart(self):
        self.daemon.send_signal(signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.daemon = self.start_daemon()

    def status(self):
        return self.vigilo('status').stdout.splitlines()

    def log(self):
        with open(os.path.join(self.home, 'daemon.log'), encoding='utf-8', errors='replace') as f:
            return f.read()

    def test_auto_mode_is_on_again_after_a_restart_and_nothing_else_is(self):
        cases = (
            ('autowatch on', [['autowatch', 'on']], 'Auto Mode'),
            ('and after the next restart too', [], 'Auto Mode'),
            ('start', [['start']], 'Awake Off'),
            ('timer', [['autowatch', 'on'], ['timer', '600']], 'Awake Off'),
            ('autowatch off', [['autowatch', 'on'], ['autowatch', 'off']], 'Awake Off'),
            ('stop', [['autowatch', 'on'], ['stop']], 'Awake Off'),
        )
        for name, commands, mode in cases:
            with self.subTest(name):
                for words in commands:
                    self.assertEqual(self.vigilo(*words).returncode, 0, words)
                self.restart()
                self.assertEqual(self.status()[0], f'Mode:       {mode}')

    def test_the_resumed_auto_mode_keeps_awake_for_a_watched_task(self):
        folder = tempfile.mkdtemp(prefix='vigilo-ollama-')
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        ollama = os.path.join(folder, 'ollama')
        shutil.copy('/bin/sleep', ollama)
        self.assertEqual(self.vigilo('autowatch', 'on').returncode, 0)
        self.restart()
        self.assertEqual(self.our_locks(), [])
        child = subprocess.Popen([ollama, '300'])
        self.addCleanup(child.wait)
        self.addCleanup(child.kill)
        self.wait_until(self.our_locks, 10, 'the resumed Auto Mode did not keep awake for ollama')

    def test_a_computer_without_sensors_says_unknown_and_logs_it_once_at_info(self):
        self.assertIn('Thermal:    unknown', self.status())
        log = self.log()
        self.assertEqual(log.count(SENSORS_ABSENT), 1, log)
        self.assertIn(f'vigilo[SMC]: {SENSORS_ABSENT}', log, 'at info, not as an error')
        self.assertNotIn('SMC service not found', log)

        zone = os.path.join(self.root, 'sys', 'class', 'thermal', 'thermal_zone0')
        os.makedirs(zone)
        with open(os.path.join(zone, 'temp'), 'w', encoding='utf-8') as f:
            f.write('40000\n')
        self.restart()
        self.assertIn('Thermal:    Normal', self.status())


if __name__ == '__main__':
    unittest.main()
