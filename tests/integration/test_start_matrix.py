'''A second launch of vigilo-app, tray or headless, meets the running
instance of either kind; Xvfb, and no tray host, as in test_tray.'''

import json
import os
import socket
import subprocess
import unittest

from mockbus import bin_dir
from test_tray import TrayTestCase


class StartMatrix(TrayTestCase):

    def ask(self, cmd):
        with socket.socket(socket.AF_UNIX) as s:
            s.settimeout(5)
            s.connect(self.socket)
            s.sendall(json.dumps({'cmd': cmd}).encode() + b'\n')
            s.shutdown(socket.SHUT_WR)
            return json.loads(s.makefile().read())

    def start_answering(self, *args):
        app = self.start_application(*args)
        self.wait_until(lambda: self.vigilo('status').returncode == 0 or app.poll() is not None, 15,
                        'the application did not answer')
        self.assertIsNone(app.poll(), self.read_log())
        return app

    def second_launch(self, *args):
        with open(self.log, 'ab') as log:
            return subprocess.run([os.path.join(bin_dir(), 'vigilo-app'), *args], env=self.env,
                                  stdout=subprocess.DEVNULL, stderr=log, timeout=20, check=False).returncode

    def status_window_viewable(self):
        info = subprocess.run(['xwininfo', '-display', self.env['DISPLAY'], '-name', 'Vigilo Status'],
                              capture_output=True, text=True, check=False)
        return 'IsViewable' in info.stdout

    def test_tray_then_tray_shows_the_status_window(self):
        app = self.start_answering()
        self.assertEqual(self.ask('role'), {'ok': True, 'role': 'tray'})
        self.assertFalse(self.status_window_viewable())
        self.assertEqual(self.second_launch(), 0)
        self.wait_until(self.status_window_viewable, 5, 'the status window did not open')
        self.assertIsNone(app.poll())
        self.stop_application(app)

    def test_headless_then_tray_takes_over(self):
        daemon = self.start_answering('--headless')
        self.assertEqual(self.ask('role'), {'ok': True, 'role': 'headless'})
        self.assertFalse(self.ask('showStatus')['ok'])
        tray = self.start_application()
        self.assertEqual(daemon.wait(timeout=15), 0)
        self.wait_until(lambda: self.vigilo('status').returncode == 0, 15, 'the tray did not answer')
        self.assertIsNone(tray.poll())
        self.assertEqual(self.ask('role')['role'], 'tray')
        self.assertIn('Handing over to the tray: off', self.read_log())
        self.stop_application(tray)

    def test_a_headless_launch_leaves_the_tray_with_status_0_and_a_headless_one_with_1(self):
        for running, expected in (((), 0), (('--headless',), 1)):
            with self.subTest(running=running):
                app = self.start_answering(*running)
                self.assertEqual(self.second_launch('--headless'), expected)
                self.assertIn('Vigilo is already running', self.read_log())
                self.assertIsNone(app.poll())
                self.stop_application(app)


if __name__ == '__main__':
    unittest.main()
