'''What closed-lid mode and the fan presets change outside the daemon is put
back at quit and, after a kill -9, at the next launch from "restore.json" and
the crash guard. Outside a session (logind refusing the locks) closed-lid
mode is the privileged helper's logind drop-in, and a cooling preset leaves a
fan in manual control; without polkit's permission nothing is changed at
all. The test build of the helper acts on a scratch tree each test makes,
named to the daemon in VIGILO_TEST_ROOT and to the helper, which inherits the
daemon's environment, in VIGILO_HELPER_TEST_ROOT; VIGILO_TEST_HELPER names
the test build. polkit and systemd (which reloads logind) are mocks. In a
KDE session closed-lid mode also sets KDE's own lid action to do nothing.'''

import json
import os
import shutil
import signal
import tempfile
import time

from mockbus import LOGIND, TEMPLATES, bin_dir
from test_daemon import DaemonTestCase

ALL_DAY_RULE = {'id': '3B7E51A2-0C4D-4E8F-9A61-5D2C7B0E9F13', 'name': 'lid and fans', 'isEnabled': True,
                'conditions': [{'timeWindow': {'startMinutes': 0, 'endMinutes': 1440}}],
                'actions': [{'startClamshell': {}}, {'setCoolingPreset': {'_0': 'quiet'}}],
                'cooldownSeconds': 300, 'isBuiltIn': False, 'createdAt': 800000000, 'updatedAt': 800000000}
# Without the scratch tree a fan preset would reach this machine's own fans.
LID_ONLY_RULE = dict(ALL_DAY_RULE, actions=[{'startClamshell': {}}])

SYSTEMD = ('org.freedesktop.systemd1', '/org/freedesktop/systemd1')


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


class RuleDriven(DaemonTestCase):
    '''A daemon restarted with the all-day rule switched on or off.'''

    def data(self, name):
        return os.path.join(self.home, 'data', 'Vigilo', name)

    def set_rules(self, enabled, rules):
        write(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'),
              json.dumps({'watchPatterns': ['ollama'], 'pollInterval': 1, 'smartRulesEnabled': enabled}))
        write(self.data('rules.json'), json.dumps(rules))

    def stop(self, kill=False):
        self.daemon.send_signal(signal.SIGKILL if kill else signal.SIGTERM)
        self.assertEqual(self.daemon.wait(timeout=10), -signal.SIGKILL if kill else 0)

    def start_with_rule(self, enabled, rule=ALL_DAY_RULE):
        self.set_rules(enabled, [rule] if enabled else [])
        self.daemon = self.start_daemon()


class KdeLidActionPutBack(RuleDriven):

    def test_the_launch_after_kill_9_puts_kdes_lid_action_back(self):
        self.bus.add_template(os.path.join(TEMPLATES, 'kde_solid_power_management.py'), system_bus=False)
        # The mock drops a lock when its descriptor closes: keep it open.
        self.kde_lock = self.bus.call(True, *LOGIND, 'Inhibit', 'handle-power-key:handle-lid-switch', 'PowerDevil',
                                      'KDE handles power events', 'block')
        settings = os.path.join(self.home, 'config', 'powerdevilrc')
        write(settings, '[AC][SuspendAndShutdown]\nLidAction=1\n')
        self.stop()
        self.start_with_rule(True, LID_ONLY_RULE)
        self.wait_until(lambda: 'LidAction=0' in read(settings), 15, "KDE's lid action was not set to do nothing")
        self.assertIn('kdeLidAction', json.loads(read(self.data('restore.json'))))

        self.stop(kill=True)
        self.start_with_rule(False)
        self.assertEqual(read(settings), '[AC][SuspendAndShutdown]\nLidAction=1\n')
        self.assertFalse(os.path.exists(self.data('restore.json')))


