'''The privileged runner's polkit questions against python-dbusmock's polkitd
on a private system bus. The checks are the gtest cases
HelperRunnerOnMockPolkit.* in vigilo_linux_tests; this sets up the mock
(closed-lid mode allowed, fan control not, and no answer at all about the
system-wide command) and runs them there.'''

import unittest

from mockbus import MockBus, assert_gtest_cases_pass

AUTHORITY = ('org.freedesktop.PolicyKit1', '/org/freedesktop/PolicyKit1/Authority')


class HelperRunnerOnMockPolkit(unittest.TestCase):

    def test_each_verb_is_asked_about_under_its_own_action(self):
        with MockBus(system=True, session=False) as bus:
            bus.add_template('polkitd', system_bus=True)
            polkit = bus.mock_interface(True, *AUTHORITY)
            polkit.SetAllowed(['com.vigilo.app.closed-lid'])
            polkit.SimulateHangActions(['com.vigilo.app.install-cli'])
            assert_gtest_cases_pass(self, dict(bus.env, VIGILO_POLKIT_MOCK='1'), 'HelperRunnerOnMockPolkit.*', 2)


if __name__ == '__main__':
    unittest.main()
