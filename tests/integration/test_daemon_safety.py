'''The daemon's safety reactions end to end: a mock UPower battery that runs
down, the phone push that tells of it at a local HTTP server, logind's
Suspend, and closed-lid mode taken by a rule with its crash guard.'''

import json
import os
import signal

import dbus

from mockbus import LOGIND
from test_daemon import DaemonTestCase
from test_daemon_rules import Receiver

UPOWER = ('org.freedesktop.UPower', '/org/freedesktop/UPower')
DISPLAY_DEVICE = '/org/freedesktop/UPower/devices/DisplayDevice'
LID_REASON = 'Vigilo keeping the computer running with the lid closed'
CLAMSHELL_RULE = {'id': '3B9A6C2E-8D41-4F0A-B7E5-1C2D3E4F5A6B', 'name': 'lid', 'isEnabled': True,
                  'conditions': [{'batteryBelow': {'percent': 40}}], 'actions': [{'startClamshell': {}}],
                  'cooldownSeconds': 0, 'isBuiltIn': False, 'createdAt': 800000000, 'updatedAt': 800000000}


class SafetyReactions(DaemonTestCase):

    def setUp(self):
        super().setUp()
        self.daemon.terminate()
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        upower = self.bus.connection(True).get_object(*UPOWER)
        upower.Set('org.freedesktop.UPower', 'OnBattery', dbus.Boolean(True), dbus_interface=dbus.PROPERTIES_IFACE)
        self.upower = dbus.Interface(upower, 'org.freedesktop.DBus.Mock')
        # type battery, state discharging, 50 %, present
        self.upower.SetupDisplayDevice(2, 2, 50.0, 50.0, 100.0, 10.0, 3600, 0, True, 'battery-good-symbolic', 1)
        self.push = Receiver(self)

    def start_with(self, preferences, rules=None):
        with open(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'), 'w', encoding='utf-8') as f:
            json.dump(dict({'watchPatterns': ['ollama'], 'pushProvider': 'ntfy', 'ntfyTopic': 'safety',
                            'ntfyServer': self.push.url}, **preferences), f)
        if rules is not None:
            os.makedirs(self.data_folder(), exist_ok=True)
            with open(os.path.join(self.data_folder(), 'rules.json'), 'w', encoding='utf-8') as f:
                json.dump(rules, f)
        self.daemon = self.start_daemon()

    def data_folder(self):
        return os.path.join(self.home, 'data', 'Vigilo')

    def set_battery(self, percent):
        self.upower.SetDeviceProperties(DISPLAY_DEVICE, {'Percentage': dbus.Double(percent, variant_level=1)})

    def pushes(self):
        return [(headers.get('Title'), body) for _, headers, body in self.push.received]

    def wait_for_push(self, title):
        self.wait_until(lambda: title in [t for t, _ in self.pushes()], 10, f'no push "{title}"')
        return next(body for t, body in self.pushes() if t == title)

    def suspend_calls(self):
        calls = self.bus.mock_interface(True, *LOGIND[:2]).GetCalls()
        return [[bool(arg) for arg in args] for _, method, args in calls if method == 'Suspend']

    def lid_locks(self):
        return [row[:4] for row in self.bus.logind_inhibitors() if row[2] == LID_REASON]

    def test_falling_battery_stops_keep_awake_and_says_so(self):
        self.start_with({})
        self.assertEqual(self.vigilo('start').returncode, 0)
        self.assertTrue(self.our_locks())
        self.set_battery(15.0)
        self.assertEqual(self.wait_for_push('Vigilo stopped'), 'Battery is at 15%. Plug in to keep going.')
        self.wait_until(lambda: not self.our_locks(), 5, 'the keep-awake lock outlived the auto-stop')
        self.assertTrue(self.vigilo('status').stdout.startswith('Mode:       Awake Off'))
        self.assertEqual(self.suspend_calls(), [])

    def test_below_a_lowered_auto_stop_the_escalation_warns_then_suspends(self):
        # Overlapping levels are pushed apart: force-sleep 3, critical 4, warn 9.
        self.start_with({'batteryThreshold': 2, 'warnBatteryThreshold': 9, 'criticalBatteryThreshold': 2})
        self.assertEqual(self.vigilo('start').returncode, 0)
        self.set_battery(9.0)
        self.assertEqual(self.wait_for_push('Battery low'),
                         '9% left. Vigilo will sleep the computer if it keeps dropping.')
        self.assertTrue(self.our_locks())
        self.assertEqual(self.suspend_calls(), [])
        self.set_battery(3.0)
        self.wait_until(lambda: self.suspend_calls(), 10, 'logind was not asked to suspend')
        self.assertEqual(self.suspend_calls(), [[True]])
        self.assertEqual(self.wait_for_push('Vigilo put your computer to sleep'),
                         'Battery hit 3%. Vigilo slept the computer to avoid a sudden shutdown.')
        self.wait_until(lambda: not self.our_locks(), 5, 'the keep-awake lock outlived the force-sleep')
        self.assertNotIn('Battery critical', [t for t, _ in self.pushes()])

    def guard_pid(self):
        try:
            with open(os.path.join(self.data_folder(), 'crashguard.json'), encoding='utf-8') as f:
                state = json.load(f)
        except FileNotFoundError:
            return None
        self.assertTrue(state['clamshellArmed'])
        return state['pid']

    def activity_kinds(self):
        with open(os.path.join(self.data_folder(), 'activity.json'), encoding='utf-8') as f:
            return [event['kind'] for event in json.load(f)]

    def test_a_rule_keeps_the_lid_closed_under_the_crash_guard_through_a_kill_until_sigterm(self):
        self.start_with({'smartRulesEnabled': True}, rules=[CLAMSHELL_RULE])
        self.assertEqual(self.lid_locks(), [])
        self.set_battery(30.0)
        self.wait_until(lambda: len(self.lid_locks()) == 2, 15, 'the rule did not take the lid locks')
        self.assertEqual(sorted(self.lid_locks()), [('handle-lid-switch', 'Vigilo', LID_REASON, 'block'),
                                                    ('sleep', 'Vigilo', LID_REASON, 'block')])
        self.wait_until(lambda: self.guard_pid() == self.daemon.pid, 5, 'the crash guard was not armed')
        self.assertIn('Clamshell:  on', self.vigilo('status').stdout)

        # Killed, the daemon loses its locks with its descriptors but leaves
        # the guard armed; the next launch finds it before the rule fires again.
        self.daemon.kill()
        self.daemon.wait()
        self.wait_until(lambda: not self.lid_locks(), 5, 'the lid lock outlived a killed daemon')
        self.assertIsNotNone(self.guard_pid())
        self.daemon = self.start_daemon()
        self.wait_until(lambda: self.guard_pid() == self.daemon.pid, 15, 'the guard was not armed anew')
        self.wait_until(lambda: 'safeResetApplied' in self.activity_kinds(), 5, 'no recovery recorded')
        self.assertIn('crashGuardRecovered', self.activity_kinds())

        self.daemon.send_signal(signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.wait_until(lambda: not self.lid_locks(), 5, 'the lid lock outlived the daemon')
        self.assertIsNone(self.guard_pid())


if __name__ == '__main__':
    import unittest
    unittest.main()
