'''The tray taking over from the headless daemon carries on with what the
person started there: the same mode, the timer's end unchanged, and the
computer never left without a keep-awake lock for more than a second (the
logind mock is watched throughout). Xvfb and a panel's watcher, as in
test_tray.'''

import json
import os
import re
import shutil
import subprocess
import threading
import time
import unittest

from test_tray import REASON, TrayHostTestCase

JOB = 'vigilo-e2e-job'  # a workload Auto Mode is told to watch


class LockWatch:
    '''Polls logind's inhibitors and keeps the longest stretch without ours.'''

    def __init__(self, bus):
        self.bus = bus
        self.longest_gap = 0.0
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    def held(self):
        return any(row[2] == REASON for row in self.bus.logind_inhibitors())

    def run(self):
        gap_since = None
        while not self.stopping.is_set():
            now = time.monotonic()
            if self.held():
                if gap_since is not None:
                    self.longest_gap = max(self.longest_gap, now - gap_since)
                gap_since = None
            elif gap_since is None:
                gap_since = now
            time.sleep(0.005)
        if gap_since is not None:
            self.longest_gap = max(self.longest_gap, time.monotonic() - gap_since)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *_):
        self.stopping.set()
        self.thread.join()


class HandOver(TrayHostTestCase):

    def setUp(self):
        super().setUp()
        folder = os.path.join(self.home, 'config', 'Vigilo')
        os.makedirs(folder)
        with open(os.path.join(folder, 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump({'watchPatterns': [JOB], 'pollInterval': 1, 'useCpuDetection': False,
                       'hasCompletedOnboarding': True}, f)

    def run_job(self):
        job = os.path.join(self.home, JOB)
        shutil.copy(shutil.which('sleep'), job)
        process = subprocess.Popen([job, '600'])
        self.addCleanup(lambda: (process.kill(), process.wait()))

    def status(self):
        result = self.vigilo('status', '--json')
        self.assertEqual(result.returncode, 0, result.stderr)
        return json.loads(result.stdout)

    def holding(self):
        return any(row[2] == REASON for row in self.bus.logind_inhibitors())

    def seconds_left(self):
        '''The timer's time left as the tray's menu shows it ("9m 58s left").'''
        for label in self.menu_labels():
            found = re.search(r'(?:(\d+)h )?(?:(\d+)m )?(\d+)s left', label)
            if found:
                hours, minutes, seconds = (int(part or 0) for part in found.groups())
                return hours * 3600 + minutes * 60 + seconds
        return None

    def hand_over(self, *command):
        """The daemon runs `command`, then the tray starts; the statuses before
        and after, the longest stretch without a lock, the tray, and when the
        command ran (monotonic)."""
        daemon = self.start_application('--headless')
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 15, 'the daemon did not answer')
        commanded = time.monotonic()
        self.assertEqual(self.vigilo(*command).returncode, 0)
        self.wait_until(self.holding, 10, 'the daemon took no keep-awake lock')
        before = self.status()
        with LockWatch(self.bus) as watch:
            tray = self.start_application()
            self.assertEqual(daemon.wait(timeout=15), 0, self.read_log())
            self.wait_until(lambda: self.vigilo('status').returncode == 0, 15, 'the tray did not answer')
            self.wait_until(self.holding, 5, 'the tray took no keep-awake lock')
            time.sleep(0.1)  # the watch sees the lock settled
        return before, self.status(), watch.longest_gap, tray, commanded

    def test_each_mode_the_daemon_had_is_the_trays_with_at_most_a_second_unguarded(self):
        cases = ((('start',), 'Awake On'), (('timer', '600'), 'Timer Active'), (('autowatch', 'on'), 'Auto Mode'))
        self.run_job()
        for command, mode in cases:
            with self.subTest(command=command):
                before, after, gap, tray, commanded = self.hand_over(*command)
                log = self.read_log()
                self.assertEqual((before['mode'], after['mode']), (mode, mode), log)
                self.assertTrue(after['assertionActive'])
                self.assertLessEqual(gap, 1.0, log)
                self.assertIn('Handing over to the tray: ', log)
                self.assertIn('Resumed from the daemon: ', log)
                if mode == 'Timer Active':
                    self.wait_until(lambda: self.seconds_left() is not None, 5, 'no time left in the menu')
                    expected = 600 - (time.monotonic() - commanded)
                    self.assertAlmostEqual(self.seconds_left(), expected, delta=2)
                self.stop_application(tray)
                os.truncate(self.log, 0)


if __name__ == '__main__':
    unittest.main()