class PrivilegedChangesPutBack(RuleDriven):

    WITH_LOGIND = False

    def start_daemon(self):
        if not hasattr(self, 'root'):
            self.prepare_system()
        return super().start_daemon()

    def prepare_system(self):
        self.bus.add_template(os.path.join(TEMPLATES, 'logind_refusing.py'), system_bus=True,
                              parameters={'RefuseWhat': ['handle-lid-switch', 'sleep']})
        self.bus.add_template('polkitd', system_bus=True)
        self.bus.mock_interface(True, 'org.freedesktop.PolicyKit1', '/org/freedesktop/PolicyKit1/Authority') \
            .SetAllowed(['com.vigilo.app.closed-lid', 'com.vigilo.app.fan-control'])
        self.bus.add_template(os.path.join(TEMPLATES, 'systemd_kill_unit.py'), system_bus=True)
        self.root = os.path.realpath(tempfile.mkdtemp(prefix='vigilo-helper-root-'))
        self.addCleanup(shutil.rmtree, self.root, True)
        chip = os.path.join(self.root, 'sys', 'devices', 'platform', 'nct6775.656', 'hwmon', 'hwmon3')
        for name, value in (('name', 'nct6798'), ('fan1_input', '1200'), ('fan1_min', '300'), ('fan1_max', '2300'),
                            ('pwm1', '80'), ('pwm1_enable', '5')):
            write(os.path.join(chip, name), value + '\n')
        os.makedirs(os.path.join(self.root, 'sys', 'class', 'hwmon'))
        os.symlink(chip, os.path.join(self.root, 'sys', 'class', 'hwmon', 'hwmon3'))
        self.pwm_enable = os.path.join(chip, 'pwm1_enable')
        self.drop_in = os.path.join(self.root, 'run', 'systemd', 'logind.conf.d', 'vigilo-lid.conf')
        self.env.update(VIGILO_TEST_ROOT=self.root, VIGILO_HELPER_TEST_ROOT=self.root,
                        VIGILO_TEST_HELPER=os.path.join(bin_dir(), 'vigilo-helper-test'))

    def logind_reloads(self):
        calls = self.bus.mock_interface(True, *SYSTEMD).GetCalls()
        return [list(args) for _, name, args in calls if name == 'KillUnit']

    def changed_by_the_rule(self):
        self.start_with_rule(True)
        self.wait_until(lambda: os.path.exists(self.drop_in) and read(self.pwm_enable) == '1', 15,
                        'the rule did not reach the helper')
        self.wait_until(lambda: 'Clamshell:  on' in self.vigilo('status').stdout, 5, 'closed-lid mode not on')

    def assert_put_back(self):
        self.assertFalse(os.path.exists(self.drop_in))
        self.assertEqual(read(self.pwm_enable), '5')
        for name in ('restore.json', 'crashguard.json'):
            self.assertFalse(os.path.exists(self.data(name)), name)

    def test_quit_and_the_launch_after_kill_9_put_the_drop_in_and_the_fan_back(self):
        self.stop()
        self.changed_by_the_rule()
        self.stop()
        self.assert_put_back()

        self.changed_by_the_rule()
        chip = os.path.dirname(os.path.realpath(self.pwm_enable))
        self.assertEqual(json.loads(read(self.data('restore.json'))),
                         {f'fan {chip} 1': {'chip': chip, 'index': 1, 'pwmEnable': 5}})
        self.assertTrue(os.path.exists(self.data('crashguard.json')))
        self.stop(kill=True)
        self.assertTrue(os.path.exists(self.drop_in))
        reloads_before = len(self.logind_reloads())
        self.start_with_rule(False)

        self.assert_put_back()
        self.assertEqual(self.logind_reloads()[reloads_before:], [['systemd-logind.service', 'main', signal.SIGHUP]])
        newest_first = [event['kind'] for event in json.loads(read(self.data('activity.json')))]
        self.assertEqual(newest_first[:3], ['safeResetApplied', 'crashGuardRecovered', 'launched'])
        log = read(os.path.join(self.home, 'daemon.log'))
        for line in ('Crash-guard recovering leftover closed-lid state at launch', 'logind lid drop-in removed',
                     f'Fan {chip} 1 back to automatic control (5)'):
            self.assertIn(line, log)
        self.assertIn('Clamshell:  off', self.vigilo('status').stdout)

    def test_without_polkits_permission_nothing_changes(self):
        self.bus.mock_interface(True, 'org.freedesktop.PolicyKit1', '/org/freedesktop/PolicyKit1/Authority') \
            .SetAllowed([])
        self.stop()
        self.start_with_rule(True)
        log = os.path.join(self.home, 'daemon.log')
        # The quiet preset: the chip names no floor, so three tenths of full scale.
        self.wait_until(lambda: 'manual speed 77 skipped' in read(log), 15, 'the rule did not run')
        self.assertIn('logind lid drop-in on failed: polkit does not allow com.vigilo.app.closed-lid without asking',
                      read(log))
        self.assertIn('Clamshell:  off', self.vigilo('status').stdout)
        self.assertFalse(os.path.exists(self.drop_in))
        self.assertEqual(read(self.pwm_enable), '5\n')
        self.assertFalse(os.path.exists(self.data('restore.json')))
