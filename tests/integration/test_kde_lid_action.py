'''KDE's own lid action against python-dbusmock's logind, holding the lid
locks of KDE's power manager, GNOME's power plugin and another program, and
a mock of KDE's power manager on the session bus. The checks are gtest cases
in vigilo_linux_tests (KdeLidActionOnMockBus.*); this sets up each scenario,
runs them and counts the reload calls that reached the mock.'''

import os
import unittest

import dbus

from mockbus import LOGIND, TEMPLATES, MockBus, assert_gtest_cases_pass

POWERDEVIL = ('org.kde.Solid.PowerManagement', '/org/kde/Solid/PowerManagement')
LOCKS = {
    'kde': ('handle-power-key:handle-suspend-key:handle-hibernate-key:handle-lid-switch', 'PowerDevil',
            'KDE handles power events'),
    'gnome': ('handle-lid-switch', 'tester', 'External monitor attached or configuration changed recently'),
    'other': ('handle-lid-switch', 'xfce4-power-manager', 'xfce4-power-manager handles the lid'),
}


class KdeLidActionOnMockBus(unittest.TestCase):

    def setUp(self):
        super().setUp()
        self.bus = MockBus()
        self.bus.start()
        self.addCleanup(self.bus.stop)
        self.bus.add_logind()
        self.bus.add_template(os.path.join(TEMPLATES, 'kde_solid_power_management.py'), system_bus=False)
        self.held = []

    def hold(self, *holders):
        # The mock drops a lock when its descriptor closes: keep them open.
        for holder in holders:
            what, who, why = LOCKS[holder]
            self.held.append(self.bus.call(True, *LOGIND, 'Inhibit', what, who, why, 'block'))

    def reloads(self):
        mock = self.bus.mock_interface(False, *POWERDEVIL)
        return len(mock.GetMethodCalls('refreshStatus'))

    def test_kde_lock_is_recognised_and_its_lid_action_set_and_restored(self):
        self.hold('kde', 'gnome', 'other')
        assert_gtest_cases_pass(self, dict(self.bus.env, VIGILO_MOCKBUS_SCENARIO='kde-lid'),
                                'KdeLidActionOnMockBus.KdeLockSetsAndRestoresTheLidActionWithReloads', 1)
        # Set and restored; the switch-on refused over a dangling link reloads nothing.
        self.assertEqual(self.reloads(), 2)

    def test_a_pending_give_back_is_never_recorded_over(self):
        self.hold('kde')
        assert_gtest_cases_pass(self, dict(self.bus.env, VIGILO_MOCKBUS_SCENARIO='kde-lid'),
                                'KdeLidActionOnMockBus.APendingGiveBackIsNeverRecordedOver', 1)

    def test_gnome_lock_alone_changes_nothing(self):
        self.hold('gnome')
        assert_gtest_cases_pass(self, dict(self.bus.env, VIGILO_MOCKBUS_SCENARIO='gnome-lid'),
                                'KdeLidActionOnMockBus.GnomeLockAloneChangesNothing', 1)
        self.assertEqual(self.reloads(), 0)


if __name__ == '__main__':
    unittest.main()
