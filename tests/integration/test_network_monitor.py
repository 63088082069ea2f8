'''The network monitor against python-dbusmock's networkmanager template on a
private system bus. The checks are the gtest case
NetworkManagerOnMockBus.FollowsTheGlobalState in vigilo_linux_tests; this
sets up the bus and the mock and runs it there.'''

import os
import subprocess
import unittest

from mockbus import MockBus, bin_dir


class NetworkManagerOnMockBus(unittest.TestCase):

    def test_follows_the_global_state(self):
        with MockBus(system=True, session=False) as bus:
            bus.add_template('networkmanager', system_bus=True)
            env = dict(bus.env, VIGILO_NM_MOCK='1')
            result = subprocess.run([os.path.join(bin_dir(), 'vigilo_linux_tests'),
                                     '--gtest_filter=NetworkManagerOnMockBus.*'],
                                    env=env, capture_output=True, text=True, timeout=120, check=False)
        output = result.stdout + result.stderr
        self.assertEqual(result.returncode, 0, output)
        self.assertNotIn('SKIPPED', output, output)
        self.assertIn('[  PASSED  ] 1 test', output, output)


if __name__ == '__main__':
    unittest.main()
