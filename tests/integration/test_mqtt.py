'''MQTT end to end: headless daemons publishing to a real Mosquitto broker
(one for the file, with a password file) on 127.0.0.1, watched and poked by a
small MQTT client, and `vigilo fleet` reading it back.'''

import json
import os
import signal
import socket
import struct
import threading
import subprocess
import time

from mockbus import bin_dir
from mqtt_peer import Broker, Client
from test_daemon import DaemonTestCase

MACHINE_A = '0123456789abcdef0123456789abcdef'
NODE_A = '40dad2d5f67c'  # SHA-256 of MACHINE_A + "vigilo", cut to 12
MACHINE_B = 'fedcba9876543210fedcba9876543210'
OBJECTS = ['switch/{}_keep_awake', 'switch/{}_auto_mode', 'binary_sensor/{}_awake', 'sensor/{}_mode',
           'sensor/{}_workloads', 'sensor/{}_battery', 'sensor/{}_temperature', 'binary_sensor/{}_lid_closed']


def write_computer(home, machine_id, host, broker, password, **settings):
    '''A home with MQTT switched on, its password in the fallback file, and a
    test root with the machine id and host name.'''
    root = os.path.join(home, 'root', 'etc')
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, 'machine-id'), 'w', encoding='utf-8') as f:
        f.write(machine_id + '\n')
    with open(os.path.join(root, 'hostname'), 'w', encoding='utf-8') as f:
        f.write(host + '\n')
    folder = os.path.join(home, 'config', 'Vigilo')
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, 'preferences.json')
    preferences = {}
    if os.path.exists(path):
        with open(path, encoding='utf-8') as f:
            preferences = json.load(f)
    preferences.update(mqttEnabled=True, mqttBroker=broker.address, mqttUsername='vigilo', **settings)
    with open(path, 'w', encoding='utf-8') as f:
        json.dump(preferences, f)
    secret = os.path.join(folder, 'mqtt-password')
    with open(secret, 'w', encoding='utf-8') as f:
        f.write(password)
    os.chmod(secret, 0o600)


