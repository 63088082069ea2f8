'''A Mosquitto broker started for a test on 127.0.0.1 at a free port, and a
small MQTT 3.1.1 client (QoS 0) to watch and poke it. Debian ships no Python
MQTT client; the protocol's few packets are simple enough.'''

import os
import pwd
import shutil
import socket
import struct
import subprocess
import tempfile
import time

MOSQUITTO = '/usr/sbin/mosquitto'


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Broker:
    '''mosquitto with a password file (user "vigilo", `password`); with
    `tls`, a certificate for "localhost" signed by a CA of its own.'''

    def __init__(self, password='s3cret pass', tls=False):
        self.folder = tempfile.mkdtemp(prefix='vigilo-mqtt-')
        self.password = password
        self.tls = tls
        self.port = free_port()
        self.process = None
        passwords = os.path.join(self.folder, 'passwords')
        subprocess.run(['mosquitto_passwd', '-c', '-b', passwords, 'vigilo', password], check=True,
                       capture_output=True)
        os.chmod(passwords, 0o600)
        # Started as root, mosquitto would become "mosquitto", who cannot read our files.
        lines = [f'user {pwd.getpwuid(os.getuid()).pw_name}', f'listener {self.port} {"localhost" if tls else "127.0.0.1"}', 'allow_anonymous false', f'password_file {passwords}',
                 'persistence false']
        if tls:
            self.ca_file = self._make_certificates()
            lines += [f'cafile {self.ca_file}', f'certfile {self.folder}/server.pem',
                      f'keyfile {self.folder}/server.key']
        self.config = os.path.join(self.folder, 'mosquitto.conf')
        with open(self.config, 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines) + '\n')

    def _make_certificates(self):
        def openssl(*args):
            subprocess.run(['openssl', *args], cwd=self.folder, check=True, capture_output=True)
        openssl('req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2', '-subj', '/CN=Vigilo Test CA',
                '-keyout', 'ca.key', '-out', 'ca.pem')
        openssl('req', '-newkey', 'rsa:2048', '-nodes', '-subj', '/CN=localhost', '-keyout', 'server.key',
                '-out', 'server.csr')
        with open(os.path.join(self.folder, 'san.ext'), 'w', encoding='utf-8') as f:
            f.write('subjectAltName=DNS:localhost,IP:127.0.0.1\n')
        openssl('x509', '-req', '-in', 'server.csr', '-CA', 'ca.pem', '-CAkey', 'ca.key', '-CAcreateserial',
                '-days', '2', '-extfile', 'san.ext', '-out', 'server.pem')
        return os.path.join(self.folder, 'ca.pem')

    @property
    def address(self):
        return f'mqtts://localhost:{self.port}' if self.tls else f'mqtt://127.0.0.1:{self.port}'

    def start(self):
        log = open(os.path.join(self.folder, 'broker.log'), 'ab')  # pylint: disable=consider-using-with
        self.process = subprocess.Popen([MOSQUITTO, '-c', self.config], stdout=log, stderr=log)
        log.close()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            try:
                socket.create_connection(('127.0.0.1', self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError('mosquitto did not start: ' + self.log())

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(10)

    def remove(self):
        self.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def log(self):
        with open(os.path.join(self.folder, 'broker.log'), encoding='utf-8', errors='replace') as f:
            return f.read()


def _remaining_length(n):
    out = bytearray()
    while True:
        byte, n = n % 128, n // 128
        out.append(byte | (0x80 if n else 0))
        if not n:
            return bytes(out)


def _text(s):
    data = s.encode() if isinstance(s, str) else s
    return struct.pack('!H', len(data)) + data


class Client:
    '''A plain-TCP MQTT 3.1.1 client. messages() returns what arrived.'''

    def __init__(self, port, user='vigilo', password='s3cret pass', client_id=None):
        self.sock = socket.create_connection(('127.0.0.1', port), timeout=5)
        self.buffer = b''
        client_id = client_id or f'test-{os.getpid()}-{time.monotonic_ns()}'
        payload = _text(client_id) + _text(user) + _text(password)
        variable = _text('MQTT') + bytes([4, 0xC2]) + struct.pack('!H', 60)
        self._send(0x10, variable + payload)
        kind, body = self._packet(5)
        if kind != 0x20 or body[1] != 0:
            raise RuntimeError(f'refused: {body!r}')
        self.received = []

    def _send(self, header, body):
        self.sock.sendall(bytes([header]) + _remaining_length(len(body)) + body)

    def _packet(self, timeout):
        self.sock.settimeout(timeout)
        while True:
            if len(self.buffer) >= 2:
                length, multiplier, i = 0, 1, 1
                while i < len(self.buffer):
                    byte = self.buffer[i]
                    length += (byte & 0x7F) * multiplier
                    multiplier *= 128
                    i += 1
                    if not byte & 0x80:
                        break
                else:
                    i = None
                if i is not None and len(self.buffer) >= i + length:
                    kind, body = self.buffer[0] & 0xF0, self.buffer[i:i + length]
                    flags = self.buffer[0] & 0x0F
                    self.buffer = self.buffer[i + length:]
                    return kind | (flags if kind == 0x30 else 0), body
            chunk = self.sock.recv(65536)
            if not chunk:
                raise ConnectionError('closed')
            self.buffer += chunk

    def subscribe(self, *patterns):
        body = struct.pack('!H', 1) + b''.join(_text(p) + b'\x00' for p in patterns)
        self._send(0x82, body)

    def publish(self, topic, payload, retain=False):
        data = payload.encode() if isinstance(payload, str) else payload
        self._send(0x30 | (1 if retain else 0), _text(topic) + data)

    def collect(self, seconds):
        '''Reads for `seconds`; returns every PUBLISH so far as (topic, payload, retained).'''
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return self.received
            try:
                kind, body = self._packet(left)
            except (socket.timeout, TimeoutError):
                return self.received
            if kind & 0xF0 == 0x30:
                (length,) = struct.unpack('!H', body[:2])
                self.received.append((body[2:2 + length].decode(), body[2 + length:].decode(errors='replace'),
                                      bool(kind & 1)))

    def last(self, topic):
        for t, payload, _ in reversed(self.received):
            if t == topic:
                return payload
        return None

    def close(self):
        if self.sock.fileno() < 0:
            return
        try:
            self._send(0xE0, b'')
        except OSError:
            pass
        self.sock.close()
