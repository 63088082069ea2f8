'''The lid reading against python-dbusmock's upower and logind templates on a
private system bus. The checks are gtest cases in vigilo_linux_tests
(LidStateOnMockBus.*); this sets up the bus for each scenario and runs them.'''

import unittest

import dbus

from mockbus import MockBus, assert_gtest_cases_pass

LOGIND = ('org.freedesktop.login1', '/org/freedesktop/login1')
MOCK_IFACE = 'org.freedesktop.DBus.Mock'


class LidStateOnMockBus(unittest.TestCase):

    def setUp(self):
        super().setUp()
        self.bus = MockBus(system=True, session=False)
        self.bus.start()
        self.addCleanup(self.bus.stop)

    def start(self, lid_present, logind_lid_closed):
        self.bus.add_template('upower', system_bus=True, parameters={'LidIsPresent': lid_present})
        self.bus.add_logind()
        logind = dbus.Interface(self.bus.connection(True).get_object(*LOGIND), MOCK_IFACE)
        logind.AddProperty('org.freedesktop.login1.Manager', 'LidClosed', dbus.Boolean(logind_lid_closed))

    def assert_case_passes(self, scenario, case):
        assert_gtest_cases_pass(self, dict(self.bus.env, VIGILO_LID_MOCK=scenario), 'LidStateOnMockBus.' + case, 1)

    def test_machine_without_lid_has_no_reading_though_logind_says_open(self):
        self.start(lid_present=False, logind_lid_closed=False)
        self.assert_case_passes('no-lid', 'NoLidIsAbsentThoughLogindSaysOpen')

    def test_closed_lid_is_read_from_logind(self):
        self.start(lid_present=True, logind_lid_closed=True)
        self.assert_case_passes('closed', 'ClosedLidComesFromLogind')


if __name__ == '__main__':
    unittest.main()
