'''Runs the LinuxPowerManagement, closed-lid and sd-bus cases of
vigilo_linux_tests against private buses: logind alone, logind refusing the
sleep lock, a system bus without logind, GNOME (new, old and hanging), KDE,
and the desktop notifier with and without a notification server.'''

import os
import re
import subprocess
import unittest

from mockbus import TEMPLATES, MockBus, bin_dir


class PowerManagementOnMockBus(unittest.TestCase):

    def run_cases(self, scenario, suites, bus):
        '''Runs the gtest suites (colon-separated) with the scenario named.'''
        binary = os.path.join(bin_dir(), 'vigilo_linux_tests')
        env = dict(bus.env, VIGILO_MOCKBUS_SCENARIO=scenario)
        gtest_filter = ':'.join(f'{name}.*' for name in suites.split(':'))
        result = subprocess.run([binary, f'--gtest_filter={gtest_filter}', '--gtest_brief=1'], env=env,
                                capture_output=True, text=True, timeout=120, check=False)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn('SKIPPED', result.stdout, 'every case of the scenario ran')
        passed = re.search(r'\[  PASSED  \] (\d+) test', result.stdout)
        self.assertTrue(passed and int(passed.group(1)) > 0, 'the scenario has cases: ' + result.stdout)

    def test_logind(self):
        # A session bus with no desktop on it, as under a plain window manager.
        with MockBus() as bus:
            bus.add_logind()
            self.run_cases('logind', 'LinuxPowerManagementOnLogind:DbusOnLogind:LogindSystemSleepOnLogind:'
                           'LogindClamshellOnLogind:DesktopNotifierWithoutServer', bus)

    def test_notification_server(self):
        with MockBus() as bus:
            bus.add_template('notification_daemon', system_bus=False)
            self.run_cases('notifications', 'DesktopNotifierOnNotificationServer', bus)

    def test_logind_that_refuses_the_sleep_lock(self):
        with MockBus(session=False) as bus:
            bus.add_template(os.path.join(TEMPLATES, 'logind_refusing.py'), system_bus=True,
                             parameters={'RefuseWhat': ['sleep']})
            self.run_cases('logind-refuses-sleep', 'LogindClamshellOnRefusingLogind', bus)

    def test_system_bus_without_logind(self):
        with MockBus(session=False) as bus:
            self.run_cases('bare', 'LinuxPowerManagementOnBareBus:LogindSystemSleepOnBareBus:'
                           'LogindClamshellOnBareBus', bus)

    def test_gnome(self):
        with MockBus() as bus:
            bus.add_logind()
            bus.add_gnome_session()
            self.run_cases('gnome', 'LinuxPowerManagementOnGnome', bus)

    def test_gnome_that_turns_suspend_into_a_sleep_lock(self):
        with MockBus() as bus:
            bus.add_logind()
            bus.add_gnome_session(suspend_takes_sleep_lock=True)
            self.run_cases('gnome-sleep-lock', 'LinuxPowerManagementOnOldGnome', bus)

    def test_gnome_that_hangs(self):
        with MockBus() as bus:
            bus.add_logind()
            bus.add_gnome_session(inhibit_delay=3)
            self.run_cases('gnome-hangs', 'LinuxPowerManagementOnHangingGnome', bus)

    def test_kde(self):
        with MockBus() as bus:
            bus.add_logind()
            bus.add_kde()
            self.run_cases('kde', 'LinuxPowerManagementOnKde', bus)


if __name__ == '__main__':
    unittest.main()