class Mqtt(DaemonTestCase):

    @classmethod
    def setUpClass(cls):
        cls.broker = Broker()
        cls.broker.start()

    @classmethod
    def tearDownClass(cls):
        cls.broker.remove()

    PASSWORD = None  # the broker's

    def start_daemon(self):
        if not hasattr(self, 'daemon'):
            write_computer(self.home, MACHINE_A, 'zeta', self.broker, self.PASSWORD or self.broker.password)
            self.env['VIGILO_TEST_ROOT'] = os.path.join(self.home, 'root')
        return super().start_daemon()

    def watcher(self, *patterns):
        client = Client(self.broker.port)
        self.addCleanup(client.close)
        client.subscribe(*(patterns or ('vigilo/#', 'homeassistant/#')))
        return client

    def state(self, client, seconds=0.5, node=NODE_A):
        client.collect(seconds)
        text = client.last(f'vigilo/{node}/state')
        return json.loads(text) if text else None

    def log(self):
        with open(os.path.join(self.home, 'daemon.log'), encoding='utf-8', errors='replace') as f:
            return f.read()

    def activity_kinds(self):
        try:
            with open(os.path.join(self.home, 'data', 'Vigilo', 'activity.json'), encoding='utf-8') as f:
                return [event['kind'] for event in json.load(f)]
        except (OSError, ValueError):
            return []

    def fleet(self, *args, env=None):
        return subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet', *args], env=env or self.env,
                              capture_output=True, text=True, timeout=30, check=False)

    def test_discovery_state_commands_and_the_will(self):
        client = self.watcher()
        self.wait_until(lambda: self.state(client, 0.2) is not None, 5, 'no state')
        # A subscriber that comes later gets it all from the broker, retained.
        later = self.watcher()
        later.collect(0.5)
        retained = {topic: payload for topic, payload, kept in later.received if kept}
        for name in OBJECTS:
            config = json.loads(retained[f'homeassistant/{name.format(NODE_A)}/config'])
            self.assertEqual(config['device']['identifiers'], [NODE_A])
            self.assertEqual(config['device']['name'], 'zeta')
            self.assertEqual(config['availability_topic'], f'vigilo/{NODE_A}/availability')
        self.assertEqual(retained[f'vigilo/{NODE_A}/availability'], 'online')
        self.assertEqual(json.loads(retained[f'vigilo/{NODE_A}/state'])['host'], 'zeta')
        state = self.state(client)
        self.assertEqual((state['host'], state['mode'], state['awake'], state['tasks']), ('zeta', 'Awake Off', False, []))
        self.assertNotIn(self.broker.password, json.dumps(state) + self.log())

        started = time.monotonic()
        self.assertEqual(self.vigilo('start').returncode, 0)
        self.wait_until(lambda: self.state(client, 0.1)['awake'], 3, 'awake not published within 3 s')
        self.assertLess(time.monotonic() - started, 3)

        commands = Client(self.broker.port)
        self.addCleanup(commands.close)
        commands.publish(f'vigilo/{NODE_A}/set/keep_awake', 'OFF')
        self.wait_until(lambda: 'Awake Off' in self.vigilo('status').stdout, 3, 'OFF did not stop')
        commands.publish(f'vigilo/{NODE_A}/set/keep_awake', 'ON')
        self.wait_until(lambda: 'Awake On' in self.vigilo('status').stdout, 3, 'ON did not start')

        # Nothing else changes anything, and each is one line in the log.
        commands.publish(f'vigilo/{NODE_A}/set/sleep', 'ON')
        commands.publish(f'vigilo/{NODE_A}/set/keep_awake', 'maybe')
        commands.publish(f'vigilo/{NODE_A}/set/keep_awake', 'maybe')
        commands.publish(f'vigilo/{NODE_A}/set/timer', '-5')
        self.wait_until(lambda: self.log().count('ignored a message') == 3, 3, 'ignored messages not logged')
        self.assertIn('Awake On', self.vigilo('status').stdout)

        # libmosquitto without the online module's libcurl and libsecret.
        with open(f'/proc/{self.daemon.pid}/maps', encoding='utf-8') as f:
            maps = f.read()
        self.assertEqual(['libmosquitto' in maps, 'libcurl' in maps, 'libvigilo-online' in maps], [True, False, False])

        self.daemon.send_signal(signal.SIGKILL)
        self.daemon.wait()
        self.wait_until(lambda: client.collect(0.1) and client.last(f'vigilo/{NODE_A}/availability') == 'offline',
                        5, 'the will did not say offline')

    def test_a_reload_reads_the_password_again_and_a_retained_command_is_not_redone(self):
        client = self.watcher()
        self.wait_until(lambda: self.state(client, 0.2) is not None, 5, 'no state')
        commands = Client(self.broker.port)
        self.addCleanup(commands.close)
        topic = f'vigilo/{NODE_A}/set/keep_awake'
        self.addCleanup(lambda: commands.publish(topic, '', retain=True))
        commands.publish(topic, 'ON', retain=True)  # sent now: carried out
        self.wait_until(lambda: 'Awake On' in self.vigilo('status').stdout, 3, 'ON did not start')
        self.assertEqual(self.vigilo('stop').returncode, 0)

        secret = os.path.join(self.home, 'config', 'Vigilo', 'mqtt-password')

        def reload_with(password):
            with open(secret, 'w', encoding='utf-8') as f:
                f.write(password)
            self.daemon.send_signal(signal.SIGHUP)
        reload_with('changed elsewhere')
        self.wait_until(lambda: 'The broker refused the user name or password.' in self.log(), 3,
                        'a new password was not used')
        # Not connected: the right one connects at once, and the broker hands
        # the old command to the new subscription, retained.
        reload_with(self.broker.password)
        self.wait_until(lambda: 'a retained message is no command sent now' in self.log(), 3, 'not reconnected')
        self.assertIn('Awake Off', self.vigilo('status').stdout)

    def test_a_restarted_broker_gets_everything_again_and_the_outage_is_one_entry(self):
        client = self.watcher()
        self.wait_until(lambda: self.state(client, 0.2) is not None, 5, 'no state')
        client.close()
        self.broker.stop()
        time.sleep(0.5)  # the daemon notices and retries (1, 2, 4 s) against nothing
        self.wait_until(lambda: 'mqttDisconnected' in self.activity_kinds(), 5, 'no outage entry')
        time.sleep(3)
        self.broker.start()
        client = self.watcher()
        self.wait_until(lambda: self.state(client, 0.2) is not None, 15, 'nothing republished')
        # The broker kept nothing: all this came from the daemon again.
        self.assertIn(f'homeassistant/{OBJECTS[0].format(NODE_A)}/config', {t for t, _, _ in client.received})
        kinds = self.activity_kinds()
        self.assertEqual((kinds.count('mqttConnected'), kinds.count('mqttDisconnected')), (2, 1))
        self.assertEqual(self.log().count('MQTT connection lost'), 0, 'the activity title is not a log line')

    def test_switching_off_clears_discovery_and_says_offline(self):
        client = self.watcher()
        self.wait_until(lambda: self.state(client, 0.2) is not None, 5, 'no state')
        client.close()
        path = os.path.join(self.home, 'config', 'Vigilo', 'preferences.json')
        with open(path, encoding='utf-8') as f:
            preferences = json.load(f)
        preferences['mqttEnabled'] = False
        with open(path, 'w', encoding='utf-8') as f:
            json.dump(preferences, f)
        self.daemon.send_signal(signal.SIGHUP)
        time.sleep(1)
        client = self.watcher()
        client.collect(1)
        retained = {topic: payload for topic, payload, kept in client.received if kept}
        self.assertFalse([t for t in retained if t.startswith('homeassistant/') and NODE_A in t], retained)
        self.assertEqual(retained.get(f'vigilo/{NODE_A}/availability'), 'offline')

    def test_fleet_lists_two_computers_this_one_first(self):
        other = os.path.join(self.home, 'other')
        os.makedirs(os.path.join(other, 'run'), 0o700)
        write_computer(other, MACHINE_B, 'alpha', self.broker, self.broker.password)
        env = dict(self.env, HOME=other, XDG_RUNTIME_DIR=os.path.join(other, 'run'),
                   XDG_CONFIG_HOME=os.path.join(other, 'config'), XDG_DATA_HOME=os.path.join(other, 'data'),
                   VIGILO_TEST_ROOT=os.path.join(other, 'root'))
        log = open(os.path.join(other, 'daemon.log'), 'ab')  # pylint: disable=consider-using-with
        second = subprocess.Popen([os.path.join(bin_dir(), 'vigilo-app'), '--headless'], env=env,
                                  stdout=subprocess.DEVNULL, stderr=log)
        log.close()
        self.addCleanup(lambda: (second.terminate(), second.wait()))

        def hosts(result):
            return [line.split('  ')[0] for line in result.stdout.splitlines()]
        self.wait_until(lambda: hosts(self.fleet()) == ['zeta', 'alpha'], 10, self.fleet().stdout)
        self.assertEqual(hosts(self.fleet(env=env)), ['alpha', 'zeta'])
        result = self.fleet('--json')
        self.assertEqual(result.returncode, 0, result.stderr)
        computers = json.loads(result.stdout)
        self.assertEqual([(c['host'], c['nodeId'], c['online']) for c in computers][0], ('zeta', NODE_A, True))
        self.assertEqual(computers[1]['host'], 'alpha')
        self.assertRegex(result.stdout, r'"since":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"')
        self.assertNotIn(self.broker.password, result.stdout + self.fleet().stdout)

        second.terminate()  # a clean quit says offline itself
        second.wait(10)
        self.wait_until(lambda: ' offline ' in self.fleet().stdout.splitlines()[1], 5, self.fleet().stdout)

    def test_fleet_shows_garbage_as_unreadable_and_cuts_a_crowd(self):
        poker = Client(self.broker.port)
        self.addCleanup(poker.close)
        poker.publish('junk/aaa/state', 'not json', retain=True)
        poker.publish('junk/bbb/state', json.dumps({'host': 5, 'mode': 'x', 'tasks': []}), retain=True)
        poker.publish('junk/ccc/state', '[' * 60000, retain=True)
        poker.publish('junk/ddd/state', '\x1b[31m' * 200000, retain=True)
        poker.publish('junk/eee/availability', 'online', retain=True)
        for i in range(10000):
            poker.publish(f'junk/n{i:05}/state',
                          json.dumps({'host': f'h{i:05}\x1b[2J', 'mode': 'Awake On', 'tasks': [{'name': 'x'}]}),
                          retain=True)
        poker.collect(1)
        self.vigilo('stop')
        write_computer(self.home, MACHINE_A, 'zeta', self.broker, self.broker.password, mqttTopicPrefix='junk')
        started = time.monotonic()
        result = self.fleet()
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(len(lines), 200)
        self.assertEqual(lines[0], 'h00000?[2J  offline  Awake On  tasks: x 0%  no battery  no temperature  since ?')
        self.assertNotIn('\x1b', result.stdout)
        self.assertIn('… and 9805 more computers not shown.', result.stderr)
        for i in range(10000):
            poker.publish(f'junk/n{i:05}/state', '', retain=True)
        unreadable = self.fleet().stdout.splitlines()
        self.assertEqual(unreadable, ['aaa  offline  unreadable', 'bbb  offline  unreadable',
                                      'ccc  offline  unreadable', 'ddd  offline  unreadable',
                                      'eee  online  unreadable'])


