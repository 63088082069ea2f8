'''The daemon with session services that start after it: a notification
server that comes up later.'''

from test_daemon import DaemonTestCase


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


if __name__ == '__main__':
    import unittest
    unittest.main()
