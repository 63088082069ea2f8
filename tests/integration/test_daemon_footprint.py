'''The daemon on a session where a Secret Service can be started, as on
every GNOME desktop: without push or webhooks it never loads the online
module (libcurl, libsecret and what they pull in), not at start and not for
an alert; with a webhook kept in the keyring, the first alert reads it,
loads the module and reaches the endpoint.'''

import json
import os
import time
import unittest

import dbus

from secret_service import keyring_running, make_keyring_activatable, store_webhooks
from test_daemon import DaemonTestCase
from test_daemon_rules import NM, Receiver

ONLINE_LIBRARIES = ('libcurl', 'libsecret', 'libvigilo-online')


class IdleFootprint(DaemonTestCase):

    def setUp(self):
        super().setUp()
        if not make_keyring_activatable(self.bus, os.path.join(self.home, 'keyring')):
            raise unittest.SkipTest('gnome-keyring is not installed')
        self.bus.add_template('networkmanager', system_bus=True)

    def restart_daemon(self):
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        self.daemon = self.start_daemon()

    def online_libraries_mapped(self):
        with open(f'/proc/{self.daemon.pid}/maps', encoding='utf-8') as f:
            maps = f.read()
        return [name for name in ONLINE_LIBRARIES if name in maps]

    def lose_network(self):
        nm = dbus.Interface(self.bus.connection(True).get_object(*NM), 'org.freedesktop.DBus.Mock')
        nm.SetGlobalConnectionState(dbus.UInt32(20))

    def test_without_push_or_webhooks_the_online_module_is_never_loaded(self):
        self.restart_daemon()
        self.assertEqual(self.online_libraries_mapped(), [])
        self.assertFalse(keyring_running(self.bus))  # nothing asked it at start

        # The alert's webhooks ask the Secret Service, which starts for it and
        # holds nothing of ours: nothing more is loaded to be sure.
        self.lose_network()
        self.wait_until(lambda: keyring_running(self.bus), 10, 'the webhook settings were not looked for')
        self.assertEqual(self.vigilo('status').returncode, 0)
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            self.assertEqual(self.online_libraries_mapped(), [])
            time.sleep(0.05)

    def test_a_webhook_kept_in_the_keyring_is_read_at_the_first_alert(self):
        hooks = Receiver(self)
        store_webhooks(self.bus, {'genericEnabled': True, 'genericURL': hooks.url + '/hook'})
        self.restart_daemon()
        self.assertEqual(self.online_libraries_mapped(), [])

        self.lose_network()
        self.wait_until(lambda: hooks.received, 15, 'the webhook did not arrive')
        [(path, _, body)] = hooks.received
        self.assertEqual(path, '/hook')
        self.assertEqual(json.loads(body)['event'], 'networkLost')
        self.assertIn('libsecret', self.online_libraries_mapped())


if __name__ == '__main__':
    unittest.main()
