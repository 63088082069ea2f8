'''Many clients on the socket at once: the running daemon serves them side by
side, and the command line says so when an application takes its request but
never answers.'''

import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from mockbus import bin_dir, no_bus_env
from test_daemon import DaemonTestCase

MAX_CONNECTIONS = 32
DEADLINE = 5.0
NOT_IN_TIME = 'The running Vigilo did not answer in time.\n'


class ClientsSideBySide(DaemonTestCase):

    def connect(self, timeout=DEADLINE * 2):
        client = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(client.close)
        client.connect(self.socket)  # blocking: waits while the daemon's queue is full
        client.settimeout(timeout)
        return client

    def timed_status(self):
        began = time.monotonic()
        result = self.vigilo('status')
        return result, time.monotonic() - began

    def test_idle_clients_hold_nobody_up_and_the_one_past_the_limit_is_closed_at_once(self):
        idle = [self.connect() for _ in range(MAX_CONNECTIONS - 1)]
        opened = time.monotonic()
        result, took = self.timed_status()  # the 32nd client
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLess(took, 2, 'the status waited for the idle clients')

        idle.append(self.connect())  # taken in before the next: the queue is first come, first served
        refused = self.connect(timeout=2)
        self.assertEqual(refused.recv(100), b'', 'the 33rd client was not closed at once')

        for client in idle[:MAX_CONNECTIONS - 1]:  # closed unanswered at their deadline
            self.assertEqual(client.recv(100), b'')
        self.assertGreater(time.monotonic() - opened, DEADLINE - 0.5)
        result, took = self.timed_status()
        self.assertEqual(result.returncode, 0, result.stderr)


class ApplicationThatNeverAnswers(unittest.TestCase):
    '''A listener at the socket's place that takes every client in and says
    nothing, as a running application stuck in a long call would.'''

    def setUp(self):
        self.home = tempfile.mkdtemp(prefix='vigilo-home-')
        self.addCleanup(shutil.rmtree, self.home, ignore_errors=True)
        runtime = os.path.join(self.home, 'run')
        os.mkdir(runtime, 0o700)
        self.env = dict(no_bus_env(), HOME=self.home, XDG_RUNTIME_DIR=runtime)
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(self.listener.close)
        self.addCleanup(self.listener.shutdown, socket.SHUT_RDWR)  # ends the accepting thread
        self.listener.bind(os.path.join(runtime, f'vigilo-{os.getuid()}.sock'))
        self.listener.listen(4)
        self.taken = []
        threading.Thread(target=self.take_clients, daemon=True).start()

    def take_clients(self):
        try:
            while True:
                self.taken.append(self.listener.accept()[0])
        except OSError:
            pass  # closed at the end of the test

    def tearDown(self):
        for client in self.taken:
            client.close()

    def test_the_command_line_says_the_application_did_not_answer_in_time(self):
        began = time.monotonic()
        result = subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'status'], env=self.env, capture_output=True,
                                text=True, timeout=30, check=False)
        self.assertEqual((result.returncode, result.stdout, result.stderr), (1, '', NOT_IN_TIME))
        self.assertGreater(time.monotonic() - began, DEADLINE - 0.5)
        self.assertEqual(len(self.taken), 1)


if __name__ == '__main__':
    unittest.main()
