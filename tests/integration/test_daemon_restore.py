'''What the daemon changes through the privileged helper is put back at quit
and, after a kill -9, at the next launch; without polkit's permission
nothing is changed at all. Outside a session (logind refusing the locks) closed-lid mode is
the helper's logind drop-in, and a cooling preset leaves a fan in manual
control. The test build of the helper acts on the scratch tree compiled into
it (the build folder's helper-test-root), which the daemon is pointed at
through VIGILO_TEST_ROOT and VIGILO_TEST_HELPER; polkit is a mock.'''

import json
import os
import shutil
import signal
import subprocess
import sys
import time

from mockbus import TEMPLATES, bin_dir
from test_daemon import DaemonTestCase

ALL_DAY_RULE = {'id': '3B7E51A2-0C4D-4E8F-9A61-5D2C7B0E9F13', 'name': 'lid and fans', 'isEnabled': True,
                'conditions': [{'timeWindow': {'startMinutes': 0, 'endMinutes': 1440}}],
                'actions': [{'startClamshell': {}}, {'setCoolingPreset': {'_0': 'quiet'}}],
                'cooldownSeconds': 300, 'isBuiltIn': False, 'createdAt': 800000000, 'updatedAt': 800000000}

# Stands in for systemd-logind in the fake /proc: counts the SIGHUPs that
# make it re-read its drop-ins.
FAKE_LOGIND = '''import signal, sys, time
def reload(*_):
    with open(sys.argv[1], 'a') as f:
        f.write('reload\\n')
signal.signal(signal.SIGHUP, reload)
open(sys.argv[1], 'a').close()
while True:
    time.sleep(1)
'''


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


class PrivilegedChangesPutBack(DaemonTestCase):

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
        self.root = os.path.realpath(os.path.join(bin_dir(), '..', 'helper-test-root'))
        shutil.rmtree(self.root, ignore_errors=True)
        self.addCleanup(shutil.rmtree, self.root, True)
        chip = os.path.join(self.root, 'sys', 'devices', 'platform', 'nct6775.656', 'hwmon', 'hwmon3')
        for name, value in (('name', 'nct6798'), ('fan1_input', '1200'), ('fan1_min', '300'), ('fan1_max', '2300'),
                            ('pwm1', '80'), ('pwm1_enable', '5')):
            write(os.path.join(chip, name), value + '\n')
        os.makedirs(os.path.join(self.root, 'sys', 'class', 'hwmon'))
        os.symlink(chip, os.path.join(self.root, 'sys', 'class', 'hwmon', 'hwmon3'))
        self.pwm_enable = os.path.join(chip, 'pwm1_enable')
        self.drop_in = os.path.join(self.root, 'run', 'systemd', 'logind.conf.d', 'vigilo-lid.conf')
        self.reloads = os.path.join(self.root, 'reloads')
        logind = subprocess.Popen(  # pylint: disable=consider-using-with
            [sys.executable, '-c', FAKE_LOGIND, self.reloads])
        self.addCleanup(logind.wait)
        self.addCleanup(logind.kill)
        write(os.path.join(self.root, 'proc', str(logind.pid), 'comm'), 'systemd-logind\n')
        self.wait_until(lambda: os.path.exists(self.reloads), message='the stand-in logind did not start')
        self.env.update(VIGILO_TEST_ROOT=self.root, VIGILO_TEST_HELPER=os.path.join(bin_dir(), 'vigilo-helper-test'))

    def data(self, name):
        return os.path.join(self.home, 'data', 'Vigilo', name)

    def set_rules(self, enabled, rules):
        write(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'),
              json.dumps({'watchPatterns': ['ollama'], 'pollInterval': 1, 'smartRulesEnabled': enabled}))
        write(self.data('rules.json'), json.dumps(rules))

    def changed_by_the_rule(self):
        self.set_rules(True, [ALL_DAY_RULE])
        self.daemon = self.start_daemon()
        self.wait_until(lambda: os.path.exists(self.drop_in) and read(self.pwm_enable) == '1', 15,
                        'the rule did not reach the helper')
        self.wait_until(lambda: 'Clamshell:  on' in self.vigilo('status').stdout, 5, 'closed-lid mode not on')

    def assert_put_back(self):
        self.assertFalse(os.path.exists(self.drop_in))
        self.assertEqual(read(self.pwm_enable), '5')
        for name in ('restore.json', 'crashguard.json'):
            self.assertFalse(os.path.exists(self.data(name)), name)

    def test_quit_and_the_launch_after_kill_9_put_the_drop_in_and_the_fan_back(self):
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        self.changed_by_the_rule()
        self.daemon.terminate()
        self.assertEqual(self.daemon.wait(timeout=10), 0)
        self.assert_put_back()

        self.changed_by_the_rule()
        chip = os.path.dirname(os.path.realpath(self.pwm_enable))
        self.assertEqual(json.loads(read(self.data('restore.json'))),
                         {f'fan {chip} 1': {'chip': chip, 'index': 1, 'pwmEnable': 5}})
        self.assertTrue(os.path.exists(self.data('crashguard.json')))
        self.daemon.send_signal(signal.SIGKILL)
        self.daemon.wait(timeout=10)
        self.assertTrue(os.path.exists(self.drop_in))
        self.set_rules(False, [])
        reloads_before = read(self.reloads).count('reload')
        self.daemon = self.start_daemon()

        self.assert_put_back()
        self.assertEqual(read(self.reloads).count('reload'), reloads_before + 1)
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
        self.daemon.terminate()
        self.daemon.wait(timeout=10)
        self.set_rules(True, [ALL_DAY_RULE])
        self.daemon = self.start_daemon()
        log = os.path.join(self.home, 'daemon.log')
        self.wait_until(lambda: 'manual speed 0 skipped' in read(log), 15, 'the rule did not run')
        self.assertIn('logind lid drop-in on failed: polkit does not allow com.vigilo.app.closed-lid without asking',
                      read(log))
        self.assertIn('Clamshell:  off', self.vigilo('status').stdout)
        self.assertFalse(os.path.exists(self.drop_in))
        self.assertEqual(read(self.pwm_enable), '5\n')
        self.assertFalse(os.path.exists(self.data('restore.json')))
