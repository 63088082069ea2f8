'''MQTT over TLS against a real Mosquitto whose certificate (for
"localhost") a CA of the test's own signed: trusted through mqttCAFile, and
refused in words without it.'''

import os
import subprocess

from mockbus import bin_dir
from mqtt_peer import Broker
from test_daemon import DaemonTestCase
from test_mqtt import MACHINE_A, NODE_A, write_computer


class MqttTls(DaemonTestCase):

    @classmethod
    def setUpClass(cls):
        cls.broker = Broker(tls=True)
        cls.broker.start()

    @classmethod
    def tearDownClass(cls):
        cls.broker.remove()

    def start_daemon(self):
        if not hasattr(self, 'daemon'):
            write_computer(self.home, MACHINE_A, 'zeta', self.broker, self.broker.password,
                           mqttCAFile=self.broker.ca_file)
            self.env['VIGILO_TEST_ROOT'] = os.path.join(self.home, 'root')
        return super().start_daemon()

    def fleet(self):
        return subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet', '--json'], env=self.env,
                              capture_output=True, text=True, timeout=30, check=False)

    def test_the_certificate_is_verified(self):
        self.wait_until(lambda: f'"nodeId":"{NODE_A}","online":true' in self.fleet().stdout, 10, self.fleet().stderr)

        write_computer(self.home, MACHINE_A, 'zeta', self.broker, self.broker.password, mqttCAFile='')
        result = self.fleet()
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (1, '', "The broker's certificate is not trusted: certificate verify failed.\n"))
