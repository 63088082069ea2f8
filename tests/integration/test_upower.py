'''The battery monitor's UPower source against python-dbusmock's upower
template on a private system bus. The checks themselves are gtest cases in
vigilo_linux_tests (UPowerOnMockBus.*); this sets up the bus and the mock
for each scenario and runs them in it.'''

import unittest

import dbus

from mockbus import MockBus, assert_gtest_cases_pass, no_bus_env

UPOWER = ('org.freedesktop.UPower', '/org/freedesktop/UPower')
MOCK_IFACE = 'org.freedesktop.DBus.Mock'
DISPLAY_DEVICE = '/org/freedesktop/UPower/devices/DisplayDevice'


def assert_cases_pass(test, env, scenario, cases):
    '''Runs UPowerOnMockBus.<cases> with the scenario named; all must pass.'''
    assert_gtest_cases_pass(test, dict(env, VIGILO_UPOWER_MOCK=scenario),
                            ':'.join('UPowerOnMockBus.' + case for case in cases), len(cases))


class UPowerTestCase(unittest.TestCase):

    def setUp(self):
        super().setUp()
        self.bus = MockBus(system=True, session=False)
        self.bus.start()
        self.addCleanup(self.bus.stop)

    def upower(self, interface=MOCK_IFACE):
        return dbus.Interface(self.bus.connection(True).get_object(*UPOWER), interface)

    def assert_cases_pass(self, scenario, cases, env=None):
        assert_cases_pass(self, env or self.bus.env, scenario, cases)


class UPowerOnMockBus(UPowerTestCase):

    def add_upower(self, on_battery):
        self.bus.add_template('upower', system_bus=True)
        self.upower(dbus.PROPERTIES_IFACE).Set('org.freedesktop.UPower', 'OnBattery', dbus.Boolean(on_battery))

    def test_discharging_laptop_and_a_change_through_the_notification(self):
        self.add_upower(on_battery=True)
        mock = self.upower()
        mock.AddDischargingBattery('mock_BAT', 'Mock Battery', 42.7, 3600)
        # type battery, state discharging, 42.7 %, present
        mock.SetupDisplayDevice(2, 2, 42.7, 42.7, 100.0, 10.0, 3600, 0, True, 'battery-good-symbolic', 1)
        self.assert_cases_pass('discharging', ['DisplayDeviceIsTheBattery',
                                               'ChangeReachesTheMonitorThroughTheNotification'])

    def test_desktop_whose_display_device_is_no_battery(self):
        self.add_upower(on_battery=False)
        self.upower().SetDeviceProperties(DISPLAY_DEVICE, {'Type': dbus.UInt32(1, variant_level=1),
                                                           'IsPresent': dbus.Boolean(False, variant_level=1)})
        self.assert_cases_pass('desktop', ['NoPresentBatteryMeansNoBattery'])

    def test_bus_without_upower_falls_back_to_the_kernel(self):
        self.assert_cases_pass('no-upower', ['WithoutUPowerTheKernelsPowerSupplyIsRead'])


class UPowerWithoutBus(unittest.TestCase):

    def test_no_bus_at_all_falls_back_to_the_kernel(self):
        assert_cases_pass(self, no_bus_env(), 'no-bus', ['WithoutAnyBusTheKernelsPowerSupplyIsRead'])


if __name__ == '__main__':
    unittest.main()
