'''The network monitor against python-dbusmock's networkmanager template on a
private system bus. The checks are the gtest case
NetworkManagerOnMockBus.FollowsTheGlobalState in vigilo_linux_tests; this
sets up the bus and the mock and runs it there.'''

import unittest

from mockbus import MockBus, assert_gtest_cases_pass


class NetworkManagerOnMockBus(unittest.TestCase):

    def test_follows_the_global_state(self):
        with MockBus(system=True, session=False) as bus:
            bus.add_template('networkmanager', system_bus=True)
            assert_gtest_cases_pass(self, dict(bus.env, VIGILO_NM_MOCK='1'), 'NetworkManagerOnMockBus.*', 1)


if __name__ == '__main__':
    unittest.main()
