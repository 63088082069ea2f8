'''The daemon with session services that start after it or never answer: a
notification server that comes up later, a Secret Service that hangs.'''

import os
import subprocess
import time

from mockbus import PYTHON
from test_daemon import DaemonTestCase

SECRETS = ('org.freedesktop.secrets', '/org/freedesktop/secrets', 'org.freedesktop.Secret.Service')


def read_text(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


class SessionServices(DaemonTestCase):

    def restart_daemon(self, before_start):
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        before_start()
        self.daemon = self.start_daemon()

    def test_a_notification_server_that_starts_later_gets_the_next_notification(self):
        # As at login, where the user unit starts before any notification
        # server (and dunst or mako start only on demand).
        def without_server():
            self.notification_server.terminate()
            self.notification_server.wait(timeout=10)
        self.restart_daemon(without_server)
        self.assertEqual(self.vigilo('notify', 'Early', 'lost').returncode, 0)
        self.bus.add_template('notification_daemon', system_bus=False)
        self.assertEqual(self.vigilo('notify', 'Later', 'shown').returncode, 0)
        self.wait_until(lambda: ('Later', 'shown') in [n[:2] for n in self.notifications()], 5,
                        'the notification did not arrive')

    def test_a_secret_service_that_never_answers_does_not_hold_up_the_socket(self):
        def hanging_secret_service():
            calls = os.path.join(self.home, 'secrets-calls.log')
            mock = subprocess.Popen([PYTHON, '-m', 'dbusmock', '--session', '-l', calls, *SECRETS],
                                    env=self.bus.env, stdout=subprocess.DEVNULL)
            self.addCleanup(mock.wait)
            self.addCleanup(mock.terminate)
            self.bus.wait_for_name(SECRETS[0], False, mock)
            self.bus.mock_interface(False, *SECRETS[:2]).AddMethod('', 'Hang', '', '', 'import time; time.sleep(60)')
            # Called with a reply expected (dbusmock runs nothing else), and
            # not waited for: the mock's only thread sleeps from then on.
            caller = subprocess.Popen(['dbus-send', '--session', '--print-reply', '--reply-timeout=60000',
                                       '--dest=' + SECRETS[0], SECRETS[1], SECRETS[2] + '.Hang'],
                                      env=self.bus.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.addCleanup(caller.wait)
            self.addCleanup(caller.kill)
            self.wait_until(lambda: 'Hang' in read_text(calls), 5, 'the mock did not start hanging')
        started = time.monotonic()
        self.restart_daemon(hanging_secret_service)
        # The lookup gives up after 2 seconds and the webhooks stay off.
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(self.vigilo('status').returncode, 0)


if __name__ == '__main__':
    import unittest
    unittest.main()