class MqttRefusals(DaemonTestCase):

    @classmethod
    def setUpClass(cls):
        cls.broker = Broker()
        cls.broker.start()

    @classmethod
    def tearDownClass(cls):
        cls.broker.remove()

    def start_daemon(self):
        if not hasattr(self, 'daemon'):
            write_computer(self.home, MACHINE_A, 'zeta', self.broker, 'wrong password')
            self.env['VIGILO_TEST_ROOT'] = os.path.join(self.home, 'root')
        return super().start_daemon()

    def test_a_wrong_password_is_one_log_line_and_fleet_says_so(self):
        time.sleep(4)  # three attempts: 0, 1 and 3 s
        with open(os.path.join(self.home, 'daemon.log'), encoding='utf-8', errors='replace') as f:
            log = f.read()
        self.assertEqual(log.count('The broker refused the user name or password.'), 1, log)
        self.assertNotIn('wrong password', log)
        result = subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet'], env=self.env, capture_output=True,
                                text=True, timeout=30, check=False)
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (1, '', 'The broker refused the user name or password.\n'))

        self.broker.stop()
        result = subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet'], env=self.env, capture_output=True,
                                text=True, timeout=30, check=False)
        self.broker.start()
        self.assertEqual((result.returncode, result.stderr),
                         (1, f'No broker answers at 127.0.0.1:{self.broker.port}.\n'))

        os.remove(os.path.join(self.home, 'config', 'Vigilo', 'preferences.json'))
        result = subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet', '--json'], env=self.env,
                                capture_output=True, text=True, timeout=30, check=False)
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (1, '', 'MQTT is off; switch it on in Settings or set mqttEnabled.\n'))

    def test_a_broker_that_accepts_and_says_nothing_is_given_up(self):
        silent = socket.socket()
        silent.bind(('127.0.0.1', 0))
        silent.listen()
        self.addCleanup(silent.close)
        port = silent.getsockname()[1]
        path = os.path.join(self.home, 'config', 'Vigilo', 'preferences.json')
        with open(path, encoding='utf-8') as f:
            preferences = json.load(f)
        preferences['mqttBroker'] = f'mqtt://127.0.0.1:{port}'
        with open(path, 'w', encoding='utf-8') as f:
            json.dump(preferences, f)
        started = time.monotonic()
        result = subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet'], env=self.env, capture_output=True,
                                text=True, timeout=30, check=False)
        self.assertLess(time.monotonic() - started, 8)
        self.assertEqual((result.returncode, result.stderr), (1, f'The broker at 127.0.0.1:{port} does not answer.\n'))

    def test_a_broker_of_mqtt_3_1_1_alone_is_spoken_to_in_3_1_1(self):
        server = socket.socket()
        server.bind(('127.0.0.1', 0))
        server.listen()
        self.addCleanup(server.close)
        levels = []
        state = json.dumps({'host': 'olden', 'mode': 'Awake Off', 'tasks': []}).encode()

        def serve():
            for _ in range(2):
                connection, _ = server.accept()
                with connection:
                    connect = connection.recv(1024)
                    levels.append(connect[8])  # after the header, its length and "\0\4MQTT"
                    if connect[8] != 4:
                        connection.sendall(b'\x20\x02\x00\x01')  # unacceptable protocol version
                        continue
                    connection.sendall(b'\x20\x02\x00\x00')
                    pending = b''
                    while True:  # each SUBSCRIBE acknowledged, then the retained state
                        while len(pending) < 2 or len(pending) < 2 + pending[1]:
                            chunk = connection.recv(1024)
                            if not chunk:
                                return
                            pending += chunk
                        packet, pending = pending[:2 + pending[1]], pending[2 + pending[1]:]
                        if packet[0] == 0xE0:
                            break
                        if packet[0] == 0x82:
                            connection.sendall(b'\x90\x03' + packet[2:4] + b'\x00')
                            topic = b'vigilo/0ld/state'
                            body = struct.pack('!H', len(topic)) + topic + state
                            connection.sendall(bytes([0x31, len(body)]) + body)
        threading.Thread(target=serve, daemon=True).start()
        path = os.path.join(self.home, 'config', 'Vigilo', 'preferences.json')
        with open(path, encoding='utf-8') as f:
            preferences = json.load(f)
        preferences['mqttBroker'] = f'mqtt://127.0.0.1:{server.getsockname()[1]}'
        with open(path, 'w', encoding='utf-8') as f:
            json.dump(preferences, f)
        result = subprocess.run([os.path.join(bin_dir(), 'vigilo'), 'fleet'], env=self.env, capture_output=True,
                                text=True, timeout=30, check=False)
        self.assertEqual((result.returncode, result.stdout.split('  ')[:3], levels),
                         (0, ['olden', 'offline', 'Awake Off'], [5, 4]), result.stderr)
