'''The shortcut actions on a private session bus, against the headless daemon.'''

import json
import os
import signal

import dbus

from mockbus import bin_dir
from test_daemon import DaemonTestCase

SHORTCUTS = ('com.vigilo.app', '/com/vigilo/app', 'com.vigilo.app.Shortcuts')


class ShortcutsTestCase(DaemonTestCase):

    def action(self, method):
        return self.bus.call(False, *SHORTCUTS, method)

    def mode(self):
        return json.loads(self.vigilo('status', '--json').stdout)['mode']


class ShortcutActions(ShortcutsTestCase):

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


class ShortcutActivation(ShortcutsTestCase):
    '''Nothing runs yet: the bus starts Vigilo from its service file.'''

    def start_daemon(self):
        passed = ' '.join(f'{name}={self.env[name]}' for name in (
            'HOME', 'XDG_RUNTIME_DIR', 'XDG_CONFIG_HOME', 'XDG_DATA_HOME', 'DBUS_SYSTEM_BUS_ADDRESS',
            'DBUS_SESSION_BUS_ADDRESS'))
        with open(os.path.join(self.bus.service_folder(False), 'com.vigilo.app.service'), 'w', encoding='utf-8') as f:
            f.write('[D-BUS Service]\nName=com.vigilo.app\n'
                    f'Exec=/usr/bin/env -u DISPLAY -u WAYLAND_DISPLAY {passed} {bin_dir()}/vigilo-app --headless\n')
        self.addCleanup(self.stop_activated)
        return None

    def stop_activated(self):
        bus = self.bus.connection(False)
        if not bus.name_has_owner(SHORTCUTS[0]):
            return
        pid = int(self.bus.call(False, 'org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                                'GetConnectionUnixProcessID', SHORTCUTS[0]))
        os.kill(pid, signal.SIGTERM)
        self.wait_until(lambda: not bus.name_has_owner(SHORTCUTS[0]), message='the started daemon did not end')

    def test_an_action_starts_vigilo_first(self):
        self.assertNotEqual(self.vigilo('status').returncode, 0)
        self.action('StartKeepAwake')
        self.assertEqual(self.mode(), 'Awake On')
