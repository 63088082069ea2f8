'''The shortcut actions on a private session bus, against the headless daemon.'''

import json

import dbus

from test_daemon import DaemonTestCase

SHORTCUTS = ('com.vigilo.app', '/com/vigilo/app', 'com.vigilo.app.Shortcuts')


class ShortcutActions(DaemonTestCase):

    def action(self, method):
        return self.bus.call(False, *SHORTCUTS, method)

    def mode(self):
        return json.loads(self.vigilo('status', '--json').stdout)['mode']

    def test_the_five_actions_keep_to_the_state_they_find(self):
        self.bus.wait_for_name(SHORTCUTS[0], system_bus=False)
        self.assertTrue(self.action('GetStatus').startswith('Awake Off'))
        self.action('StartKeepAwake')
        self.assertEqual(self.mode(), 'Awake On')
        self.assertTrue(self.action('GetStatus').startswith('Awake On'))
        self.assertTrue(self.our_locks())

        self.vigilo('timer', '600')
        self.action('StartKeepAwake')
        self.assertEqual(self.mode(), 'Timer Active')
        self.action('StopKeepAwake')
        self.assertEqual(self.mode(), 'Awake Off')
        self.wait_until(lambda: not self.our_locks(), message='lock kept after the stop action')
        self.action('StopKeepAwake')
        self.assertEqual(self.mode(), 'Awake Off')

        self.action('ToggleAIWorkloadMode')
        self.assertEqual(self.mode(), 'Auto Mode')
        self.action('ToggleAIWorkloadMode')
        self.assertEqual(self.mode(), 'Awake Off')

        self.action('OpenDashboard')  # nothing to open without the tray, and no error
        self.assertIsNone(self.daemon.poll())

    def test_another_program_cannot_take_the_name(self):
        self.bus.wait_for_name(SHORTCUTS[0], system_bus=False)
        other = dbus.bus.BusConnection(self.bus.addresses['session'])
        self.addCleanup(other.close)
        answer = other.request_name(SHORTCUTS[0], dbus.bus.NAME_FLAG_REPLACE_EXISTING | dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
        self.assertEqual(answer, dbus.bus.REQUEST_NAME_REPLY_EXISTS)
        self.assertTrue(self.action('GetStatus').startswith('Awake Off'))
